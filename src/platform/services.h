#pragma once
// The small platform services besides prompts, file dialogs and progress.
#include <string>
#include <string_view>

namespace varnoke {

// Lets pending window events run during a long task, so Stop can be pressed.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void yieldToEvents() = 0;
    // Lets the windows be drawn and nothing else: no input, timer or network event runs,
    // so no command can start during a wait that cannot take one. Without windows it
    // does nothing.
    virtual void drawWindows() {}
};

// The per-user settings store: application, section, key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual void save(std::string_view app, std::string_view section, std::string_view key,
                      std::string_view value) = 0;
    virtual std::string load(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view fallback = {}) = 0;
};

// Opens a web address or mail address with the desktop's own program.
class DocumentOpener {
public:
    virtual ~DocumentOpener() = default;
    virtual bool openDocument(std::string_view target) = 0;
};

// Seconds from an arbitrary start on a clock that only runs forward: never the time of
// day, which starts again at midnight and would leave a wait across it waiting for good.
// A test drives it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double seconds() = 0;
    // Waits, letting events run; the test clock just advances.
    virtual void sleep(double seconds) = 0;
};

} // namespace varnoke
