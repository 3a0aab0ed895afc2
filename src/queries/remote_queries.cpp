#include "queries/remote_queries.h"

namespace varnoke {

namespace {
constexpr std::string_view kConnectTable = "ConnectStr";
constexpr std::string_view kConnectIndex = "QueryNameIndex";
constexpr std::string_view kSampleTable = "SampleConnStr";
constexpr std::string_view kSampleIndex = "DBNameIndex";
} // namespace

RemoteQueries::RemoteQueries(SharedState& state, Prompter& prompter, SettingsStore& settings,
                             RemoteLink& link, RemoteQueryView& view,
                             RemoteClientSettings clientSettings)
    : SavedQueryList(state, prompter, settings), view_(view),
      client_(state, prompter, link, *this, view, clientSettings) {}

bool RemoteQueries::formLoad() {
    if (!SavedQueryList::formLoad()) return false;
    samples_.clear();
    try {
        Recordset samples = state_.workDb.openRecordset(kSampleTable, RecordsetType::Table);
        for (; !samples.eof(); samples.moveNext()) {
            const Value name = samples.value("DBName");
            samples_.push_back(name.isText() ? name.asText() : std::string());
        }
        samples.close();
    } catch (const RuntimeError& e) {
        report(e);
    }
    view_.changed();
    return true;
}

void RemoteQueries::chooseSample(const std::string& name) {
    if (name == querytext::kSamplesText) return;
    try {
        Recordset samples = state_.workDb.openRecordset(kSampleTable, RecordsetType::Table);
        samples.setIndex(kSampleIndex);
        samples.seek("=", Value::text(name));
        const bool found = !samples.noMatch();
        const Value sample = found ? samples.value("ConnectString") : Value::null();
        samples.close();
        if (!found) {
            prompter_.messageBox(querytext::kNoSample, msgbox::OkOnly | msgbox::Information,
                                 querytext::kInfoTitle);
            return;
        }
        setConnectString(sample.isText() ? sample.asText() : std::string());
    } catch (const RuntimeError& e) {
        report(e);
    }
}

void RemoteQueries::setConnectString(std::string text) {
    connectString_ = std::move(text);
    view_.changed();
}

void RemoteQueries::setSql(std::string text) {
    sql_ = std::move(text);
    view_.changed();
}

RemoteFocus RemoteQueries::activateWindow() {
    return activate() == QueryFocus::List ? RemoteFocus::List : RemoteFocus::ConnectionString;
}

void RemoteQueries::queryUnload(bool minimised, int leftTwips, int topTwips) {
    SavedQueryList::queryUnload(minimised, leftTwips, topTwips);
    try {
        client_.closeConnection();
    } catch (const RuntimeError& e) {
        report(e);
    }
}

Recordset RemoteQueries::seekConnectRow(const std::string& name, bool& found) {
    Recordset rows = state_.workDb.openRecordset(kConnectTable, RecordsetType::Table);
    rows.setIndex(kConnectIndex);
    found = false;
    if (rows.recordCount() > 0) {
        rows.seek("=", Value::text(name));
        found = !rows.noMatch();
    }
    return rows;
}

void RemoteQueries::showEntry(const std::string& sql) {
    sql_ = sql;
    connectString_.clear();
    view_.changed();
    try {
        bool found = false;
        Recordset rows = seekConnectRow(listText(), found);
        const Value text = found ? rows.value("ConnectString") : Value::null();
        rows.close();
        if (!found) {
            prompter_.messageBox(querytext::kNoConnectString, msgbox::OkOnly);
            return;
        }
        setConnectString(text.isText() ? text.asText() : std::string());
    } catch (const RuntimeError& e) {
        report(e);
    }
}

void RemoteQueries::afterUpdate(const std::string& name) {
    bool found = false;
    Recordset rows = seekConnectRow(name, found);
    if (connectString_.empty()) {
        if (found) rows.deleteRecord();
    } else {
        if (found)
            rows.edit();
        else
            rows.addNew();
        writeConnectRow(rows, name);
    }
    rows.close();
}

void RemoteQueries::afterCreate(const std::string& name) {
    if (connectString_.empty()) return;
    Recordset rows = state_.workDb.openRecordset(kConnectTable, RecordsetType::Table);
    rows.addNew();
    writeConnectRow(rows, name);
    rows.close();
}

// The row being edited or added takes the query's name and connection string.
void RemoteQueries::writeConnectRow(Recordset& rows, const std::string& name) const {
    rows.setValue("QueryName", Value::text(name));
    rows.setValue("ConnectString", Value::text(connectString_));
    rows.update();
}

void RemoteQueries::afterRemove(const std::string& name) {
    bool found = false;
    Recordset rows = seekConnectRow(name, found);
    if (found) rows.deleteRecord();
    rows.close();
}

void RemoteQueries::appendToSql(std::string_view text) {
    sql_.append(text);
    view_.changed();
}

void RemoteQueries::setCaption(std::string_view caption) {
    caption_ = caption;
    view_.changed();
}

} // namespace varnoke
