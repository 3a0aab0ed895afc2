#include "drivers/file_signature.h"

#include "drivers/dbf_format.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace varnoke::drivers {

namespace {

// Enough of a file's beginning for every signature.
constexpr std::size_t kHeadBytes = 0x80;

} // namespace

bool isDbfTable(ByteSpan head) {
    return head.size() >= 32 && isDbfVersion(head[0]);
}

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

TypeMatch headMatches(Signature signature, const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return TypeMatch::Unknown;
    std::ifstream in(file, std::ios::binary);
    if (!in) return TypeMatch::Unknown;
    std::array<std::uint8_t, kHeadBytes> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return signature(ByteSpan(head.data(), got)) ? TypeMatch::Matches : TypeMatch::Differs;
}

} // namespace varnoke::drivers
