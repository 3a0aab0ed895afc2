// HTML pages: the nesting check, Gumbo's parse and the table's rows; the table name
// "Table2" makes a second table reachable too.
#include "drivers/html_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    for (const char* table : {"", "Table2"}) {
        try {
            varnoke::drivers::readHtmlImage({data, size}, "fuzz.html", table, sink);
        } catch (const varnoke::EngineError&) {
        }
    }
    return 0;
}
