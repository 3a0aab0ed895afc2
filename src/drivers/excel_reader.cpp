#include "drivers/biff_format.h"
#include "drivers/readers.h"

namespace varnoke::drivers {

namespace {

// A file-type link names the workbook itself; the source table picks the sheet.
class ExcelReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findLinkedFile(source);
        const MappedFile bytes(file);
        readMapped({&bytes}, [&] {
            readWorkbookImage(bytes.bytes(), fileNameOf(file), source.sourceTable, sink);
        });
    }
};

} // namespace

const ForeignReader& excelReader() {
    static const ExcelReader reader;
    return reader;
}

} // namespace varnoke::drivers
