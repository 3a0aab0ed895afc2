#include "shell/info_notes.h"

#include "value/convert.h"

namespace varnoke {

namespace {

// The Settings table opened on the note's row, or a closed recordset when the table
// has fewer rows.
Recordset openAtRow(Database& db, InfoNote note) {
    Recordset settings = db.openRecordset("Settings", RecordsetType::Table);
    const int row = settingsRowOf(note);
    if (settings.recordCount() <= row) {
        settings.close();
        return {};
    }
    settings.moveFirst();
    if (row > 0) settings.move(row);
    return settings;
}

} // namespace

int settingsRowOf(InfoNote note) {
    switch (note) {
    case InfoNote::ExportFile:
        return 0;
    case InfoNote::Pairing:
        return 2;
    case InfoNote::Remote:
        return 3;
    }
    return 0;
}

bool noteWanted(Database& db, InfoNote note) {
    Recordset settings = openAtRow(db, note);
    if (!settings.isOpen()) return true;
    const Value showAgain = settings.value("showAgain");
    settings.close();
    if (showAgain.isNull() || showAgain.isEmpty()) return true;
    return numberOf(showAgain) != 0;
}

void setNoteWanted(Database& db, InfoNote note, bool showAgain) {
    Recordset settings = openAtRow(db, note);
    if (!settings.isOpen()) return;
    settings.edit();
    settings.setValue("showAgain", Value::boolean(showAgain));
    settings.update();
    settings.close();
    db.flush();
}

} // namespace varnoke
