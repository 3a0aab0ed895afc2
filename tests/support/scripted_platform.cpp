#include "support/scripted_platform.h"

#include <gtest/gtest.h>

namespace varnoke::test {

ScriptedPrompter& ScriptedPrompter::answer(int code) {
    answers_.push_back(code);
    return *this;
}

ScriptedPrompter& ScriptedPrompter::type(std::string text) {
    inputs_.push_back(std::move(text));
    return *this;
}

int ScriptedPrompter::messageBox(std::string_view text, int style, std::string_view title) {
    shown_.push_back(
        {ShownPrompt::Kind::Message, std::string(text), style, std::string(title), {}});
    if (onShow) onShow(shown_.back());
    if (answers_.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << title << "\": " << text;
        return answer::Cancel;
    }
    const int code = answers_.front();
    answers_.pop_front();
    return code;
}

std::string ScriptedPrompter::inputBox(std::string_view prompt, std::string_view title,
                                       std::string_view defaultText) {
    shown_.push_back({ShownPrompt::Kind::Input, std::string(prompt), 0, std::string(title),
                      std::string(defaultText)});
    if (onShow) onShow(shown_.back());
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box \"" << title << "\": " << prompt;
        return {};
    }
    std::string text = std::move(inputs_.front());
    inputs_.pop_front();
    return text;
}

std::vector<std::string> ScriptedPrompter::messages() const {
    std::vector<std::string> out;
    for (const auto& p : shown_)
        if (p.kind == ShownPrompt::Kind::Message) out.push_back(p.text);
    return out;
}

const ShownPrompt& ScriptedPrompter::last() const {
    static const ShownPrompt none{ShownPrompt::Kind::Message, "<nothing shown>", 0, "", ""};
    return shown_.empty() ? none : shown_.back();
}

ScriptedFilePicker& ScriptedFilePicker::choosePath(std::string path) {
    paths_.push_back(std::move(path));
    return *this;
}

std::string ScriptedFilePicker::choose(const FileDialogRequest& request) {
    requests_.push_back(request);
    if (paths_.empty()) {
        ADD_FAILURE() << "unexpected file dialog: " << request.title;
        return {};
    }
    std::string path = std::move(paths_.front());
    paths_.pop_front();
    return path;
}

void CountingEventPump::yieldToEvents() {
    ++yields;
    if (onYield) onYield(yields);
}

void CountingEventPump::drawWindows() {
    ++draws;
    if (onDraw) onDraw(draws);
}

void MemorySettingsStore::save(std::string_view app, std::string_view section, std::string_view key,
                               std::string_view value) {
    values[std::string(app) + "/" + std::string(section) + "/" + std::string(key)] = value;
}

std::string MemorySettingsStore::load(std::string_view app, std::string_view section,
                                      std::string_view key, std::string_view fallback) {
    auto it = values.find(std::string(app) + "/" + std::string(section) + "/" + std::string(key));
    return it == values.end() ? std::string(fallback) : it->second;
}

bool RecordingOpener::openDocument(std::string_view target) {
    opened.emplace_back(target);
    return true;
}

} // namespace varnoke::test
