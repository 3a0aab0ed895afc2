#pragma once
// Writes a compound file (version 4, 4096-byte sectors) holding one stream, as a workbook
// holds its "Workbook" or "Book" stream: in regular sectors from 4096 bytes on, else in the
// mini stream, as the format's cutoff asks. For tests and benchmarks that build workbooks
// or damage a workbook's stream and wrap it again.
#include <cstdint>
#include <string>
#include <vector>

namespace varnoke::test {

inline std::string littleEndian(std::uint64_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(v >> (8 * i) & 0xFF);
    return out;
}

inline std::string compoundFileOf(const std::string& stream, const std::string& name) {
    constexpr std::size_t kSector = 4096, kMini = 64, kCutoff = 4096;
    constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatMark = 0xFFFFFFFD;
    const auto padded = [](std::string bytes, std::size_t unit) {
        bytes.resize((bytes.size() + unit - 1) / unit * unit, '\0');
        return bytes;
    };
    const bool mini = stream.size() < kCutoff;
    // The regular sectors' contents after the table: directory, then either the stream or
    // the mini table and the mini stream.
    std::vector<std::string> parts; // each a run of whole sectors, chained in order
    std::string miniFat;
    if (mini) {
        const std::size_t count = (stream.size() + kMini - 1) / kMini;
        for (std::size_t i = 0; i < count; ++i)
            miniFat += littleEndian(i + 1 < count ? i + 1 : kEnd, 4);
        miniFat = padded(miniFat, kSector);
        for (std::size_t i = miniFat.size() / 4; i-- > count;)
            miniFat.replace(4 * i, 4, littleEndian(kFree, 4));
    }
    const std::string body = padded(mini ? padded(stream, kMini) : stream, kSector);
    const std::size_t bodySectors = std::max<std::size_t>(body.size() / kSector, 1);
    const std::size_t miniFatSectors = miniFat.size() / kSector;
    const std::size_t dataSectors = 1 + miniFatSectors + bodySectors;
    const std::size_t fatSectors = (dataSectors + kSector / 4) / (kSector / 4) + 1;
    const std::uint32_t directoryAt = static_cast<std::uint32_t>(fatSectors);
    const std::uint32_t miniFatAt = directoryAt + 1;
    const std::uint32_t bodyAt = miniFatAt + static_cast<std::uint32_t>(miniFatSectors);
    std::vector<std::uint32_t> fat(fatSectors * kSector / 4, kFree);
    for (std::size_t i = 0; i < fatSectors; ++i)
        fat[i] = kFatMark;
    const auto chain = [&](std::uint32_t first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            fat[first + i] = i + 1 < count ? static_cast<std::uint32_t>(first + i + 1) : kEnd;
    };
    chain(directoryAt, 1);
    chain(miniFatAt, miniFatSectors);
    chain(bodyAt, bodySectors);

    std::string header = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(16, '\0');
    header += littleEndian(0x3E, 2) + littleEndian(4, 2) + littleEndian(0xFFFE, 2) +
              littleEndian(12, 2) + littleEndian(6, 2) + std::string(6, '\0');
    header += littleEndian(1, 4) + littleEndian(fatSectors, 4) + littleEndian(directoryAt, 4) +
              littleEndian(0, 4) + littleEndian(kCutoff, 4);
    header += littleEndian(mini ? miniFatAt : kEnd, 4) + littleEndian(miniFatSectors, 4) +
              littleEndian(kEnd, 4) + littleEndian(0, 4);
    for (std::size_t i = 0; i < 109; ++i)
        header += littleEndian(i < fatSectors ? i : kFree, 4);
    header.resize(kSector, '\0');

    const auto entry = [](const std::string& entryName, int type, std::uint32_t child,
                          std::uint32_t start, std::uint64_t size) {
        std::string utf16;
        for (char c : entryName)
            utf16 += std::string{c, '\0'};
        utf16 += std::string(2, '\0');
        return utf16 + std::string(64 - utf16.size(), '\0') + littleEndian(utf16.size(), 2) +
               littleEndian(type, 1) + littleEndian(1, 1) + littleEndian(0xFFFFFFFF, 4) +
               littleEndian(0xFFFFFFFF, 4) + littleEndian(child, 4) + std::string(36, '\0') +
               littleEndian(start, 4) + littleEndian(size, 8);
    };
    std::string directory =
        entry("Root Entry", 5, 1, mini ? bodyAt : kEnd, mini ? body.size() : 0) +
        entry(name, 2, 0xFFFFFFFF, mini ? 0 : bodyAt, stream.size());
    directory.resize(kSector, '\0');

    std::string file = header;
    for (auto v : fat)
        file += littleEndian(v, 4);
    return file + directory + miniFat + body;
}

} // namespace varnoke::test
