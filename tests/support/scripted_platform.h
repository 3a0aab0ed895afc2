#pragma once
// Scripted stand-ins for the platform: each prompt takes the next answer from a queue,
// an unexpected prompt fails the test, and every text shown is recorded so a test can
// assert the exact message.
#include "platform/platform.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace varnoke::test {

struct ShownPrompt {
    enum class Kind { Message, Input } kind;
    std::string text;
    int style = 0;
    std::string title;
    std::string defaultText; // what an input box offers before the user types
};

class ScriptedPrompter : public Prompter {
public:
    // Queue the answer to the next message box.
    ScriptedPrompter& answer(int code);
    // Queue the text typed into the next input box ("" is a cancel).
    ScriptedPrompter& type(std::string text);

    int messageBox(std::string_view text, int style, std::string_view title) override;
    std::string inputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;

    const std::vector<ShownPrompt>& shown() const { return shown_; }
    // Texts of the message boxes shown, in order.
    std::vector<std::string> messages() const;
    const ShownPrompt& last() const;
    // Runs as each prompt comes up, e.g. to look at the windows behind it.
    std::function<void(const ShownPrompt&)> onShow;
    // Answers queued but never asked for.
    std::size_t pending() const { return answers_.size() + inputs_.size(); }

private:
    std::deque<int> answers_;
    std::deque<std::string> inputs_;
    std::vector<ShownPrompt> shown_;
};

class ScriptedFilePicker : public FilePicker {
public:
    // Queue the next chosen path; "" stands for Cancel.
    ScriptedFilePicker& choosePath(std::string path);
    const std::vector<FileDialogRequest>& requests() const { return requests_; }

protected:
    std::string choose(const FileDialogRequest& request) override;

private:
    std::deque<std::string> paths_;
    std::vector<FileDialogRequest> requests_;
};

class CountingEventPump : public EventPump {
public:
    // Runs on every yield, e.g. to press Stop after a number of steps.
    std::function<void(int)> onYield;
    int yields = 0;
    void yieldToEvents() override;
    // Runs on every drawing of the windows alone.
    std::function<void(int)> onDraw;
    int draws = 0;
    void drawWindows() override;
};

class MemorySettingsStore : public SettingsStore {
public:
    std::map<std::string, std::string> values; // "app/section/key"
    void save(std::string_view app, std::string_view section, std::string_view key,
              std::string_view value) override;
    std::string load(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view fallback) override;
};

class RecordingOpener : public DocumentOpener {
public:
    std::vector<std::string> opened;
    bool openDocument(std::string_view target) override;
};

// Time moves only when the program sleeps or the test advances it.
class ManualClock : public Clock {
public:
    double now = 0;
    double seconds() override { return now; }
    void sleep(double seconds) override { now += seconds; }
};

class ScriptedPlatform {
public:
    Platform platform() { return {prompter, files, events, settings, opener, clock}; }
    ScriptedPrompter prompter;
    ScriptedFilePicker files;
    CountingEventPump events;
    MemorySettingsStore settings;
    RecordingOpener opener;
    ManualClock clock;
};

} // namespace varnoke::test
