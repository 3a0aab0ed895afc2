#include "drivers/reader_support.h"
#include "drivers/readers.h"

namespace varnoke {

namespace {

struct Registration {
    std::string_view prefix; // the connect string's text before its first ";"
    const ForeignReader& (*reader)();
};

// Every reader reads through this, so that running out of memory anywhere in a link
// ends in an engine error the opener reports like any other.
class GuardedReader final : public ForeignReader {
public:
    explicit GuardedReader(const ForeignReader& inner) : inner_(inner) {}
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        drivers::readGuarded(inner_, source, sink);
    }

private:
    const ForeignReader& inner_;
};

template <const ForeignReader& (*Reader)()> const ForeignReader& guarded() {
    static const GuardedReader reader(Reader());
    return reader;
}

// Older and newer versions of a format share its reader: the file's own header tells
// the reader which variant it holds.
constexpr Registration kRegistry[] = {
    {"dBase III", guarded<drivers::dbfReader>},
    {"dBase IV", guarded<drivers::dbfReader>},
    {"dBase V", guarded<drivers::dbfReader>},
    {"FoxPro 2.0", guarded<drivers::dbfReader>},
    {"FoxPro 2.5", guarded<drivers::dbfReader>},
    {"FoxPro 2.6", guarded<drivers::dbfReader>},
    {"FoxPro 3.0", guarded<drivers::dbfReader>},
    {"FoxPro DBC", guarded<drivers::dbcReader>},
    {"Paradox 3.X", guarded<drivers::paradoxReader>},
    {"Paradox 4.X", guarded<drivers::paradoxReader>},
    {"Paradox 5.X", guarded<drivers::paradoxReader>},
    {"Paradox 7.X", guarded<drivers::paradoxReader>},
    {"Text", guarded<drivers::csvReader>},
    {"HTML Import", guarded<drivers::htmlReader>},
    {"Excel 5.0", guarded<drivers::excelReader>},
    {"Excel 8.0", guarded<drivers::excelReader>},
    {"Lotus WK1", guarded<drivers::lotusReader>},
    {"Lotus WK3", guarded<drivers::lotusReader>},
    {"Lotus WK4", guarded<drivers::lotusReader>},
    {"JetTable", guarded<drivers::jetReader>},
};

} // namespace

const ForeignReader* findReader(std::string_view connect) {
    const auto prefix = drivers::trim(connect.substr(0, connect.find(';')));
    for (const auto& entry : kRegistry)
        if (drivers::equalsNoCase(entry.prefix, prefix)) return &entry.reader();
    return nullptr;
}

} // namespace varnoke
