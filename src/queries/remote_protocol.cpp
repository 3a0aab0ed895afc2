#include "queries/remote_protocol.h"

#include <algorithm>
#include <array>
#include <utility>

namespace varnoke {

namespace {

constexpr std::array<std::pair<std::string_view, ServerText>, 6> kControlTexts{{
    {remotetext::kNothing, ServerText::Nothing},
    {remotetext::kLoggedIn, ServerText::LoginPrompt},
    {remotetext::kSendLogin, ServerText::LoginPrompt},
    {remotetext::kAuthorized, ServerText::Authorized},
    {remotetext::kRefused, ServerText::Refused},
    {remotetext::kStopped, ServerText::Stopped},
}};

bool holdsDelimiter(std::string_view text) {
    return text.find(remotetext::kDelimiter) != std::string_view::npos;
}

bool holdsControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
}

std::string delimiterRefusal(std::string_view what) {
    return "The " + std::string(what) +
           " holds \"^~*\", which the query server reads as the end of a message.  "
           "Please remove it.";
}

std::string commaRefusal(std::string_view what) {
    return "The " + std::string(what) +
           " holds a comma, which the query server reads as the end of the " + std::string(what) +
           ".  Please remove it.";
}

} // namespace

std::optional<ServerText> controlText(std::string_view text) {
    for (const auto& [known, kind] : kControlTexts)
        if (text == known) return kind;
    return std::nullopt;
}

bool isControlPrefix(std::string_view text) {
    return std::any_of(kControlTexts.begin(), kControlTexts.end(), [text](const auto& entry) {
        return entry.first.size() > text.size() && entry.first.starts_with(text);
    });
}

std::string loginMessage(std::string_view name, std::string_view password) {
    std::string message = "lo_";
    message.append(name).append(",").append(password).append(remotetext::kDelimiter);
    return message;
}

std::string queryMessage(std::string_view connectString, std::string_view sql) {
    std::string message = "sq";
    message.append(connectString).append(",").append(sql).append(remotetext::kDelimiter);
    return message;
}

std::optional<std::string> loginRefusal(std::string_view name, std::string_view password) {
    if (holdsDelimiter(name)) return delimiterRefusal("login name");
    if (name.find(',') != std::string_view::npos) return commaRefusal("login name");
    if (holdsControl(name))
        return std::string("The login name holds a control character.  Please type it again.");
    if (holdsDelimiter(password)) return delimiterRefusal("password");
    return std::nullopt;
}

std::optional<std::string> queryRefusal(std::string_view connectString, std::string_view sql) {
    if (holdsDelimiter(connectString)) return delimiterRefusal("connection string");
    if (connectString.find(',') != std::string_view::npos) return commaRefusal("connection string");
    if (holdsDelimiter(sql)) return delimiterRefusal("SQL statement");
    return std::nullopt;
}

} // namespace varnoke
