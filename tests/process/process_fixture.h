#pragma once
// A Process run without a window: a copy of the working database with Table1, Table2
// and criteria rows, scripted prompts, and recording doubles for the dialog's controls,
// the main window and the viewers.
#include "process/run_context.h"
#include "support/scripted_platform.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace varnoke::test {

class RecordingControls : public DialogControls {
public:
    std::map<std::string, bool, std::less<>> enabled;
    std::vector<std::string> focused;
    std::set<std::string, std::less<>> withEntries;
    long criteriaRows = 1;
    std::vector<std::string> commands; // "openFileA", "openFileB", "openExportFile"
    std::function<void()> onOpenFileA;

    void setEnabled(std::string_view control, bool on) override {
        enabled[std::string(control)] = on;
    }
    void setFocus(std::string_view control) override { focused.emplace_back(control); }
    bool hasEntries(std::string_view control) const override {
        return withEntries.count(control) > 0;
    }
    long criteriaRowCount() const override { return criteriaRows; }
    void openFileA() override {
        commands.push_back("openFileA");
        if (onOpenFileA) onOpenFileA();
    }
    void openFileB() override { commands.push_back("openFileB"); }
    void openExportFile() override { commands.push_back("openExportFile"); }

    // "on", "off", or "-" when never touched.
    std::string state(std::string_view control) const {
        auto it = enabled.find(control);
        return it == enabled.end() ? "-" : (it->second ? "on" : "off");
    }
};

class RecordingMainWindow : public MainWindowApi {
public:
    std::vector<std::string> calls;
    std::map<std::string, bool, std::less<>> menus;
    void menuViewFileA_Click() override { calls.push_back("menuViewFileA_Click"); }
    void menuViewFileB_Click() override { calls.push_back("menuViewFileB_Click"); }
    void menuViewExportedData_Click() override { calls.push_back("menuViewExportedData_Click"); }
    void menuViewVarnokeExportTable_Click() override {
        calls.push_back("menuViewVarnokeExportTable_Click");
    }
    void createTableList() override {}
    void setMenuEnabled(std::string_view item, bool on) override { menus[std::string(item)] = on; }
    bool menuEnabled(std::string_view item) const override {
        auto it = menus.find(item);
        return it != menus.end() && it->second;
    }
    void showInfoNote(InfoNote, std::string_view) override {}
};

class RecordingViewers : public ViewerWindows {
public:
    std::set<Viewer> shown;
    std::vector<std::string> calls;
    bool visible(Viewer v) const override { return shown.count(v) > 0; }
    void refresh(Viewer v) override {
        calls.push_back("refresh " + std::string(viewerFormName(v)));
    }
    void close(Viewer v) override {
        calls.push_back("close " + std::string(viewerFormName(v)));
        shown.erase(v);
    }
};

struct Criterion {
    std::string ifThis;
    std::string condition;
    std::string thisValue;
    std::string conjunction;
};

class ProcessFixture : public ::testing::Test {
protected:
    ProcessFixture() {
        shared.workDb = Engine::instance().openDatabase(dir.copyWorkDb());
        criteria = shared.workDb.openRecordset("SSysCriteria", RecordsetType::Dynaset);
        shared.runMode = "2";
        shared.fileAName = "y";
        shared.fileBName = "y";
    }
    ~ProcessFixture() override {
        criteria.close();
        shared.rsFileA.close();
        shared.rsFileB.close();
        shared.workDb.close();
    }

    // Rows are added in order; every one but the last gets the conjunction given.
    void setCriteria(const std::vector<Criterion>& rows) {
        for (const auto& row : rows) {
            criteria.addNew();
            criteria.setValue("If_This", Value::text(row.ifThis));
            criteria.setValue("condition", Value::text(row.condition));
            criteria.setValue("This", Value::text(row.thisValue));
            criteria.setValue("conjunction", Value::text(row.conjunction));
            criteria.update();
        }
        criteria.requery();
        controls.criteriaRows = criteria.recordCount();
    }

    void exec(std::string_view sql) { shared.workDb.execute(sql); }

    // Opens rsFileA / rsFileB on the working tables, on their first records.
    void openFiles() {
        shared.rsFileA = shared.workDb.openRecordset("Table1", RecordsetType::Dynaset);
        shared.rsFileB = shared.workDb.openRecordset("Table2", RecordsetType::Dynaset);
    }

    std::vector<std::string> messages() const { return sp.prompter.messages(); }

    TempDir dir;
    SharedState shared;
    Form4State form;
    ScriptedPlatform sp;
    Platform platform = sp.platform();
    Progress progress;
    Recordset criteria;
    RecordingControls controls;
    RecordingMainWindow mainWindow;
    RecordingViewers viewers;
    Registry registry;
    RunContext ctx{shared,   form.controls, form.run,   platform, progress,
                   criteria, controls,      mainWindow, viewers,  registry};
};

} // namespace varnoke::test
