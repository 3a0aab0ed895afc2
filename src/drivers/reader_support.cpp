#include "drivers/reader_support.h"

#include "drivers/file_identity.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iconv.h>
#include <new>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace fs = std::filesystem;

namespace {

bool hasExtension(const fs::path& file) {
    return !file.extension().empty();
}

// The entry of `folder` whose name equals `name` without regard to case.
fs::path findNoCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (equalsNoCase(it->path().filename().string(), name)) return it->path();
    }
    return {};
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

fs::path folderPath(std::string_view database) {
    return database.empty() ? fs::path(".") : fs::path(std::string(database));
}

} // namespace

std::string fileNameOf(const fs::path& file) {
    return file.filename().string();
}

fs::path findTableFile(const LinkSource& source,
                       std::initializer_list<std::string_view> extensions) {
    const fs::path folder = folderPath(source.database);
    const std::string table = source.sourceTable;
    if (table.empty())
        throw EngineError(err::FileNotFound,
                          "No file name was given for the table in '" + folder.string() + "'.");
    std::vector<std::string> names{table};
    if (!hasExtension(fs::path(table)))
        for (auto ext : extensions)
            names.push_back(table + std::string(ext));
    for (const auto& name : names)
        if (isFile(folder / name)) return folder / name;
    for (const auto& name : names)
        if (auto found = findNoCase(folder, name); !found.empty() && isFile(found)) return found;
    throw EngineError(err::FileNotFound,
                      "Could not find file '" + (folder / table).string() + "'.");
}

fs::path findLinkedFile(const LinkSource& source) {
    const fs::path given = folderPath(source.database);
    std::error_code ec;
    if (fs::is_directory(given, ec)) return findTableFile(source, {});
    if (isFile(given)) return given;
    if (auto found = findNoCase(given.parent_path().empty() ? fs::path(".") : given.parent_path(),
                                given.filename().string());
        !found.empty() && isFile(found))
        return found;
    throw EngineError(err::FileNotFound, "Could not find file '" + given.string() + "'.");
}

fs::path findCompanion(const fs::path& file, std::string_view extension) {
    fs::path wanted = file;
    wanted.replace_extension(std::string(extension));
    if (isFile(wanted)) return wanted;
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    if (auto found = findNoCase(folder, wanted.filename().string()); isFile(found)) return found;
    return {};
}

Bytes readWholeFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec))
        throw EngineError(err::FileNotFound, "Could not find file '" + file.string() + "'.");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EngineError(err::CannotOpen, "Varnoke cannot open the file '" + file.string() +
                                               "'. It may be in use or you may lack permission.");
    in.seekg(0, std::ios::end);
    const auto length = in.tellg();
    if (length < 0)
        throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + file.string() + "'.");
    Bytes bytes(static_cast<std::size_t>(length));
    in.seekg(0);
    if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length))
        throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + file.string() + "'.");
    return bytes;
}

MappedFile::MappedFile(const fs::path& file) : path_(file), name_(fileNameOf(file)) {
    std::error_code ec;
    if (!fs::exists(file, ec))
        throw EngineError(err::FileNotFound, "Could not find file '" + file.string() + "'.");
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw EngineError(err::CannotOpen, "Varnoke cannot open the file '" + file.string() +
                                               "'. It may be in use or you may lack permission.");
    if (::fstat(fd_, &noted_) != 0 || !S_ISREG(noted_.st_mode)) {
        ::close(fd_);
        throw EngineError(err::CannotOpen, "Varnoke cannot read the file '" + file.string() + "'.");
    }
    size_ = static_cast<std::size_t>(noted_.st_size);
    if (size_ > 0) {
        void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
        if (map == MAP_FAILED) {
            ::close(fd_);
            throw EngineError(err::CannotOpen,
                              "Varnoke cannot read the file '" + file.string() + "'.");
        }
        data_ = static_cast<const std::uint8_t*>(map);
        watch_.emplace(data_, size_);
    }
}

MappedFile::~MappedFile() {
    // The watch ends first: once the range is unmapped its addresses may serve others.
    watch_.reset();
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
    ::close(fd_);
}

void MappedFile::release() const {
    checkWhole();
    if (data_) ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
}

// A cut inside the last page touched raises no fault (the rest of that page reads as
// zeros), so the file is looked at too: a private mapping shows another program's writes
// to pages not yet read, so a file rewritten in place, even at its size, mixes two files.
void MappedFile::checkWhole() const {
    if (watch_ && watch_->faulted()) throwChangedWhileRead(name_, "it was cut short");
    checkSameFile(path_, fd_, noted_, name_);
}

void readMapped(std::initializer_list<const MappedFile*> files, const std::function<void()>& read) {
    const auto checkAll = [&] {
        for (const auto* file : files)
            if (file) file->checkWhole();
    };
    try {
        read();
    } catch (...) {
        checkAll();
        throw;
    }
    checkAll();
}

void readGuarded(const ForeignReader& reader, const LinkSource& source, ForeignTableSink& sink) {
    constexpr int kOutOfMemory = 7;
    try {
        reader.read(source, sink);
    } catch (const std::bad_alloc&) {
        throw EngineError(kOutOfMemory, "Out of memory: Varnoke could not read the table '" +
                                            source.sourceTable + "' in '" + source.database +
                                            "'; it needs more memory than there is.");
    } catch (const std::length_error&) {
        throw EngineError(kOutOfMemory, "Out of memory: Varnoke could not read the table '" +
                                            source.sourceTable + "' in '" + source.database +
                                            "'; it is larger than Varnoke can hold.");
    }
}

void throwBadFormat(std::string_view fileName, std::string_view what) {
    throw EngineError(err::ExternalFormat,
                      "The file '" + std::string(fileName) +
                          "' is not in the expected format: " + std::string(what) + ".");
}

void throwChangedWhileRead(std::string_view fileName, std::string_view how) {
    throw EngineError(err::ExternalFormat, "The file '" + std::string(fileName) +
                                               "' changed while it was being read (" +
                                               std::string(how) + ").");
}

ByteSpan ByteView::slice(std::size_t offset, std::size_t length) const {
    if (offset > data_.size() || length > data_.size() - offset)
        fail("the file ends too soon (it may have been cut short)");
    return data_.subspan(offset, length);
}

std::uint16_t ByteView::u16le(std::size_t offset) const {
    auto b = slice(offset, 2);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::uint32_t ByteView::u32le(std::size_t offset) const {
    auto b = slice(offset, 4);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

std::uint16_t ByteView::u16be(std::size_t offset) const {
    auto b = slice(offset, 2);
    return static_cast<std::uint16_t>(b[0] << 8 | b[1]);
}

std::uint32_t ByteView::u32be(std::size_t offset) const {
    auto b = slice(offset, 4);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 |
           std::uint32_t{b[3]};
}

void CodePage::Closer::operator()(void* handle) const {
    iconv_close(static_cast<iconv_t>(handle));
}

CodePage::CodePage(std::string name) : name_(name.empty() ? "CP1252" : std::move(name)) {
    iconv_t cd = iconv_open("UTF-8", name_.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        name_ = "CP1252";
        cd = iconv_open("UTF-8", name_.c_str());
    }
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    adopt(cd);
}

std::optional<CodePage> CodePage::known(const std::string& name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    CodePage page;
    page.name_ = name;
    page.adopt(cd);
    return page;
}

void CodePage::adopt(void* handle) {
    handle_.reset(handle);
    // Code pages that shift with escapes (ISO-2022) write their text in ASCII bytes;
    // a shifted pair tells them from those that read ASCII as ASCII.
    std::string ascii(0x80, '\0');
    for (std::size_t i = 0; i < ascii.size(); ++i)
        ascii[i] = static_cast<char>(i);
    ascii += "\x1B$B!!\x1B(B\x1B$)C\x0E!!\x0F";
    asciiPassesThrough_ = false; // so that the probe itself is converted
    asciiPassesThrough_ = toUtf8(ascii) == ascii;
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    if (!handle_ || (asciiPassesThrough_ && std::all_of(bytes.begin(), bytes.end(), [](char c) {
                         return static_cast<unsigned char>(c) < 0x80;
                     })))
        return std::string(bytes);
    auto cd = static_cast<iconv_t>(handle_.get());
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(bytes.size() * 4 + 8);
    std::string in(bytes);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) break; // cannot happen: four bytes a character is the most
        // An unmapped or incomplete byte: mark it and go on with the next.
        ++inPtr;
        --inLeft;
        if (outLeft < 3) break;
        *outPtr++ = '\xEF';
        *outPtr++ = '\xBF';
        *outPtr++ = '\xBD';
        outLeft -= 3;
    }
    out.resize(out.size() - outLeft);
    return out;
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void appendUtf16(std::string& out, ByteSpan units, bool bigEndian) {
    const std::size_t count = units.size() / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const std::uint32_t first = units[2 * i], second = units[2 * i + 1];
        return bigEndian ? first << 8 | second : second << 8 | first;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
}

std::string utf16leToUtf8(ByteSpan units) {
    std::string out;
    out.reserve(units.size() / 2);
    appendUtf16(out, units, false);
    return out;
}

std::string latin1ToUtf8(ByteSpan bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const auto b : bytes)
        appendUtf8(out, b);
    return out;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

std::size_t utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

int standardSize(int type) {
    switch (type) {
    case 1:
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
    case 6:
        return 4;
    case 5:
    case 7:
    case 8:
        return 8;
    default:
        return 0;
    }
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.remove_suffix(1);
    return text;
}

std::string_view trim(std::string_view text) {
    text = trimRight(text);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace varnoke::drivers
