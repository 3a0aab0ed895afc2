#pragma once
// A comparison dialog over a fresh copy of the working database, with scripted prompts
// and file dialogs, and a main window and viewers that record what the dialog asks of
// them.
#include "dialog/form4_model.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"
#include "value/convert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace varnoke::test {

class RecordingMainWindow : public MainWindowApi {
public:
    std::map<std::string, bool, std::less<>> menus;
    std::vector<std::pair<InfoNote, std::string>> notes;
    std::vector<std::string> calls;

    void menuViewFileA_Click() override { calls.push_back("menuViewFileA_Click"); }
    void menuViewFileB_Click() override { calls.push_back("menuViewFileB_Click"); }
    void menuViewExportedData_Click() override { calls.push_back("menuViewExportedData_Click"); }
    void menuViewVarnokeExportTable_Click() override {}
    void createTableList() override {}
    void setMenuEnabled(std::string_view item, bool enabled) override {
        menus[std::string(item)] = enabled;
    }
    bool menuEnabled(std::string_view item) const override {
        auto it = menus.find(item);
        return it != menus.end() && it->second;
    }
    void showInfoNote(InfoNote note, std::string_view text) override {
        notes.emplace_back(note, std::string(text));
    }
};

class RecordingViewers : public ViewerWindows {
public:
    std::map<Viewer, std::string> gridCaptions;
    std::vector<Viewer> closed;
    std::map<Viewer, bool> shown;
    // Runs as a caption is set, e.g. to change what the opener meets next.
    std::function<void(Viewer, std::string_view)> onSetGridCaption;

    bool visible(Viewer v) const override {
        auto it = shown.find(v);
        return it != shown.end() && it->second;
    }
    std::string gridCaption(Viewer v) const override {
        auto it = gridCaptions.find(v);
        return it == gridCaptions.end() ? std::string{} : it->second;
    }
    void setGridCaption(Viewer v, std::string_view caption) override {
        gridCaptions[v] = std::string(caption);
        if (onSetGridCaption) onSetGridCaption(v, caption);
    }
    void close(Viewer v) override {
        closed.push_back(v);
        shown[v] = false;
    }
};

// The folder of the files these tests open.
inline std::filesystem::path dialogData(const std::string& name) {
    return std::filesystem::path(VARNOKE_TEST_DATA).parent_path() / "dialog" / "data" / name;
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        shared.workDb = Engine::instance().openDatabase(dir.copyWorkDb());
        model = std::make_unique<Form4Model>(
            Form4Services{shared, scripted.platform(), mainWindow, viewers});
        model->formLoad();
    }
    void TearDown() override {
        model.reset();
        shared.workDb.close();
    }

    Form4Controls& c() { return model->controls(); }

    // A copy of the dBase file people.dbf (NAME, BIRTHDATE; Alice and Bob).
    std::string peopleDbf() {
        const auto target = dir.path() / "people.dbf";
        std::filesystem::copy_file(dialogData("people.dbf"), target,
                                   std::filesystem::copy_options::overwrite_existing);
        return target.string();
    }
    std::string citiesCsv() { return dir.write("cities.csv", "ID,CITY\n1,Oslo\n2,Lima\n3,Pune\n"); }

    // Opens a file through the dialog's open buttons.
    void openFileA(const std::string& path, const std::string& type = "dBase IV") {
        c().combo6.text = type;
        scripted.files.choosePath(path);
        model->command1Click();
    }
    void openFileB(const std::string& path, const std::string& type) {
        c().combo6.text = type;
        scripted.files.choosePath(path);
        model->command4Click();
    }

    long rowsOf(const std::string& table) {
        auto rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
        return rs.recordCount();
    }
    std::vector<std::string> column(const std::string& table, const std::string& field) {
        std::vector<std::string> out;
        auto rs = shared.workDb.openRecordset(table, RecordsetType::Dynaset);
        for (; !rs.eof(); rs.moveNext())
            out.push_back(textOrBlank(rs.value(field)));
        return out;
    }
    bool hasTable(const std::string& table) { return shared.workDb.tableDefs().contains(table); }

    TempDir dir;
    ScriptedPlatform scripted;
    SharedState shared;
    RecordingMainWindow mainWindow;
    RecordingViewers viewers;
    std::unique_ptr<Form4Model> model;
};

using Items = std::vector<std::string>;

} // namespace varnoke::test
