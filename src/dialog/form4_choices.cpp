// The action, target, replacement, export and method boxes, and the field choices they
// offer from the open files.
#include "dialog/form4_model.h"

namespace varnoke {

namespace {

std::string reference(std::string_view prefix, const std::string& name) {
    return std::string(prefix) + name;
}

} // namespace

std::string pairingMethodNoteText() {
    const std::string crlf = "\r\n";
    return "EXPLANATION:" + crlf +
           "- Parallel records; one record only: Record X/Field X in File A is only compared "
           "with Record X/Field X in File B. i.e. Record 1 is compared with rec. 1, rec. 2 is "
           "compared with rec. 2, and so on....  Depending on the specified criteria, only the "
           "parallel record is deleted/replaced/exported." +
           crlf + crlf +
           "- Non-parallel records; one record: first occurance only: Record X/Field X in File "
           "A is compared to sequential records (rec. 1, 2, 3...) in File B," +
           " until a record in File B meets the specified criteria.  That record is then "
           "deleted/replaced/exported." +
           crlf + crlf +
           "- Non-parallel records; all records: Record X/Field X in File A is compared to ALL "
           "records in File B.  i.e. Record 1 in File A is compared to all records in File B, "
           "then record 2 in File A is compared to all records in File B, and so on....  All "
           "records that meet the specified criteria are deleted/replaced/exported.  With the "
           "criteria set" +
           " as: If data in File A/Field X 'is equal to' data in File B/Field X, THIS IS THE "
           "CHOICE TO USE TO DELETE DUPLICATE RECORDS IN TWO DATABASES.";
}

void Form4Model::resetValueCombos() {
    c_.combo10.clear();
    c_.combo1.clear();
}

void Form4Model::resetActionCombos() {
    c_.combo4.clear();
    c_.combo5.clear();
}

bool Form4Model::offerFields(ListControl& list, std::string_view table, std::string_view emptyNote,
                             const std::function<void(const std::string&)>& add) {
    if (!list.hasItems()) return true;
    return guarded([&] {
        // A cursor of its own: the shared ones belong to the viewers and the run.
        auto rs =
            s_.shared.workDb.openRecordset(table, RecordsetType::Dynaset, rsoption::Inconsistent);
        const bool hasRecord = !rs.eof();
        rs.close();
        if (c_.combo3.text != choice::Export || hasRecord) {
            const int kept = list.listIndex;
            for (const auto& name : list.items)
                add(name);
            list.listIndex = kept;
        } else {
            message(emptyNote);
        }
    });
}

void Form4Model::fillFileBFieldChoices() {
    resetValueCombos();
    // Walking a list leaves its last entry selected.
    auto walk = [](ListControl& list, const std::function<void(const std::string&)>& add) {
        for (std::size_t i = 0; i < list.items.size(); ++i) {
            list.listIndex = static_cast<int>(i);
            add(list.items[i]);
        }
    };
    guarded([&] {
        auto& db = s_.shared.workDb;
        if (twoDatabases()) {
            if (c_.list1.hasItems()) {
                db.openRecordset("Table1", RecordsetType::Dynaset, rsoption::Inconsistent).close();
                walk(c_.list1, [&](const std::string& name) { c_.combo10.addItem(name); });
            }
            if (c_.list2.hasItems()) {
                db.openRecordset("Table2", RecordsetType::Dynaset, rsoption::Inconsistent).close();
                walk(c_.list2, [&](const std::string& name) {
                    c_.combo1.addItem(reference(choice::FileBPrefix, name));
                });
            }
        } else if (c_.list1.hasItems()) {
            db.openRecordset("Table1", RecordsetType::Dynaset, rsoption::Inconsistent).close();
            walk(c_.list1, [&](const std::string& name) {
                c_.combo10.addItem(name);
                c_.combo1.addItem(reference(choice::FileBPrefix, name));
            });
        }
    });
}

void Form4Model::fillExportFieldChoices() {
    resetActionCombos();
    if (twoDatabases()) {
        for (auto [list, table, prefix, note] :
             {std::tuple{&c_.list1, "Table1", choice::FileAPrefix, kFileAEmptyMessage},
              std::tuple{&c_.list2, "Table2", choice::FileBPrefix, kFileBEmptyMessage}}) {
            const bool ok = offerFields(*list, table, note, [&](const std::string& name) {
                c_.combo4.addItem(reference(prefix, name));
                c_.combo5.addItem(reference(prefix, name));
            });
            if (!ok) return;
        }
        c_.combo5.addItem(choice::Blank);
        return;
    }
    bool offered = false;
    offerFields(c_.list1, "Table1", kFileAEmptyMessage, [&](const std::string& name) {
        c_.combo4.addItem(reference(choice::FileAPrefix, name));
        c_.combo5.addItem(reference(choice::FileBPrefix, name));
        offered = true;
    });
    if (offered) c_.combo5.addItem(choice::Blank);
}

void Form4Model::fillTargetChoices() {
    if (c_.combo3.text == choice::Replace) {
        fillExportFieldChoices();
        return;
    }
    c_.combo4.clear();
    for (auto target : choice::DeleteTargets)
        c_.combo4.addItem(target);
}

void Form4Model::combo3Click() {
    const std::string action = c_.combo3.text;
    if (action == choice::Export) {
        c_.command6.enabled = true;
        command6Click();
        c_.label8.visible = false;
        c_.combo4.visible = false;
        c_.combo5.visible = false;
        c_.combo7.enabled = false;
        c_.combo7.text = choice::ParallelOneRecord;
        c_.combo9.visible = true;
        combo9Click();
    } else {
        // The export file is no longer used; its table stays until the next open.
        s_.shared.exportFileOpen.clear();
        c_.command6.enabled = false;
        fillTargetChoices();
        c_.label8.visible = true;
        c_.combo4.visible = true;
        c_.combo5.visible = true;
        c_.combo7.enabled = true;
        c_.combo9.visible = false;
        c_.list3.visible = false;
    }
    const bool withShown = action != choice::Delete && action != choice::Export;
    c_.label8.visible = withShown;
    c_.combo5.visible = withShown;
    applyGridLayout();
    if (c_.option2.value && action != choice::Delete) {
        if (c_.combo8.text == choice::NoRecordsCanBeAdded) c_.combo8.text.clear();
        c_.combo8.enabled = true;
    } else {
        c_.combo8.text = choice::NoRecordsCanBeAdded;
        c_.combo8.enabled = false;
    }
}

void Form4Model::combo9Click() {
    if (c_.combo9.text != choice::SelectFields) {
        c_.list3.visible = false;
        return;
    }
    c_.list3.clear();
    const bool ok =
        offerFields(c_.list1, "Table1", kFileAEmptyMessage,
                    [&](const std::string& name) {
                        c_.list3.addItem(reference(choice::FileAPrefix, name));
                    }) &&
        (!twoDatabases() ||
         offerFields(c_.list2, "Table2", kFileBEmptyMessage, [&](const std::string& name) {
             c_.list3.addItem(reference(choice::FileBPrefix, name));
         }));
    if (!ok) return;
    c_.list3.visible = true;
    c_.focusRequest = "List3";
}

void Form4Model::combo7Click() {
    s_.mainWindow.showInfoNote(InfoNote::Pairing, pairingMethodNoteText());
}

void Form4Model::combo3GotFocus() {
    if (c_.combo9.visible && c_.combo9.text == choice::SelectFields) c_.list3.visible = true;
}

void Form4Model::combo9GotFocus() {
    if (c_.combo9.text == choice::SelectFields) c_.list3.visible = true;
}

void Form4Model::combo8GotFocus() {
    c_.list3.visible = false;
}

void Form4Model::combo7GotFocus() {
    c_.list3.visible = false;
    if (criteria_.rowCount() > 0) applyGridLayout();
}

void Form4Model::combo7LostFocus() {
    if (criteria_.rowCount() > 0) applyGridLayout();
}

} // namespace varnoke
