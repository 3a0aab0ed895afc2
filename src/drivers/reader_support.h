#pragma once
// What every foreign reader needs: finding the file a link names, reading it whole,
// bounds-checked access to its bytes, code-page conversion and the engine errors a
// bad file turns into. Nothing here knows a particular format.
#include "drivers/foreign_reader.h"
#include "drivers/mapping_watch.h"
#include "engine/engine_error.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace varnoke::drivers {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// The file a folder-type link names: database is the folder ("" is the current one),
// sourceTable the file, with or without one of the extensions. Matches exactly
// first, then without regard to case, since names typed on other systems often
// differ from the disk in case only. Raises 3024 when nothing matches.
std::filesystem::path findTableFile(const LinkSource& source,
                                    std::initializer_list<std::string_view> extensions);

// The file a file-type link names: database is the file. When database is a folder
// the source table names the file inside it, so a folder-style link works too.
std::filesystem::path findLinkedFile(const LinkSource& source);

// A file next to `file` with the same stem and another extension, found without
// regard to case; empty when there is none.
std::filesystem::path findCompanion(const std::filesystem::path& file, std::string_view extension);

// The whole file. Raises 3024 when it is missing, 3051 when it cannot be read.
Bytes readWholeFile(const std::filesystem::path& file);

// A file mapped read-only into memory, so that a reader can walk a large file as bytes
// without holding it: pages are read as they are touched, and release() gives back
// those read so far (a later touch reads them again). Raises as readWholeFile.
// Another program may cut the file short or write it again while it is walked: the pages
// past a new end read as zeros, the others may hold the new bytes. checkWhole() (also run
// by release()) raises 3274 when the file is no longer the one opened, so a reader calls
// it once it has read what it needs, before its rows can stand.
class MappedFile {
public:
    explicit MappedFile(const std::filesystem::path& file);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    ByteSpan bytes() const { return {data_, size_}; }
    int descriptor() const { return fd_; }
    void release() const;
    void checkWhole() const;

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    int fd_ = -1; // kept open to see the file as it is now
    std::filesystem::path path_;
    std::string name_;
    struct stat noted_ {}; // the file at the opening
    std::optional<MappingWatch> watch_;
};

// Runs read over the mapped files (null entries skipped), then checks that each is
// still whole. A cut also takes the place of whatever error the read made of the
// zeros it met, since the cut is what the user must learn of.
void readMapped(std::initializer_list<const MappedFile*> files, const std::function<void()>& read);

// How much of a mapped file a reader walks before it gives the pages back.
inline constexpr std::size_t kReleaseEvery = 8 * 1024 * 1024;

// Runs reader.read, turning a failed allocation into error 7 ("out of memory") that
// names the table, so that nothing but an EngineError leaves a link.
void readGuarded(const ForeignReader& reader, const LinkSource& source, ForeignTableSink& sink);

// 3274 "... is not in the expected format" with the file name and what is wrong.
[[noreturn]] void throwBadFormat(std::string_view fileName, std::string_view what);

// 3274 "The file '...' changed while it was being read (how)." : another program changed
// the file during the link, so nothing read from it may stand.
[[noreturn]] void throwChangedWhileRead(std::string_view fileName, std::string_view how);

std::string fileNameOf(const std::filesystem::path& file);

// Bounds-checked reads; a read past the end means the file was cut short.
class ByteView {
public:
    ByteView(ByteSpan data, std::string_view fileName) : data_(data), fileName_(fileName) {}

    std::size_t size() const { return data_.size(); }
    std::string_view fileName() const { return fileName_; }
    ByteSpan slice(std::size_t offset, std::size_t length) const;
    std::uint8_t u8(std::size_t offset) const { return slice(offset, 1)[0]; }
    std::uint16_t u16le(std::size_t offset) const;
    std::uint32_t u32le(std::size_t offset) const;
    std::uint16_t u16be(std::size_t offset) const;
    std::uint32_t u32be(std::size_t offset) const;
    [[noreturn]] void fail(std::string_view what) const { throwBadFormat(fileName_, what); }

private:
    ByteSpan data_;
    std::string_view fileName_;
};

// Converts a code page's bytes to UTF-8. Pure ASCII passes through untouched where the
// code page reads it as ASCII, which keeps the common case cheap. A byte the code page
// cannot map becomes U+FFFD.
class CodePage {
public:
    // iconv name ("CP1252", "CP437"...); empty or unknown falls back to CP1252.
    explicit CodePage(std::string name);
    // The code page of that name, or nullopt where iconv does not know it: for files
    // whose own mark names the page, where a guess would lose their text in silence.
    static std::optional<CodePage> known(const std::string& name);

    std::string toUtf8(std::string_view bytes) const;
    const std::string& name() const { return name_; }

private:
    CodePage() = default;
    // Takes an open iconv handle and probes how it treats ASCII.
    void adopt(void* handle);

    struct Closer {
        void operator()(void* handle) const;
    };
    std::string name_;
    std::unique_ptr<void, Closer> handle_; // iconv_t
    bool asciiPassesThrough_ = true;
};

// UTF-16 code units, in either byte order, appended as UTF-8; a lone surrogate becomes
// U+FFFD. An odd last byte is ignored.
void appendUtf16(std::string& out, ByteSpan units, bool bigEndian);
// UTF-16LE code units as UTF-8, as appendUtf16 gives them.
std::string utf16leToUtf8(ByteSpan units);
// One code point (at most U+10FFFF) appended as UTF-8.
void appendUtf8(std::string& out, std::uint32_t code);
// Latin-1 bytes (each byte its own code point) as UTF-8.
std::string latin1ToUtf8(ByteSpan bytes);

// Whether a text is valid UTF-8 throughout.
bool isValidUtf8(std::string_view text);
// Characters (code points) of a UTF-8 text.
std::size_t utf8Length(std::string_view text);

// Days from 0001-01-01 (proleptic Gregorian) to the given date, for formats that
// count days from a fixed origin; differences give day serials.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
// Day serial of a calendar date, with no range checks beyond the calendar's.
constexpr double civilSerial(std::int64_t y, unsigned m, unsigned d) {
    return static_cast<double>(daysFromCivil(y, m, d) - daysFromCivil(1899, 12, 30));
}

// The engine's size for a field type that has no size of its own choosing.
int standardSize(int type);

// Text with trailing blanks (and NULs) removed.
std::string_view trimRight(std::string_view text);
std::string_view trim(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace varnoke::drivers
