#include "drivers/file_signature.h"

#include "drivers/compound_file.h"
#include "drivers/dbf_format.h"
#include "drivers/paradox_format.h"
#include "drivers/reader_support.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string>

namespace varnoke {

namespace {

using drivers::ByteSpan;

// Enough of a file's beginning for every signature below.
constexpr std::size_t kHeadBytes = 0x80;

bool isLotusWorksheet(ByteSpan head) {
    // The first record is the beginning-of-file record: 2 bytes long in Release 2
    // worksheets, 26 in Release 3 and later.
    return head.size() >= 4 && head[0] == 0 && head[1] == 0 && head[3] == 0 &&
           (head[2] == 0x02 || head[2] == 0x1A);
}

bool isJetDatabase(ByteSpan head) {
    constexpr std::string_view kJet = "Standard Jet DB";
    constexpr std::string_view kAce = "Standard ACE DB";
    if (head.size() < 4 + kJet.size()) return false;
    const std::string_view text(reinterpret_cast<const char*>(head.data()) + 4, kJet.size());
    return text == kJet || text == kAce;
}

struct Signature {
    std::string_view prefix; // the connect prefix, without regard to case
    bool (*matches)(ByteSpan head);
};

bool isDbfTable(ByteSpan head) {
    return head.size() >= 32 && drivers::isDbfVersion(head[0]);
}

constexpr std::array kSignatures{
    Signature{"dBase III", isDbfTable},
    Signature{"dBase IV", isDbfTable},
    Signature{"dBase V", isDbfTable},
    Signature{"FoxPro 2.0", isDbfTable},
    Signature{"FoxPro 2.5", isDbfTable},
    Signature{"FoxPro 2.6", isDbfTable},
    Signature{"FoxPro 3.0", isDbfTable},
    Signature{"FoxPro DBC", isDbfTable},
    Signature{"Paradox 3.X", drivers::isParadoxTable},
    Signature{"Paradox 4.X", drivers::isParadoxTable},
    Signature{"Paradox 5.X", drivers::isParadoxTable},
    Signature{"Paradox 7.X", drivers::isParadoxTable},
    Signature{"Excel 5.0", drivers::isCompoundFile},
    Signature{"Excel 8.0", drivers::isCompoundFile},
    Signature{"Lotus WK1", isLotusWorksheet},
    Signature{"Lotus WK3", isLotusWorksheet},
    Signature{"Lotus WK4", isLotusWorksheet},
    Signature{"JetTable", isJetDatabase},
};

} // namespace

TypeMatch fileMatchesType(std::string_view connect, const std::filesystem::path& file) {
    const auto prefix = drivers::trim(connect.substr(0, connect.find(';')));
    const auto* signature =
        std::find_if(kSignatures.begin(), kSignatures.end(),
                     [&](const Signature& s) { return drivers::equalsNoCase(s.prefix, prefix); });
    if (signature == kSignatures.end()) return TypeMatch::Unknown;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return TypeMatch::Unknown;
    std::ifstream in(file, std::ios::binary);
    if (!in) return TypeMatch::Unknown;
    std::array<std::uint8_t, kHeadBytes> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return signature->matches(ByteSpan(head.data(), got)) ? TypeMatch::Matches : TypeMatch::Differs;
}

} // namespace varnoke
