#pragma once
// The platform services on Qt: message boxes, input boxes, file dialogs, events,
// QSettings, the desktop's document opener and a steady clock.
#include "platform/platform.h"

#include <memory>

class QWidget;
class QProgressBar;

namespace varnoke {

// Prompts open over the window the user works in, parent when there is none, and give
// the keyboard back to it afterwards.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { parent_ = parent; }
    int messageBox(std::string_view text, int style, std::string_view title) override;
    std::string inputBox(std::string_view prompt, std::string_view title,
                         std::string_view defaultText) override;

private:
    struct KeyboardReturn;
    // The window a prompt opens over.
    QWidget* beginPrompt();
    void endPrompt();

    QWidget* parent_;
    // Shared with the return queued after a prompt, which may outlive the prompter.
    std::shared_ptr<KeyboardReturn> return_;
};

class QtFilePicker : public FilePicker {
public:
    explicit QtFilePicker(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

protected:
    std::string choose(const FileDialogRequest& request) override;

private:
    QWidget* parent_;
};

// Mirrors the clamped state onto a progress bar that its window owns.
class QtProgress : public Progress {
public:
    explicit QtProgress(QProgressBar* bar) : bar_(bar) {}

protected:
    void show() override;

private:
    QProgressBar* bar_;
};

class QtEventPump : public EventPump {
public:
    void yieldToEvents() override;
    void drawWindows() override;
};

class QtSettingsStore : public SettingsStore {
public:
    void save(std::string_view app, std::string_view section, std::string_view key,
              std::string_view value) override;
    std::string load(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view fallback) override;
};

class QtDocumentOpener : public DocumentOpener {
public:
    bool openDocument(std::string_view target) override;
};

class QtClock : public Clock {
public:
    double seconds() override;
    void sleep(double seconds) override;
};

// Gives the keyboard to window, and to focus in it, after a prompt over it has gone: the
// window manager may give it to the main window instead, passing over a tool window such
// as a query window.
void returnKeyboard(QWidget* window, QWidget* focus);

// Converts "Name (*.x)|*.x|Other|*.y" into Qt's "Name (*.x);;Other (*.y)".
std::string qtFilterFromPipes(const std::string& filter);
// The name the picker starts with: fileName where the filter's first choice lists it, else
// its folder alone, so that the picker never offers a file its list leaves out.
std::string pickerStartName(const std::string& fileName, const std::string& filter);

// Owns one of each Qt service and hands them out as a Platform.
class QtPlatform {
public:
    QtPlatform() = default;
    Platform platform() { return {prompter, files, events, settings, opener, clock}; }
    void setParent(QWidget* parent) {
        prompter.setParent(parent);
        files.setParent(parent);
    }

    QtPrompter prompter;
    QtFilePicker files;
    QtEventPump events;
    QtSettingsStore settings;
    QtDocumentOpener opener;
    QtClock clock;
};

} // namespace varnoke
