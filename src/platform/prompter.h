#pragma once
// Message boxes and input boxes, as the program asks its questions. Styles and answers
// keep the original numbers so a caller can write the style the way it is documented
// (36 = Yes/No with a question icon) and test the answer the same way (6 = Yes).
#include <string>
#include <string_view>

namespace varnoke {

namespace msgbox {
// Buttons
inline constexpr int OkOnly = 0;
inline constexpr int OkCancel = 1;
inline constexpr int AbortRetryIgnore = 2;
inline constexpr int YesNoCancel = 3;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
// Icons
inline constexpr int Critical = 16;
inline constexpr int Question = 32;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
// Default button
inline constexpr int DefaultButton2 = 256;
inline constexpr int DefaultButton3 = 512;

inline constexpr int buttonsOf(int style) {
    return style & 0x0F;
}
inline constexpr int iconOf(int style) {
    return style & 0xF0;
}
inline constexpr int defaultButtonOf(int style) {
    return (style & 0xF00) / 256;
}
} // namespace msgbox

namespace answer {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace answer

inline constexpr std::string_view kAppTitle = "Varnoke";

class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows text with the buttons and icon of style; returns the answer code.
    virtual int messageBox(std::string_view text, int style = msgbox::OkOnly,
                           std::string_view title = kAppTitle) = 0;
    // Asks for a line of text; "" when the user cancels.
    virtual std::string inputBox(std::string_view prompt, std::string_view title = kAppTitle,
                                 std::string_view defaultText = {}) = 0;
};

} // namespace varnoke
