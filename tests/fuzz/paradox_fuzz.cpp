// Paradox tables with blob files; the first two input bytes give the table's length.
#include "drivers/paradox_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t split =
        std::min<std::size_t>(size - 2, (std::size_t{data[0]} << 8 | data[1]) * 4);
    const varnoke::drivers::ByteSpan table(data + 2, split);
    const varnoke::drivers::ByteSpan blobs(data + 2 + split, size - 2 - split);
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readParadoxImage({table, blobs, "fuzz.db", "fuzz.mb"}, sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
