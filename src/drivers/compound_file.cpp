#include "drivers/compound_file.h"

#include <algorithm>
#include <array>

namespace varnoke::drivers {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::uint64_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderFatSlots = 109;
constexpr std::size_t kEntrySize = 128;

enum EntryType : std::uint8_t { Stream = 2, Root = 5 };

struct Entry {
    std::string name;
    std::uint8_t type = 0;
    std::uint32_t left = kNoEntry, right = kNoEntry, child = kNoEntry;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
};

class CompoundFile {
public:
    CompoundFile(ByteSpan file, std::string_view fileName) : view_(file, fileName) {
        if (!isCompoundFile(file)) view_.fail("it is not an Excel 5.0-8.0 workbook");
        const unsigned shift = view_.u16le(30);
        if (shift != 9 && shift != 12) view_.fail("its compound file header is damaged");
        sectorSize_ = std::size_t{1} << shift;
        if (view_.size() < sectorSize_)
            view_.fail("the file ends too soon (it may have been cut short)");
        // Version 3 files keep only the low half of a stream size; the rest may be junk.
        wideSizes_ = view_.u16le(26) >= 4;
        readFat();
        readDirectory();
    }

    std::optional<Bytes> stream(std::initializer_list<std::string_view> names) const {
        const auto children = rootChildren();
        for (auto wanted : names)
            for (auto index : children)
                if (entries_[index].type == Stream && equalsNoCase(entries_[index].name, wanted))
                    return contents(entries_[index]);
        return std::nullopt;
    }

private:
    std::size_t sectorsInFile() const { return view_.size() / sectorSize_ - 1; }

    ByteSpan sector(std::uint32_t id, std::size_t length) const {
        return view_.slice((std::size_t{id} + 1) * sectorSize_, length);
    }

    void readFat() {
        const std::uint32_t fatSectors = view_.u32le(44);
        if (fatSectors > sectorsInFile()) view_.fail("its allocation table is damaged");
        std::vector<std::uint32_t> fatIds;
        for (std::size_t i = 0; i < kHeaderFatSlots && fatIds.size() < fatSectors; ++i)
            fatIds.push_back(view_.u32le(76 + 4 * i));
        // Further table sectors are listed in a chain of their own.
        const std::size_t perSector = sectorSize_ / 4 - 1;
        std::uint32_t next = view_.u32le(68);
        std::size_t hops = 0;
        while (fatIds.size() < fatSectors) {
            if (next > kLastRegularSector || ++hops > sectorsInFile())
                view_.fail("its allocation table is damaged");
            const ByteView list(sector(next, sectorSize_), view_.fileName());
            for (std::size_t i = 0; i < perSector && fatIds.size() < fatSectors; ++i)
                fatIds.push_back(list.u32le(4 * i));
            next = list.u32le(4 * perSector);
        }
        fat_.reserve(fatIds.size() * sectorSize_ / 4);
        for (auto id : fatIds) {
            if (id > kLastRegularSector) view_.fail("its allocation table is damaged");
            const ByteView part(sector(id, sectorSize_), view_.fileName());
            for (std::size_t i = 0; i < sectorSize_ / 4; ++i)
                fat_.push_back(part.u32le(4 * i));
        }
    }

    // The sectors of a chain, in order; a chain that leaves the table or loops is damage.
    std::vector<std::uint32_t> chain(std::uint32_t start,
                                     const std::vector<std::uint32_t>& table) const {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t id = start; id != kEndOfChain; id = table[id]) {
            if (id >= table.size() || ids.size() >= table.size())
                view_.fail("a chain of sectors in it is broken");
            ids.push_back(id);
        }
        return ids;
    }

    Bytes regularStream(std::uint32_t start, std::uint64_t size) const {
        const auto ids = chain(start, fat_);
        if (size > std::uint64_t{ids.size()} * sectorSize_)
            view_.fail("the file ends too soon (it may have been cut short)");
        Bytes out;
        out.reserve(static_cast<std::size_t>(size));
        for (auto id : ids) {
            const std::size_t take = std::min<std::size_t>(sectorSize_, size - out.size());
            if (take == 0) break;
            const auto bytes = sector(id, take);
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
        return out;
    }

    void readDirectory() {
        const auto ids = chain(view_.u32le(48), fat_);
        for (auto id : ids) {
            const ByteView part(sector(id, sectorSize_), view_.fileName());
            for (std::size_t at = 0; at + kEntrySize <= sectorSize_; at += kEntrySize)
                entries_.push_back(entryAt(part, at));
        }
        if (entries_.empty() || entries_[0].type != Root) view_.fail("its directory is damaged");
    }

    Entry entryAt(const ByteView& part, std::size_t at) const {
        Entry e;
        const std::size_t nameBytes = std::min<std::size_t>(part.u16le(at + 64), 64);
        e.name = utf16leToUtf8(part.slice(at, nameBytes >= 2 ? nameBytes - 2 : 0));
        e.type = part.u8(at + 66);
        e.left = part.u32le(at + 68);
        e.right = part.u32le(at + 72);
        e.child = part.u32le(at + 76);
        e.start = part.u32le(at + 116);
        e.size = part.u32le(at + 120);
        if (wideSizes_) e.size |= std::uint64_t{part.u32le(at + 124)} << 32;
        return e;
    }

    // The root storage's members sit in a tree of siblings under its child.
    std::vector<std::uint32_t> rootChildren() const {
        std::vector<std::uint32_t> found;
        std::vector<bool> seen(entries_.size(), false);
        std::vector<std::uint32_t> pending{entries_[0].child};
        while (!pending.empty()) {
            const auto index = pending.back();
            pending.pop_back();
            if (index >= entries_.size() || seen[index]) continue;
            seen[index] = true;
            found.push_back(index);
            pending.push_back(entries_[index].right);
            pending.push_back(entries_[index].left);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    Bytes contents(const Entry& e) const {
        if (e.size >= kMiniStreamCutoff) return regularStream(e.start, e.size);
        const Bytes mini = regularStream(entries_[0].start, entries_[0].size);
        // The header's count of mini table sectors may exceed its chain; the chain holds
        // the table.
        const auto miniFatIds = chain(view_.u32le(60), fat_);
        const auto miniFatBytes = regularStream(
            view_.u32le(60),
            std::min<std::uint64_t>(view_.u32le(64), miniFatIds.size()) * sectorSize_);
        std::vector<std::uint32_t> miniFat;
        const ByteView table(miniFatBytes, view_.fileName());
        for (std::size_t at = 0; at + 4 <= miniFatBytes.size(); at += 4)
            miniFat.push_back(table.u32le(at));
        const auto ids = chain(e.start, miniFat);
        if (e.size > std::uint64_t{ids.size()} * kMiniSectorSize)
            view_.fail("the file ends too soon (it may have been cut short)");
        const ByteView stream(mini, view_.fileName());
        Bytes out;
        out.reserve(static_cast<std::size_t>(e.size));
        for (auto id : ids) {
            const std::size_t take = std::min<std::size_t>(kMiniSectorSize, e.size - out.size());
            if (take == 0) break;
            const auto bytes = stream.slice(std::size_t{id} * kMiniSectorSize, take);
            out.insert(out.end(), bytes.begin(), bytes.end());
        }
        return out;
    }

    ByteView view_;
    std::size_t sectorSize_ = 512;
    bool wideSizes_ = false;
    std::vector<std::uint32_t> fat_;
    std::vector<Entry> entries_;
};

} // namespace

bool isCompoundFile(ByteSpan file) {
    return file.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), file.begin());
}

std::optional<Bytes> readCompoundStream(ByteSpan file, std::string_view fileName,
                                        std::initializer_list<std::string_view> names) {
    return CompoundFile(file, fileName).stream(names);
}

} // namespace varnoke::drivers
