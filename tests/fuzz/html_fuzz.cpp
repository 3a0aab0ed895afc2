// HTML pages: the page's encoding and cleaning, libxml2's parse of it and the table
// model on its elements. The table asked for is "Table2", so a page with two tables
// reaches the search by name, and one with a single table the fall-back to the first.
#include "drivers/html_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readHtmlImage({data, size}, "fuzz.html", "Table2", sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
