#include "drivers/reader_support.h"
#include "drivers/readers.h"

namespace varnoke {

namespace {

struct Registration {
    std::string_view prefix; // the connect string's text before its first ";"
    const ForeignReader& (*reader)();
};

// Older and newer versions of a format share its reader: the file's own header tells
// the reader which variant it holds.
constexpr Registration kRegistry[] = {
    {"dBase III", drivers::dbfReader},
    {"dBase IV", drivers::dbfReader},
    {"dBase V", drivers::dbfReader},
    {"FoxPro 2.0", drivers::dbfReader},
    {"FoxPro 2.5", drivers::dbfReader},
    {"FoxPro 2.6", drivers::dbfReader},
    {"FoxPro 3.0", drivers::dbfReader},
    {"FoxPro DBC", drivers::dbcReader},
    {"Paradox 3.X", drivers::paradoxReader},
    {"Paradox 4.X", drivers::paradoxReader},
    {"Paradox 5.X", drivers::paradoxReader},
    {"Paradox 7.X", drivers::paradoxReader},
    {"Text", drivers::csvReader},
    {"HTML Import", drivers::htmlReader},
    {"Excel 5.0", drivers::excelReader},
    {"Excel 8.0", drivers::excelReader},
    {"Lotus WK1", drivers::lotusReader},
    {"Lotus WK3", drivers::lotusReader},
    {"Lotus WK4", drivers::lotusReader},
    {"JetTable", drivers::jetReader},
};

} // namespace

const ForeignReader* findReader(std::string_view connect) {
    const auto prefix = drivers::trim(connect.substr(0, connect.find(';')));
    for (const auto& entry : kRegistry)
        if (drivers::equalsNoCase(entry.prefix, prefix)) return &entry.reader();
    return nullptr;
}

} // namespace varnoke
