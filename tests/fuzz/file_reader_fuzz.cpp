// Readers whose libraries open files by name (Excel through FreeXL, Jet through
// libmdb): the input is written to a file and read through the registry. The connect
// prefix comes from the FUZZ_CONNECT_PREFIX the target was built with.
#include "fuzz_sink.h"

#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/varnoke_fuzz_" + std::to_string(getpid());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const std::string connect = std::string(FUZZ_CONNECT_PREFIX) + ";DATABASE=" + path;
    varnoke::fuzz::NullSink sink;
    try {
        varnoke::findReader(connect)->read({connect, path, "fuzz"}, sink);
    } catch (const varnoke::EngineError&) {
    }
    return 0;
}
