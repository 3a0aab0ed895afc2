// dBase/FoxPro tables with memo files, and FoxPro database containers.
#include "drivers/dbf_format.h"
#include "drivers/mapping_watch.h"
#include "fuzz_sink.h"
#include "split_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Watched as a mapped file is, so the program's SIGBUS handler is in place and its
    // table of watched ranges is used on every input.
    const varnoke::drivers::MappingWatch watch(data, size);
    const auto input = varnoke::fuzz::splitInput(data, size);
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readDbfImage({input.table, input.companion, "fuzz.dbf", "fuzz.fpt", {}},
                                       sink);
        varnoke::drivers::readDbcImage({input.table, input.companion, "fuzz.dbc", "fuzz.dct", {}});
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
