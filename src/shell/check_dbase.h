#pragma once
// Finding and opening the working database at start-up.
#include "platform/platform.h"
#include "shell/shared_state.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace varnoke {

inline constexpr std::string_view kWorkDbName = "varnoker.mdb";
inline constexpr std::string_view kWorkDbConnect = ";UID=Admin;PWD=4Tevrask4";
inline constexpr std::string_view kFindWorkDbPrompt =
    "Please find and open the database: varnoker.mdb";
inline constexpr std::string_view kFindWorkDbTitle = "Varnoke - It's your choice...";
inline constexpr std::string_view kNoWorkDbMessage =
    "This application cannot execute properly without the database varnoker.mdb.  Please "
    "install this database on your system, and run the program again.";
// Must exist, no read-only box, ask before overwriting.
inline constexpr int kFileDialogFlags = 4102;

// The path of "varnoker.mdb" in folder, its name matched without regard to case (an
// exact match wins over others); "" when the folder holds none.
std::string findWorkDbIn(const std::filesystem::path& folder);

// Looks in startFolder, then asks the user to show the folder until the database is
// found or the user gives up. True with workDbPath set; false once the user was told
// the program cannot run without it (the caller then ends the program).
bool checkDbase(SharedState& state, Platform& platform, const std::filesystem::path& startFolder);

// Opens workDbPath as workDb. False after telling the user why it could not be opened.
bool openWorkDb(SharedState& state, Prompter& prompter);

} // namespace varnoke
