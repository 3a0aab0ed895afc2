#include "drivers/paradox_format.h"
#include "drivers/readers.h"

namespace varnoke::drivers {

namespace {

class ParadoxReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findTableFile(source, {".db", ".DB"});
        const MappedFile table(file);
        const auto blobPath = findCompanion(file, ".mb");
        std::optional<MappedFile> blobs;
        if (!blobPath.empty()) blobs.emplace(blobPath);
        const std::string name = fileNameOf(file);
        const std::string blobName = blobPath.empty() ? std::string() : fileNameOf(blobPath);
        readMapped({&table, blobs ? &*blobs : nullptr}, [&] {
            readParadoxImage({table.bytes(),
                              blobs ? std::optional<ByteSpan>(blobs->bytes()) : std::nullopt, name,
                              blobName,
                              [&] {
                                  table.release();
                                  if (blobs) blobs->release();
                              }},
                             sink);
        });
    }
};

} // namespace

const ForeignReader& paradoxReader() {
    static const ParadoxReader reader;
    return reader;
}

} // namespace varnoke::drivers
