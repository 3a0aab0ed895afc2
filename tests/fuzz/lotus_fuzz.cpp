// Lotus worksheets through our own decoding of their records.
#include "drivers/lotus_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readLotusImage({data, size}, "fuzz.wk4", sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
