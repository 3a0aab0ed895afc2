// dBase/FoxPro tables with memo files: the first input byte splits the rest into the
// table and its memo file, so the memo reader is reached too.
#include "drivers/dbf_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t split = std::min<std::size_t>(size - 1, std::size_t{data[0]} * 16);
    const varnoke::drivers::ByteSpan table(data + 1, split);
    const varnoke::drivers::ByteSpan memo(data + 1 + split, size - 1 - split);
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readDbfImage({table, memo, "fuzz.dbf", "fuzz.fpt"}, sink);
        varnoke::drivers::readDbcImage({table, memo, "fuzz.dbc", "fuzz.dct"});
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
