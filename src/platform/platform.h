#pragma once
// Everything the program asks of the desktop, bundled so one reference reaches it all.
#include "platform/file_picker.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/services.h"

namespace varnoke {

struct Platform {
    Prompter& prompter;
    FilePicker& files;
    EventPump& events;
    SettingsStore& settings;
    DocumentOpener& opener;
    Clock& clock;
};

} // namespace varnoke
