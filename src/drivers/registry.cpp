#include "drivers/compound_file.h"
#include "drivers/file_signature.h"
#include "drivers/paradox_format.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

namespace varnoke {

namespace {

struct Registration {
    std::string_view prefix; // the connect string's text before its first ";"
    const ForeignReader& (*reader)();
    drivers::Signature begins; // how its files begin; null where any file may be one
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
    {"dBase III", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"dBase IV", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"dBase V", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"FoxPro 2.0", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"FoxPro 2.5", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"FoxPro 2.6", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"FoxPro 3.0", guarded<drivers::dbfReader>, drivers::isDbfTable},
    {"FoxPro DBC", guarded<drivers::dbcReader>, drivers::isDbfTable},
    {"Paradox 3.X", guarded<drivers::paradoxReader>, drivers::isParadoxTable},
    {"Paradox 4.X", guarded<drivers::paradoxReader>, drivers::isParadoxTable},
    {"Paradox 5.X", guarded<drivers::paradoxReader>, drivers::isParadoxTable},
    {"Paradox 7.X", guarded<drivers::paradoxReader>, drivers::isParadoxTable},
    {"Text", guarded<drivers::csvReader>, nullptr},
    {"HTML Import", guarded<drivers::htmlReader>, nullptr},
    {"Excel 5.0", guarded<drivers::excelReader>, drivers::isCompoundFile},
    {"Excel 8.0", guarded<drivers::excelReader>, drivers::isCompoundFile},
    {"Lotus WK1", guarded<drivers::lotusReader>, drivers::isLotusWorksheet},
    {"Lotus WK3", guarded<drivers::lotusReader>, drivers::isLotusWorksheet},
    {"Lotus WK4", guarded<drivers::lotusReader>, drivers::isLotusWorksheet},
    {"JetTable", guarded<drivers::jetReader>, drivers::isJetDatabase},
};

const Registration* registrationOf(std::string_view connect) {
    const auto prefix = drivers::trim(connect.substr(0, connect.find(';')));
    for (const auto& entry : kRegistry)
        if (drivers::equalsNoCase(entry.prefix, prefix)) return &entry;
    return nullptr;
}

} // namespace

const ForeignReader* findReader(std::string_view connect) {
    const Registration* entry = registrationOf(connect);
    return entry ? &entry->reader() : nullptr;
}

TypeMatch fileMatchesType(std::string_view connect, const std::filesystem::path& file) {
    const Registration* entry = registrationOf(connect);
    if (!entry) return TypeMatch::Unknown;
    if (entry->begins) return drivers::headMatches(entry->begins, file);
    // Any text may be a table or a page; what is no text is neither.
    return drivers::headMatches(drivers::isBinaryHead, file) == TypeMatch::Matches
               ? TypeMatch::Differs
               : TypeMatch::Unknown;
}

} // namespace varnoke
