#include "drivers/dbf_text.h"

#include "drivers/reader_support.h"
#include "drivers/text_decoders.h"

#include <algorithm>
#include <cctype>

namespace varnoke::drivers {

namespace {

// How a code page is decoded: by the Encoding Standard's tables where it has one (they
// assign every byte of the Windows pages), else by iconv.
enum class Source { Whatwg, Iconv, IconvMultiByte, Latin1, Mazovia, Utf8 };

struct Page {
    Source source;
    const char* name;
};

struct Mark {
    std::uint8_t mark;
    Page page;
};

constexpr Page kWin1252{Source::Whatwg, "windows-1252"};

// The language-driver bytes dBase and FoxPro write, with the code page each names.
constexpr Mark kMarks[] = {
    {0x01, {Source::Iconv, "CP437"}},
    {0x02, {Source::Iconv, "CP850"}},
    {0x03, kWin1252},
    {0x04, {Source::Whatwg, "macintosh"}},
    {0x08, {Source::Iconv, "CP865"}},
    {0x09, {Source::Iconv, "CP437"}},
    {0x0A, {Source::Iconv, "CP850"}},
    {0x0B, {Source::Iconv, "CP437"}},
    {0x0D, {Source::Iconv, "CP437"}},
    {0x0E, {Source::Iconv, "CP850"}},
    {0x0F, {Source::Iconv, "CP437"}},
    {0x10, {Source::Iconv, "CP850"}},
    {0x11, {Source::Iconv, "CP437"}},
    {0x12, {Source::Iconv, "CP850"}},
    {0x13, {Source::IconvMultiByte, "CP932"}},
    {0x14, {Source::Iconv, "CP850"}},
    {0x15, {Source::Iconv, "CP437"}},
    {0x16, {Source::Iconv, "CP850"}},
    {0x17, {Source::Iconv, "CP865"}},
    {0x18, {Source::Iconv, "CP437"}},
    {0x19, {Source::Iconv, "CP437"}},
    {0x1A, {Source::Iconv, "CP850"}},
    {0x1B, {Source::Iconv, "CP437"}},
    {0x1C, {Source::Iconv, "CP863"}},
    {0x1D, {Source::Iconv, "CP850"}},
    {0x1F, {Source::Iconv, "CP852"}},
    {0x22, {Source::Iconv, "CP852"}},
    {0x23, {Source::Iconv, "CP852"}},
    {0x24, {Source::Iconv, "CP860"}},
    {0x25, {Source::Iconv, "CP850"}},
    {0x26, {Source::Whatwg, "ibm866"}},
    {0x37, {Source::Iconv, "CP850"}},
    {0x40, {Source::Iconv, "CP852"}},
    {0x4D, {Source::IconvMultiByte, "CP936"}},
    {0x4E, {Source::IconvMultiByte, "CP949"}},
    {0x4F, {Source::IconvMultiByte, "CP950"}},
    {0x50, {Source::Whatwg, "windows-874"}},
    {0x57, kWin1252},
    {0x58, kWin1252},
    {0x59, kWin1252},
    {0x64, {Source::Iconv, "CP852"}},
    {0x65, {Source::Whatwg, "ibm866"}},
    {0x66, {Source::Iconv, "CP865"}},
    {0x67, {Source::Iconv, "CP861"}},
    {0x69, {Source::Mazovia, "CP437"}},
    {0x6A, {Source::Iconv, "CP737"}},
    {0x6B, {Source::Iconv, "CP857"}},
    {0x78, {Source::IconvMultiByte, "CP950"}},
    {0x79, {Source::IconvMultiByte, "CP949"}},
    {0x7A, {Source::IconvMultiByte, "CP936"}},
    {0x7B, {Source::IconvMultiByte, "CP932"}},
    {0x7C, {Source::Whatwg, "windows-874"}},
    {0x7D, {Source::Whatwg, "windows-1255"}},
    {0x7E, {Source::Whatwg, "windows-1256"}},
    {0x96, {Source::Whatwg, "x-mac-cyrillic"}},
    {0x97, {Source::Iconv, "MAC-CENTRALEUROPE"}},
    {0x98, {Source::Iconv, "MACGREEK"}},
    {0xC8, {Source::Whatwg, "windows-1250"}},
    {0xC9, {Source::Whatwg, "windows-1251"}},
    {0xCA, {Source::Whatwg, "windows-1254"}},
    {0xCB, {Source::Whatwg, "windows-1253"}},
    {0xCC, {Source::Whatwg, "windows-1257"}},
};

// Mazovia is code page 437 with the Polish letters in place of some of its own.
constexpr std::pair<std::uint8_t, char32_t> kMazovia[] = {
    {0x86, U'ą'}, {0x8D, U'ć'}, {0x8F, U'Ą'}, {0x90, U'Ę'}, {0x91, U'ę'}, {0x92, U'ł'},
    {0x95, U'Ć'}, {0x98, U'Ś'}, {0x9C, U'Ł'}, {0x9E, U'ś'}, {0xA0, U'Ź'}, {0xA1, U'Ż'},
    {0xA2, U'ó'}, {0xA3, U'Ó'}, {0xA4, U'ń'}, {0xA5, U'Ń'}, {0xA6, U'ź'}, {0xA7, U'ż'},
};

// The names a .cpg file gives its code page, as GIS programs write them.
std::optional<Page> pageOfLabel(std::string_view raw) {
    std::string label(trim(raw));
    std::transform(label.begin(), label.end(), label.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (std::string_view prefix : {"ansi ", "windows-", "cp", "oem ", "ibm", "iso-"})
        if (label.starts_with(prefix)) {
            label.erase(0, prefix.size());
            break;
        }
    if (label == "utf-8" || label == "utf8" || label == "65001") return Page{Source::Utf8, ""};
    if (label == "88591" || label == "8859-1" || label == "latin1") return Page{Source::Latin1, ""};
    static constexpr std::pair<std::string_view, Page> kLabels[] = {
        {"1250", {Source::Whatwg, "windows-1250"}},  {"1251", {Source::Whatwg, "windows-1251"}},
        {"1252", {Source::Whatwg, "windows-1252"}},  {"1253", {Source::Whatwg, "windows-1253"}},
        {"1254", {Source::Whatwg, "windows-1254"}},  {"1255", {Source::Whatwg, "windows-1255"}},
        {"1256", {Source::Whatwg, "windows-1256"}},  {"1257", {Source::Whatwg, "windows-1257"}},
        {"1258", {Source::Whatwg, "windows-1258"}},  {"437", {Source::Iconv, "CP437"}},
        {"850", {Source::Iconv, "CP850"}},           {"852", {Source::Iconv, "CP852"}},
        {"866", {Source::Whatwg, "ibm866"}},         {"88592", {Source::Whatwg, "iso-8859-2"}},
        {"88595", {Source::Whatwg, "iso-8859-5"}},   {"88597", {Source::Whatwg, "iso-8859-7"}},
        {"885915", {Source::Whatwg, "iso-8859-15"}}, {"koi8-r", {Source::Whatwg, "koi8-r"}},
        {"932", {Source::IconvMultiByte, "CP932"}},  {"936", {Source::IconvMultiByte, "CP936"}},
        {"949", {Source::IconvMultiByte, "CP949"}},  {"950", {Source::IconvMultiByte, "CP950"}},
    };
    for (const auto& [name, page] : kLabels)
        if (label == name) return page;
    return std::nullopt;
}

std::string utf8Of(char32_t code) {
    std::string out;
    appendUtf8(out, code);
    return out;
}

// A byte the code page leaves unassigned keeps its number as its code point.
bool unassigned(const std::string& text) {
    return text.empty() || text == "\xEF\xBF\xBD";
}

} // namespace

DbfText DbfText::singleByte(std::string_view whatwgName) {
    DbfText text(Kind::SingleByte);
    auto high = std::make_shared<std::array<std::string, 128>>();
    for (unsigned b = 0x80; b < 0x100; ++b) {
        std::string& out = (*high)[b - 0x80];
        decodeText(whatwgName, std::string(1, static_cast<char>(b)), out);
        if (unassigned(out)) out = utf8Of(b);
    }
    text.high_ = std::move(high);
    return text;
}

DbfText DbfText::iconvPage(const char* name) {
    DbfText text(Kind::SingleByte);
    const CodePage page(name);
    auto high = std::make_shared<std::array<std::string, 128>>();
    for (unsigned b = 0x80; b < 0x100; ++b) {
        std::string& out = (*high)[b - 0x80];
        out = page.toUtf8(std::string(1, static_cast<char>(b)));
        if (unassigned(out)) out = utf8Of(b);
    }
    text.high_ = std::move(high);
    return text;
}

std::optional<DbfText> DbfText::marked(std::optional<std::string_view> cpgLabel,
                                       std::uint8_t languageDriver) {
    std::optional<Page> page = cpgLabel ? pageOfLabel(*cpgLabel) : std::nullopt;
    if (!page)
        for (const auto& m : kMarks)
            if (m.mark == languageDriver) page = m.page;
    if (!page) return std::nullopt;
    switch (page->source) {
    case Source::Utf8:
        return unmarked(true);
    case Source::Whatwg:
        return singleByte(page->name);
    case Source::Latin1: {
        DbfText text(Kind::SingleByte);
        auto high = std::make_shared<std::array<std::string, 128>>();
        for (unsigned b = 0x80; b < 0x100; ++b)
            (*high)[b - 0x80] = utf8Of(b);
        text.high_ = std::move(high);
        return text;
    }
    case Source::Mazovia: {
        DbfText text = iconvPage(page->name);
        auto high = std::make_shared<std::array<std::string, 128>>(*text.high_);
        for (const auto& [byte, code] : kMazovia)
            (*high)[byte - 0x80] = utf8Of(code);
        text.high_ = std::move(high);
        return text;
    }
    case Source::Iconv:
        return iconvPage(page->name);
    case Source::IconvMultiByte: {
        DbfText text(Kind::MultiByte);
        text.multiByte_ = std::make_shared<const CodePage>(page->name);
        return text;
    }
    }
    return std::nullopt;
}

DbfText DbfText::unmarked(bool allUtf8) {
    DbfText text = singleByte("windows-1252");
    if (allUtf8) text.kind_ = Kind::Utf8;
    return text;
}

std::string DbfText::decode(std::string_view bytes) const {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(bytes);
    switch (kind_) {
    case Kind::Utf8:
        if (isValidUtf8(bytes)) return std::string(bytes);
        // A text a UTF-8 table cannot hold keeps its bytes as windows-1252 gives them.
        break;
    case Kind::MultiByte:
        return multiByte_->toUtf8(bytes);
    case Kind::SingleByte:
        break;
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else
            out += (*high_)[b - 0x80];
    }
    return out;
}

} // namespace varnoke::drivers
