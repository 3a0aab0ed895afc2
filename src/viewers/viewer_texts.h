#pragma once
// The grid windows' own texts: prompts, questions, refusals and the record counter.
#include <string>
#include <string_view>

namespace varnoke {

namespace viewertext {
inline constexpr std::string_view kCannotFilter = "You Cannot Filter a Table Recordset!";
inline constexpr std::string_view kCannotSort = "You Cannot Sort a Table Recordset!";
inline constexpr std::string_view kSortPrompt =
    "Enter Sort Column (or click Cancel, then click a column heading.  You could also hit "
    "Ctrl + column heading to view the data in descending order.):";
inline constexpr std::string_view kDeleteQuestion = "Delete Current Row?";
inline constexpr std::string_view kCommitQuestion = "Commit changes?";
inline constexpr std::string_view kNoRecord = "No record on file.";
inline constexpr std::string_view kCannotPrint = "The form can't be printed.";
inline constexpr std::string_view kPrintTip = "Print what's currently VISIBLE in this window.";
inline constexpr std::string_view kGridTip = "Enter/edit/delete records in this grid.";
inline constexpr std::string_view kRefreshCaption = "&Refresh";
inline constexpr std::string_view kReFilterCaption = "Re-Filter";
// After Show All the button loses its access key.
inline constexpr std::string_view kPlainRefreshCaption = "Refresh";
} // namespace viewertext

// The Filter box's thirteen lines joined by CR LF; the remote result's window words its
// eighth line more eagerly.
std::string filterPrompt(bool reallyFancy);

// "Record: 3 of 10"; position is zero-based, -1 (no current record) shows 0.
std::string counterText(long position, long count);

// The Local Query window's caption: "Local Query - " and the saved query's name, or the
// first 32 characters of the statement when the query has no name.
std::string localQueryCaption(std::string_view queryName, std::string_view statement);

} // namespace varnoke
