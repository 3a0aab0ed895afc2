// Paradox tables with blob files.
#include "drivers/paradox_format.h"
#include "fuzz_sink.h"
#include "split_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = varnoke::fuzz::splitInput(data, size);
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readParadoxImage({input.table, input.companion, "fuzz.db", "fuzz.mb", {}},
                                           sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
