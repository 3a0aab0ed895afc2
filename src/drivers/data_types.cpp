#include "drivers/data_types.h"

#include <algorithm>

namespace varnoke {

namespace {

using enum DatabasePart;

// Searched top to bottom; names are distinct, so the order only mirrors the table
// users know. The two FoxPro 2.x rows open like FoxPro files.
constexpr DataTypeRow kRows[] = {
    {"Jet table", "Jet 2.x", "JetTable;DATABASE=", File, false},
    {"dBase IV", "dBASE IV", "dBase IV;DATABASE=", Folder, true},
    {"dBase V", "dBASE V", "dBase V;DATABASE=", Folder, true},
    {"Foxpro 2.5", "FoxPro 2.5", "FoxPro 2.5;DATABASE=", Folder, true},
    {"Foxpro 2.6", "FoxPro 2.6", "FoxPro 2.6;DATABASE=", Folder, true},
    {"Foxpro 3.0", "FoxPro 3.0", "FoxPro 3.0;DATABASE=", Folder, false},
    {"Foxpro DBC", "FoxPro DBC", "FoxPro DBC;DATABASE=", Folder, false},
    {"Paradox 4.X", "Paradox 4.X", "Paradox 4.X;DATABASE=", Folder, true},
    {"Paradox 5.X", "Paradox 5.X", "Paradox 5.X;DATABASE=", Folder, true},
    {"Lotus WK4", "Lotus WK4", "Lotus WK4;DATABASE=", File, false},
    {"Excel 5.0", "Excel 5.0", "Excel 5.0;DATABASE=", File, false},
    {"Excel 8.0", "Excel 8.0", "Excel 8.0;DATABASE=", File, false},
    {"Comma-delimited text (CSV)", "Text", "Text;DATABASE=", Folder, false},
    {"HTML Import", "HTML Import", "HTML Import;DATABASE=", Folder, false},
    // Export pages are read back through the import driver under their own key.
    {"HTML Export", "HTML Export", "HTML Import;DATABASE=", Folder, false},
};

struct FilterRule {
    std::string_view name;
    std::string_view filter;
};

// Tested in this order; the FoxPro 2.x names borrow the dBase filters. Each lists the
// names its reader takes, so the picker shows files of the chosen type first.
constexpr FilterRule kFilters[] = {
    {"dBase IV", "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
    {"dBase V", "dBASE V Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
    {"Paradox 4.X", "Paradox 4.X Files(*.DB)|*.db|All Files (*.*)|*.*"},
    {"Paradox 5.X", "Paradox 5.X Files(*.DB)|*.db|All Files (*.*)|*.*"},
    {"Foxpro 2.5", "dBASE IV Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
    {"Foxpro 2.6", "dBASE V Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
    {"Foxpro 3.0", "FoxPro 3.0 Files (*.DBF)|*.dbf|All Files (*.*)|*.*"},
    {"Foxpro DBC", "FoxPro Databases (*.DBC)|*.dbc|All Files (*.*)|*.*"},
    {"Jet table", "Jet Databases (*.MDB;*.ACCDB)|*.mdb;*.accdb|All Files (*.*)|*.*"},
    // One reader takes every release of the worksheets, whatever the type's name says.
    {"Lotus WK4", "Lotus Worksheets (*.WKS;*.WK1;*.WK3;*.WK4;*.123)|*.wks;*.wk1;*.wk3;*.wk4;*.123|"
                  "All Files (*.*)|*.*"},
    {"Excel 5.0", "Excel Files (*.XLS)|*.xls|All Files (*.*)|*.*"},
    {"Excel 8.0", "Excel Files (*.XLS)|*.xls|All Files (*.*)|*.*"},
    {"Comma-delimited text (CSV)", "Text Files (*.CSV;*.TXT)|*.csv;*.txt|All Files (*.*)|*.*"},
    {"HTML Import", "HTML Files (*.HTM;*.HTML)|*.htm;*.html|All Files (*.*)|*.*"},
    {"HTML Export", "HTML Files (*.HTM;*.HTML)|*.htm;*.html|All Files (*.*)|*.*"},
};

constexpr std::string_view kAllFilesFilter = "All Files (*.*)|*.*";

} // namespace

std::string DataTypeRow::settingsPath() const {
    return std::string(kIsamFormatsRoot) + std::string(keyName);
}

std::string DataTypeRow::connectFor(std::string_view folder, std::string_view file) const {
    std::string connect = std::string(connectPrefix) + std::string(folder);
    if (part == DatabasePart::File) connect += "/" + std::string(file);
    return connect;
}

std::span<const DataTypeRow> dataTypeTable() {
    return kRows;
}

std::optional<DataTypeRow> tableType(std::string_view name) {
    const auto* row = std::find_if(std::begin(kRows), std::end(kRows),
                                   [&](const DataTypeRow& r) { return r.name == name; });
    if (row == std::end(kRows)) return std::nullopt;
    return *row;
}

std::string_view fileDialogFilter(std::string_view name) {
    for (const auto& rule : kFilters)
        if (rule.name == name) return rule.filter;
    return kAllFilesFilter;
}

} // namespace varnoke
