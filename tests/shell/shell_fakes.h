#pragma once
// Stand-ins for the windows the shell's commands drive.
#include "shell/shell_commands.h"

#include <map>
#include <string>
#include <vector>

namespace varnoke::test {

class FakeMenus : public MenuSwitches {
public:
    std::map<std::string, bool, std::less<>> enabled;
    void setMenuEnabled(std::string_view name, bool on) override {
        enabled[std::string(name)] = on;
    }
    bool menuEnabled(std::string_view name) const override {
        auto it = enabled.find(name);
        return it != enabled.end() && it->second;
    }
};

class FakeViewers : public ViewerWindows {
public:
    struct State {
        bool visible = false;
        Recordset bound;
        std::string caption, gridCaption, tag;
        int shows = 0, refreshes = 0, closes = 0;
    };
    std::map<Viewer, State> viewers;

    bool visible(Viewer v) const override {
        auto it = viewers.find(v);
        return it != viewers.end() && it->second.visible;
    }
    void bind(Viewer v, const Recordset& rs) override { viewers[v].bound = rs; }
    std::string caption(Viewer v) const override { return at(v).caption; }
    void setCaption(Viewer v, std::string_view c) override { viewers[v].caption = c; }
    std::string gridCaption(Viewer v) const override { return at(v).gridCaption; }
    void setGridCaption(Viewer v, std::string_view c) override { viewers[v].gridCaption = c; }
    void setTag(Viewer v, std::string_view t) override { viewers[v].tag = t; }
    void show(Viewer v) override {
        viewers[v].visible = true;
        ++viewers[v].shows;
    }
    void refresh(Viewer v) override { ++viewers[v].refreshes; }
    void close(Viewer v) override {
        viewers[v].visible = false;
        ++viewers[v].closes;
    }

private:
    State at(Viewer v) const {
        auto it = viewers.find(v);
        return it == viewers.end() ? State{} : it->second;
    }
};

class FakeCompare : public CompareWindows {
public:
    bool visible = false;
    Progress* bar = nullptr; // the dialog's progress bar, when a test gives one
    bool compareDialogVisible() const override { return visible; }
    Progress* progressBar() override { return bar; }
    std::string fileAPathText() const override { return "/data/a.dbf"; }
    std::string fileBPathText() const override { return "/data/b.dbf"; }
};

class FakeTableList : public TableListView {
public:
    bool shown = false;
    std::vector<std::string> names;
    std::string caption, labelText;
    int unloads = 0;
    bool visible() const override { return shown; }
    void setNames(const std::vector<std::string>& n) override { names = n; }
    void showMode(std::string_view c, std::string_view l) override {
        caption = c;
        labelText = l;
        shown = true;
    }
    std::string label() const override { return labelText; }
    void unload() override {
        shown = false;
        ++unloads;
    }
};

} // namespace varnoke::test
