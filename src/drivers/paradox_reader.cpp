#include "drivers/paradox_format.h"
#include "drivers/readers.h"

namespace varnoke::drivers {

namespace {

class ParadoxReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findTableFile(source, {".db", ".DB"});
        const Bytes table = readWholeFile(file);
        const auto blobPath = findCompanion(file, ".mb");
        Bytes blobs;
        if (!blobPath.empty()) blobs = readWholeFile(blobPath);
        const std::string name = fileNameOf(file);
        const std::string blobName = blobPath.empty() ? std::string() : fileNameOf(blobPath);
        readParadoxImage({table, blobPath.empty() ? std::nullopt : std::optional<ByteSpan>(blobs),
                          name, blobName},
                         sink);
    }
};

} // namespace

const ForeignReader& paradoxReader() {
    static const ParadoxReader reader;
    return reader;
}

} // namespace varnoke::drivers
