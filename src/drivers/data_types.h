#pragma once
// The data-type table: the names a user may give a file's type, and for each the
// engine settings key, the connect prefix and whether the link names the file's
// folder or the file itself. The texts are the ones users and saved settings know,
// so they are kept exactly, case and blanks included.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnoke {

enum class DatabasePart { Folder, File };

struct DataTypeRow {
    std::string_view name;          // as typed or chosen in the data-type box
    std::string_view keyName;       // the engine's driver key
    std::string_view connectPrefix; // "dBase IV;DATABASE=" ...
    DatabasePart part;
    bool inList; // offered in the data-type box

    // The engine's settings path of the row's driver.
    std::string settingsPath() const;
    // The connect string for a file split into folder and file name: the prefix and the
    // folder, and for a file row "/" and the file name as well.
    std::string connectFor(std::string_view folder, std::string_view file) const;
};

// The root under which every driver key sits.
inline constexpr std::string_view kIsamFormatsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\3.5\\ISAM Formats\\";

// What the opener shows when a name has no row.
inline constexpr std::string_view kUnrecognizedTypeMessage =
    "The file you selected is not of a type that Varnoke recognizes.  Please select a file "
    "that is of a type in the Data Type List.";

// The data-type box's list, in its order, and its text at start.
inline constexpr std::string_view kDataTypeList[] = {"dBase IV",   "dBase V",     "Foxpro 2.5",
                                                     "Foxpro 2.6", "Paradox 4.X", "Paradox 5.X"};
inline constexpr std::string_view kDefaultDataType = "dBase IV";

// Every row, in lookup order.
std::span<const DataTypeRow> dataTypeTable();

// The row of a name, matched exactly (case and blanks count); nothing for a name
// without a row, which the caller refuses with kUnrecognizedTypeMessage.
std::optional<DataTypeRow> tableType(std::string_view name);

// The file dialog's filter for a name: "Description (*.x)|*.x|All Files (*.*)|*.*".
std::string_view fileDialogFilter(std::string_view name);

} // namespace varnoke
