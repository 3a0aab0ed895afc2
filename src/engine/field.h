#pragma once
// Field: one column of a recordset or of a table definition, with the type code and
// size the rest of the program dispatches on.
#include "value/value.h"

#include <memory>
#include <string>
#include <string_view>

namespace varnoke {

// Field type codes, kept per column in the working database.
namespace fieldtype {
inline constexpr int Boolean = 1; // yes/no
inline constexpr int Byte = 2;
inline constexpr int Integer = 3; // 16-bit
inline constexpr int Long = 4;    // 32-bit
inline constexpr int Currency = 5;
inline constexpr int Single = 6;
inline constexpr int Double = 7;
inline constexpr int Date = 8;    // day serial
inline constexpr int Text = 10;   // sized, 1-255 characters
inline constexpr int Binary = 11; // long binary
inline constexpr int Memo = 12;   // long text
} // namespace fieldtype

// A column's type code and size. Size is the text length for Text and the storage
// size of the type otherwise (Long 4, Double 8, Date 8 ..., Memo and Binary 0).
struct ColumnType {
    int code = fieldtype::Text;
    int size = 255;
    bool operator==(const ColumnType&) const = default;
};

// The storage size of a type code (the Size a field of that type reports), 0 for
// Memo and Binary; for Text the default size 255.
int defaultFieldSize(int typeCode);

namespace detail {
class RecordsetState;
}

// A field is either a definition (made by TableDef::createField or listed by
// TableDef::fields) or a column of an open recordset (Recordset::field), which also
// reads and writes the current record's value. Fields are cheap handles; a recordset
// field stays usable as long as its recordset is open, and always refers to the
// recordset's current record.
class Field {
public:
    Field() = default;
    Field(std::string name, int typeCode, int size = 0); // a definition; size 0 = default

    const std::string& name() const { return name_; }
    int type() const { return type_.code; }
    int size() const { return type_.size; }
    ColumnType columnType() const { return type_; }

    // The current record's value, of the kind the column holds: Date -> Value::date,
    // yes/no -> Value::boolean, Currency -> Value::currency, other numbers ->
    // Value::number, Text and Memo -> Value::text, no data -> Value::null().
    // During AddNew/Edit it gives the value set so far.
    // Raises 3021 with no current record, 3167 on a deleted record, 3420 for a field
    // that belongs to no open recordset.
    Value value() const;

    // Sets the value of the record being edited or added; it is written by Update.
    // The value is converted to the column's type at once: "12" into a number gives
    // 12, a date text into a date gives its serial, Empty gives Null. A value that
    // cannot be converted raises 3421, a text longer than the field 3163, a write
    // without AddNew/Edit 3020. A failed set leaves the edit buffer as it was.
    void setValue(const Value& v);

private:
    friend class Recordset;
    Field(std::shared_ptr<detail::RecordsetState> owner, int index, std::string name,
          ColumnType type);

    std::shared_ptr<detail::RecordsetState> owner_; // null for a definition
    int index_ = -1;
    std::string name_;
    ColumnType type_;
};

} // namespace varnoke
