// The Recordset and Field handles: thin, checked entry points over RecordsetState.
#include "engine/recordset.h"

#include "engine/engine_error.h"
#include "engine/recordset_state.h"

namespace varnoke {

// ---- Recordset handle

Recordset::Recordset(std::shared_ptr<detail::RecordsetState> state) : state_(std::move(state)) {}

detail::RecordsetState& Recordset::state() const {
    if (!state_ || !state_->open || !state_->db->open)
        throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return *state_;
}

bool Recordset::isOpen() const {
    return state_ && state_->open && state_->db->open;
}
RecordsetType Recordset::type() const {
    return state().type;
}
bool Recordset::updatable() const {
    return state().updatable;
}
std::string Recordset::name() const {
    return state().spec.source;
}

void Recordset::moveFirst() {
    state().moveFirst();
}
void Recordset::moveLast() {
    state().moveLast();
}
void Recordset::moveNext() {
    state().moveNext();
}
void Recordset::movePrevious() {
    state().movePrevious();
}
void Recordset::move(long n) {
    state().move(n);
}
bool Recordset::eof() const {
    return state().eof();
}
bool Recordset::bof() const {
    return state().bof();
}
long Recordset::absolutePosition() const {
    return state().absolutePosition();
}
std::optional<Recordset::RowStamp> Recordset::rowStamp() const {
    return isOpen() ? state_->rowStamp() : std::nullopt;
}
void Recordset::setAbsolutePosition(long p) {
    state().setAbsolutePosition(p);
}
long Recordset::recordCount() const {
    return state().recordCount();
}
std::int64_t Recordset::bookmark() const {
    return state().bookmark();
}
void Recordset::setBookmark(std::int64_t b) {
    state().setBookmark(b);
}

void Recordset::findFirst(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::First);
}
void Recordset::findLast(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Last);
}
void Recordset::findNext(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Next);
}
void Recordset::findPrevious(std::string_view c) {
    state().find(c, detail::RecordsetState::FindFrom::Previous);
}
bool Recordset::noMatch() const {
    return state().noMatch;
}

void Recordset::setIndex(std::string_view indexName) {
    state().setIndex(indexName);
}
std::string Recordset::index() const {
    return state().spec.index;
}
void Recordset::seek(std::string_view comparison, const Value& key) {
    state().seek(comparison, std::vector<Value>{key});
}
void Recordset::seek(std::string_view comparison, const std::vector<Value>& keys) {
    state().seek(comparison, keys);
}

void Recordset::addNew() {
    state().addNew();
}
void Recordset::edit() {
    state().edit();
}
void Recordset::update() {
    state().update();
}
void Recordset::cancelUpdate() {
    state().cancelUpdate();
}
void Recordset::deleteRecord() {
    state().deleteRecord();
}
int Recordset::editMode() const {
    return state().editMode;
}
std::int64_t Recordset::lastModified() const {
    return state().lastModified;
}

int Recordset::fieldCount() const {
    return static_cast<int>(state().columns.size());
}

Field Recordset::field(int index) const {
    const auto& name = fieldName(index);
    return Field(state_, index, name, state().columns[static_cast<std::size_t>(index)].type);
}

const std::string& Recordset::fieldName(int index) const {
    auto& s = state();
    if (index < 0 || index >= static_cast<int>(s.columns.size()))
        throw EngineError(err::NotInCollection, "Item not found in this collection.");
    return s.columns[static_cast<std::size_t>(index)].name;
}

Field Recordset::field(std::string_view name) const {
    return field(state().columnIndex(name));
}

std::vector<Field> Recordset::fields() const {
    std::vector<Field> out;
    for (int i = 0; i < fieldCount(); ++i)
        out.push_back(field(i));
    return out;
}

Value Recordset::value(std::string_view fieldName) const {
    auto& s = state();
    return s.value(s.columnIndex(fieldName));
}

void Recordset::setValue(std::string_view fieldName, const Value& v) {
    auto& s = state();
    s.setValue(s.columnIndex(fieldName), v);
}

Value Recordset::valueAt(int index) const {
    fieldName(index); // 3265 when there is no such field
    return state().value(index);
}

void Recordset::setValueAt(int index, const Value& v) {
    fieldName(index);
    state().setValue(index, v);
}

int Recordset::fieldType(std::string_view fieldName) const {
    auto& s = state();
    return s.columns[static_cast<std::size_t>(s.columnIndex(fieldName))].type.code;
}

Recordset Recordset::openFiltered(std::string_view filterText) const {
    auto& s = state();
    auto filters = s.spec.filters;
    filters.emplace_back(filterText);
    return Recordset(s.derive(std::move(filters), s.spec.sort));
}

Recordset Recordset::openSorted(std::string_view sortText) const {
    auto& s = state();
    return Recordset(s.derive(s.spec.filters, std::string(sortText)));
}

std::string Recordset::filter() const {
    const auto& f = state().spec.filters;
    std::string out;
    for (const auto& x : f)
        out += (out.empty() ? "" : " AND ") + (f.size() > 1 ? "(" + x + ")" : x);
    return out;
}

std::string Recordset::sort() const {
    return state().spec.sort;
}

void Recordset::requery() {
    state().build();
}

Recordset Recordset::clone() const {
    return Recordset(state().clone());
}

void Recordset::close() {
    if (state_) state_->close();
}

std::vector<std::string> Recordset::explainFind(std::string_view criteria) const {
    return state().explainFind(criteria);
}

// ---- Field

int defaultFieldSize(int typeCode) {
    switch (typeCode) {
    case fieldtype::Boolean:
    case fieldtype::Byte:
        return 1;
    case fieldtype::Integer:
        return 2;
    case fieldtype::Long:
    case fieldtype::Single:
        return 4;
    case fieldtype::Currency:
    case fieldtype::Double:
    case fieldtype::Date:
        return 8;
    case fieldtype::Text:
        return 255;
    default:
        return 0;
    }
}

Field::Field(std::string name, int typeCode, int size)
    : name_(std::move(name)), type_{typeCode, typeCode == fieldtype::Text && size > 0
                                                  ? size
                                                  : defaultFieldSize(typeCode)} {}

Field::Field(std::shared_ptr<detail::RecordsetState> owner, int index, std::string name,
             ColumnType type)
    : owner_(std::move(owner)), index_(index), name_(std::move(name)), type_(type) {}

Value Field::value() const {
    if (!owner_) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    return owner_->value(index_);
}

void Field::setValue(const Value& v) {
    if (!owner_) throw EngineError(err::ObjectInvalid, "Object invalid or no longer set.");
    owner_->setValue(index_, v);
}

} // namespace varnoke
