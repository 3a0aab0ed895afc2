// Excel 5.0-8.0 workbooks: the compound file, its mini stream and the BIFF records,
// all from memory. The sheet name "Sheet2" makes a second sheet reachable too.
#include "drivers/biff_format.h"
#include "fuzz_sink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    for (const char* sheet : {"", "Sheet2"}) {
        try {
            varnoke::drivers::readWorkbookImage({data, size}, "fuzz.xls", sheet, sink);
        } catch (const varnoke::EngineError&) {
        }
    }
    return 0;
}
