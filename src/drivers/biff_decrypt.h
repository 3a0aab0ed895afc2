#pragma once
// Workbooks Excel encrypted with its built-in password, which it writes when a sheet or
// the workbook's structure is protected but no password is asked for to open the file:
// Excel opens them without a word, and so do we.
#include "drivers/biff_records.h"

namespace varnoke::drivers {

// The workbook stream with the records after its FILEPASS record decrypted with the
// built-in password, RC4 (Excel 97 and later) or XOR obfuscation (Excel 5.0 and
// later). biff8 tells the two layouts of FILEPASS apart. Raises 3051 when the built-in
// password does not open the workbook: a user's password is needed, or an encryption
// this reader does not know.
Bytes decryptWorkbook(ByteSpan stream, const BiffRecord& filePass, bool biff8,
                      std::string_view fileName);

} // namespace varnoke::drivers
