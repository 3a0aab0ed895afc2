// Jet databases through libmdb, from memory. The library prints dumps of damaged
// pages to stdout; they are sent nowhere so that the fuzzer's time goes to reading.
#include "drivers/jet_format.h"
#include "fuzz_sink.h"

#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const int null = ::open("/dev/null", O_WRONLY); null >= 0) ::dup2(null, STDOUT_FILENO);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::drivers::readJetImage({data, size}, "fuzz.mdb", "fuzz", sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
