#include "drivers/biff_decrypt.h"

#include "engine/engine_error.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace varnoke::drivers {

namespace {

constexpr std::string_view kBuiltInPassword = "VelvetSweatshop";
constexpr std::size_t kRc4Block = 1024;
using Digest = std::array<std::uint8_t, MD5_DIGEST_SIZE>;

[[noreturn]] void needsPassword(std::string_view fileName) {
    throw EngineError(err::CannotOpen, "The workbook '" + std::string(fileName) +
                                           "' is protected by a password; Varnoke cannot "
                                           "read it.");
}

std::uint16_t u16At(ByteSpan bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Calls decrypt(begin, end, recordLength) for each run of the stream's bytes after
// `from` that is encrypted: every record's data, but for the records Excel leaves
// clear so that a workbook can be recognised and its sheets found unopened.
template <class Decrypt>
void forEachEncryptedRun(ByteSpan stream, std::size_t from, Decrypt&& decrypt) {
    constexpr std::uint16_t kBoundSheet = 0x0085;
    const auto clear = [](std::uint16_t type) {
        switch (type) {
        case 0x0809: // BOF
        case 0x002F: // FILEPASS
        case 0x00E1: // INTERFACEHDR
        case 0x0138: // RRDHEAD
        case 0x0194: // USREXCL
        case 0x0195: // FILELOCK
        case 0x0196: // RRDINFO
            return true;
        default:
            return false;
        }
    };
    std::size_t at = from;
    while (at + 4 <= stream.size()) {
        const std::uint16_t type = u16At(stream, at);
        const std::size_t length = u16At(stream, at + 2);
        const std::size_t data = at + 4;
        const std::size_t end = std::min(data + length, stream.size());
        if (!clear(type)) {
            // A BOUNDSHEET's sheet offset stays clear, its name does not.
            const std::size_t begin = std::min(type == kBoundSheet ? data + 4 : data, end);
            decrypt(begin, end, length);
        }
        at = data + length;
    }
}

// --- RC4 with MD5 keys, as Excel 97 to 2002 write it by default. ---

Digest md5Of(std::initializer_list<ByteSpan> parts) {
    md5_ctx context;
    md5_init(&context);
    for (const auto part : parts)
        md5_update(&context, part.size(), part.data());
    Digest digest;
    md5_digest(&context, digest.size(), digest.data());
    return digest;
}

class Rc4Keys {
public:
    Rc4Keys(std::string_view password, ByteSpan salt) {
        Bytes utf16;
        for (const char c : password) {
            utf16.push_back(static_cast<std::uint8_t>(c));
            utf16.push_back(0);
        }
        const Digest first = md5Of({utf16});
        Bytes rounds;
        for (int i = 0; i < 16; ++i) {
            rounds.insert(rounds.end(), first.begin(), first.begin() + 5);
            rounds.insert(rounds.end(), salt.begin(), salt.end());
        }
        const Digest second = md5Of({rounds});
        std::copy_n(second.begin(), truncated_.size(), truncated_.begin());
    }

    // The cipher for one 1024-byte block of the stream: each block is keyed afresh.
    arcfour_ctx cipher(std::uint32_t block) const {
        const std::array<std::uint8_t, 4> number{
            static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
        const Digest key = md5Of({truncated_, number});
        arcfour_ctx context;
        arcfour_set_key(&context, key.size(), key.data());
        return context;
    }

private:
    std::array<std::uint8_t, 5> truncated_{};
};

Bytes decryptRc4(ByteSpan stream, ByteSpan header, std::size_t from, std::string_view fileName) {
    // Version 1.1, a 16-byte salt, the encrypted verifier and its encrypted MD5.
    constexpr std::size_t kSalt = 4, kVerifier = 20, kEnd = 52;
    if (header.size() < kEnd || u16At(header, 0) != 1 || u16At(header, 2) != 1)
        needsPassword(fileName); // the CryptoAPI forms, whose default no file was seen with
    const Rc4Keys keys(kBuiltInPassword, header.subspan(kSalt, 16));
    std::array<std::uint8_t, 32> check;
    auto first = keys.cipher(0);
    arcfour_crypt(&first, check.size(), check.data(), header.data() + kVerifier);
    const Digest hash = md5Of({ByteSpan(check).first(16)});
    if (!std::equal(hash.begin(), hash.end(), check.begin() + 16)) needsPassword(fileName);

    Bytes out(stream.begin(), stream.end());
    std::array<std::uint8_t, kRc4Block> keyStream{};
    std::size_t madeFor = SIZE_MAX;
    forEachEncryptedRun(stream, from, [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t i = begin; i < end;) {
            const std::size_t block = i / kRc4Block;
            if (block != madeFor) {
                auto cipher = keys.cipher(static_cast<std::uint32_t>(block));
                keyStream.fill(0);
                arcfour_crypt(&cipher, keyStream.size(), keyStream.data(), keyStream.data());
                madeFor = block;
            }
            for (const std::size_t stop = std::min(end, (block + 1) * kRc4Block); i < stop; ++i)
                out[i] ^= keyStream[i % kRc4Block];
        }
    });
    return out;
}

// --- XOR obfuscation, the first method, from its published tables. ---

constexpr std::array<std::uint16_t, 15> kInitialCode{0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                     0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                     0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::array<std::uint16_t, 105> kXorMatrix{
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
constexpr std::array<std::uint8_t, 15> kPad{0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                            0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

std::uint16_t xorKey(std::string_view password) {
    std::uint16_t key = kInitialCode[password.size() - 1];
    std::size_t element = kXorMatrix.size() - 1;
    for (auto c = password.rbegin(); c != password.rend(); ++c)
        for (unsigned bit = 0x40; bit != 0; bit >>= 1, --element)
            if (static_cast<unsigned char>(*c) & bit) key ^= kXorMatrix[element];
    return key;
}

std::uint16_t xorVerifier(std::string_view password) {
    unsigned verifier = 0;
    const auto step = [&](unsigned char c) {
        verifier = ((verifier >> 14 & 1) | (verifier << 1 & 0x7FFF)) ^ c;
    };
    for (auto c = password.rbegin(); c != password.rend(); ++c)
        step(static_cast<unsigned char>(*c));
    step(static_cast<unsigned char>(password.size()));
    return static_cast<std::uint16_t>(verifier ^ 0xCE4B);
}

std::uint8_t rotateRight(std::uint8_t value, int count) {
    return static_cast<std::uint8_t>(value >> count | value << (8 - count));
}

std::array<std::uint8_t, 16> xorArray(std::string_view password) {
    const std::uint16_t key = xorKey(password);
    const auto high = static_cast<std::uint8_t>(key >> 8), low = static_cast<std::uint8_t>(key);
    const auto mix = [](std::uint8_t a, std::uint8_t b) {
        return rotateRight(static_cast<std::uint8_t>(a ^ b), 1);
    };
    std::array<std::uint8_t, 16> out{};
    std::size_t i = password.size();
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(password[k]); };
    if (i % 2 == 1) {
        out[i] = mix(kPad[0], high);
        --i;
        out[i] = mix(at(password.size() - 1), low);
    }
    while (i > 0) {
        --i;
        out[i] = mix(at(i), high);
        --i;
        out[i] = mix(at(i), low);
    }
    for (int o = 15, pad = 15 - static_cast<int>(password.size()); pad > 0; o -= 2, pad -= 2) {
        out[o] = mix(kPad[pad], high);
        out[o - 1] = mix(kPad[pad - 1], low);
    }
    return out;
}

Bytes decryptXor(ByteSpan stream, std::uint16_t key, std::uint16_t verifier, std::size_t from,
                 std::string_view fileName) {
    if (key != xorKey(kBuiltInPassword) || verifier != xorVerifier(kBuiltInPassword))
        needsPassword(fileName);
    const auto mask = xorArray(kBuiltInPassword);
    Bytes out(stream.begin(), stream.end());
    forEachEncryptedRun(stream, from, [&](std::size_t begin, std::size_t end, std::size_t length) {
        // The mask is laid from the byte after the record, not from its data.
        for (std::size_t i = begin; i < end; ++i)
            out[i] = rotateRight(static_cast<std::uint8_t>(out[i] ^ mask[(i + length) % 16]), 5);
    });
    return out;
}

} // namespace

Bytes decryptWorkbook(ByteSpan stream, const BiffRecord& filePass, bool biff8,
                      std::string_view fileName) {
    const ByteSpan data = filePass.data;
    const std::size_t from = filePass.next;
    if (!biff8) {
        if (data.size() < 4) needsPassword(fileName);
        return decryptXor(stream, u16At(data, 0), u16At(data, 2), from, fileName);
    }
    if (data.size() < 6) needsPassword(fileName);
    switch (u16At(data, 0)) {
    case 0:
        return decryptXor(stream, u16At(data, 2), u16At(data, 4), from, fileName);
    case 1:
        return decryptRc4(stream, data.subspan(2), from, fileName);
    default:
        needsPassword(fileName);
    }
}

} // namespace varnoke::drivers
