#include "platform/platform.h"

#include "value/runtime_error.h"

#include <algorithm>

namespace varnoke {

std::string FilePicker::pickFile(const FileDialogRequest& request) {
    std::string path = choose(request);
    if (path.empty() && request.cancelError)
        throw RuntimeError(kErrCancelSelected, "Cancel was selected.");
    return path;
}

void Progress::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    value_ = std::clamp(value_, min_, max_);
    show();
}

void Progress::setValue(int value) {
    value_ = std::clamp(value, min_, max_);
    show();
}

void Progress::setVisible(bool visible) {
    visible_ = visible;
    show();
}

} // namespace varnoke
