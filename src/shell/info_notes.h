#pragma once
// The info notes' switches, kept in the Settings table of the working database: one
// row per note, addressed by position, whose yes/no column showAgain says whether the
// note still shows.
#include "engine/database.h"
#include "shell/main_window_api.h"

#include <string_view>

namespace varnoke {

inline constexpr std::string_view kInfoNoteTitle = "Varnoke - Info";
inline constexpr std::string_view kShowAgainCaption = "Show this message again.";

// The note's row, counted from 0 in the table's stored order.
int settingsRowOf(InfoNote note);

// Whether the note is to be shown. A note whose row is missing shows, so a damaged
// table never hides help; an unreadable table raises its engine error.
bool noteWanted(Database& db, InfoNote note);

// Writes the check box's state to the note's row (nothing when the row is missing).
void setNoteWanted(Database& db, InfoNote note, bool showAgain);

} // namespace varnoke
