#pragma once
// The texts the query server and the remote client exchange, and the checks a field
// must pass before it goes on the wire. Messages end with the delimiter "^~*" and
// nothing inside them is escaped, so a field that holds the delimiter (or, where the
// server splits at a comma, a comma) would change what the server reads.
#include <optional>
#include <string>
#include <string_view>

namespace varnoke {

namespace remotetext {
inline constexpr std::string_view kDelimiter = "^~*";
inline constexpr std::string_view kClosing = "xxclosing^~*";

inline constexpr std::string_view kNothing = "nothing";
inline constexpr std::string_view kLoggedIn = "loggedin";
inline constexpr std::string_view kSendLogin = "Send login ID, ZaredAzirozi.";
inline constexpr std::string_view kAuthorized = "You are AUTHORIZED!  You ARE a ZaredAzirozi.";
inline constexpr std::string_view kRefused =
    "Your user name or password is incorrect.  Please try again.";
inline constexpr std::string_view kStopped = "The server has STOPPED.  You must re-connect to "
                                             "re-establish a session at a later time.";
inline constexpr std::string_view kProcessError = "Process Error.";
} // namespace remotetext

// A server text the client acts on, as opposed to a server message or result data.
enum class ServerText { Nothing, LoginPrompt, Authorized, Refused, Stopped };

// The control text that text is exactly (case-sensitive), if any.
std::optional<ServerText> controlText(std::string_view text);
// Whether text is the beginning of a control text without being all of it: more
// bytes may still make it one.
bool isControlPrefix(std::string_view text);

// "lo_" name "," password "^~*"
std::string loginMessage(std::string_view name, std::string_view password);
// "sq" connection string "," SQL "^~*"
std::string queryMessage(std::string_view connectString, std::string_view sql);

// Why a login cannot be sent as typed, or nothing when it can.
std::optional<std::string> loginRefusal(std::string_view name, std::string_view password);
// Why a query cannot be sent as typed, or nothing when it can.
std::optional<std::string> queryRefusal(std::string_view connectString, std::string_view sql);

} // namespace varnoke
