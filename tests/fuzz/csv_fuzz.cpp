// Comma-delimited text, typed and sent as a linked .csv file is.
#include "drivers/csv_reader.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readCsvImage({reinterpret_cast<const char*>(data), size}, "fuzz.csv",
                                       sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
