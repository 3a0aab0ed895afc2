#pragma once
// The open-file dialog. The filter keeps the original form "Name (*.x)|*.x|Other|*.y";
// the flags are kept for callers that set them, though only the cancel rule matters.
#include <string>

namespace varnoke {

inline constexpr int kErrCancelSelected = 32755;

struct FileDialogRequest {
    std::string title;
    std::string filter;   // "desc|pattern|desc|pattern..."
    std::string fileName; // the initial name
    int flags = 0;
    bool cancelError = true; // a cancel raises 32755 instead of returning ""
};

class FilePicker {
public:
    virtual ~FilePicker() = default;
    // The chosen path. On cancel: throws RuntimeError 32755 when cancelError is set,
    // else returns "".
    std::string pickFile(const FileDialogRequest& request);

protected:
    // The chosen path, or "" when the user cancelled.
    virtual std::string choose(const FileDialogRequest& request) = 0;
};

} // namespace varnoke
