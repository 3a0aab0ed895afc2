#include "drivers/file_signature.h"

#include "drivers/compound_file.h"
#include "drivers/dbf_format.h"
#include "drivers/paradox_format.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

namespace varnoke::drivers {

namespace {

// Enough of a file's beginning for every signature.
constexpr std::size_t kHeadBytes = 0x80;

// The file's first kHeadBytes (fewer in a shorter file); nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> headOf(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> head(kHeadBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

struct SignedType {
    std::string_view name; // as the File Type box knows it
    Signature begins;
};

// The strictest signatures first: a dBase table is known by one byte only.
constexpr SignedType kSignedTypes[] = {
    {"Jet table", isJetDatabase},    {"Excel 8.0", isCompoundFile}, {"Lotus WK4", isLotusWorksheet},
    {"Paradox 4.X", isParadoxTable}, {"dBase IV", isDbfTable},
};

} // namespace

bool isBinaryHead(ByteSpan head) {
    // A text in UTF-16 holds NULs, and the readers of text read it.
    if (head.size() >= 2 &&
        ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        return false;
    // Tabs, line and page ends, and the end-of-file mark of old editors are text.
    return std::any_of(head.begin(), head.end(), [](std::uint8_t c) {
        return c < 0x20 && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' &&
               c != 0x1A;
    });
}

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
    const auto head = headOf(file);
    if (!head) return TypeMatch::Unknown;
    return signature(ByteSpan(head->data(), head->size())) ? TypeMatch::Matches
                                                           : TypeMatch::Differs;
}

} // namespace varnoke::drivers

namespace varnoke {

std::optional<std::string_view> typeBySignature(const std::filesystem::path& file) {
    const auto head = drivers::headOf(file);
    if (!head) return std::nullopt;
    const drivers::ByteSpan bytes(head->data(), head->size());
    // Every type known by its signature is a binary one; a text that happens to begin
    // with a dBase version byte ('C') is none of them.
    if (!drivers::isBinaryHead(bytes)) return std::nullopt;
    for (const auto& type : drivers::kSignedTypes)
        if (type.begins(bytes)) return type.name;
    return std::nullopt;
}

} // namespace varnoke
