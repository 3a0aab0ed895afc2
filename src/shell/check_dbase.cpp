#include "shell/check_dbase.h"

#include "value/runtime_error.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace varnoke {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string findWorkDbIn(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return {};
    // Several spellings can sit side by side on a case-sensitive file system; take
    // the exact one, else the first in name order so the choice does not vary.
    std::string best;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (lower(name) != kWorkDbName || !entry.is_regular_file(ec)) continue;
        if (name == kWorkDbName) return entry.path().string();
        if (best.empty() || entry.path().string() < best) best = entry.path().string();
    }
    return best;
}

bool checkDbase(SharedState& state, Platform& platform, const std::filesystem::path& startFolder) {
    state.workDbPath.clear();
    std::string found = findWorkDbIn(startFolder);
    state.msgAnswer = answer::Ok;
    while (found.empty() && state.msgAnswer != answer::Cancel) {
        state.msgAnswer = platform.prompter.messageBox(
            kFindWorkDbPrompt, msgbox::OkCancel | msgbox::Information, kFindWorkDbTitle);
        if (state.msgAnswer != answer::Ok) {
            state.msgAnswer = answer::Cancel;
            break;
        }
        std::string chosen;
        try {
            chosen = platform.files.pickFile({"", "", "", kFileDialogFlags, true});
        } catch (const RuntimeError&) {
            chosen.clear();
        }
        if (chosen.empty()) {
            state.msgAnswer = answer::Cancel;
            break;
        }
        // Only the folder counts: any file next to the database finds it.
        std::filesystem::path folder = std::filesystem::path(chosen).parent_path();
        if (folder.empty()) folder = std::filesystem::current_path();
        found = findWorkDbIn(folder);
    }
    if (state.msgAnswer != answer::Cancel && !found.empty()) {
        state.workDbPath = found;
        return true;
    }
    platform.prompter.messageBox(kNoWorkDbMessage, msgbox::OkOnly);
    return false;
}

bool openWorkDb(SharedState& state, Prompter& prompter) {
    try {
        state.workDb = state.dbEngine.workspace(0).openDatabase(state.workDbPath, false, false,
                                                                kWorkDbConnect);
        return true;
    } catch (const RuntimeError& e) {
        prompter.messageBox(errorReport(e) + "\n\nThe database " + state.workDbPath +
                                " could not be opened.",
                            msgbox::OkOnly | msgbox::Critical);
        return false;
    }
}

} // namespace varnoke
