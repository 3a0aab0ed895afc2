#include "process/field_class.h"

#include "engine/field.h"

namespace varnoke {

std::optional<FieldClass> fieldClassOf(int typeCode) {
    switch (typeCode) {
    case fieldtype::Boolean:
    case fieldtype::Byte:
    case fieldtype::Integer:
    case fieldtype::Long:
    case fieldtype::Currency:
    case fieldtype::Single:
    case fieldtype::Double:
        return FieldClass::Val;
    case fieldtype::Date:
        return FieldClass::Date;
    case fieldtype::Text:
    case fieldtype::Memo:
        return FieldClass::Text;
    default:
        return std::nullopt;
    }
}

std::string_view fieldClassName(FieldClass fieldClass) {
    switch (fieldClass) {
    case FieldClass::Val:
        return "Val";
    case FieldClass::Date:
        return "Date";
    case FieldClass::Text:
        break;
    }
    return "Text";
}

namespace {

std::string nameOf(const EvaluatorKey& key) {
    std::string name = key.side == FileSide::A ? "list1" : "list2";
    name += fieldClassName(key.tested);
    name += fieldClassName(key.operand);
    name += key.notEqual ? "NotEqual" : "Equal";
    name += key.del ? "Del" : "Rep";
    return name;
}

// Every key in the order of keyIndex.
std::vector<EvaluatorKey> allKeys() {
    std::vector<EvaluatorKey> keys;
    const FieldClass classes[] = {FieldClass::Val, FieldClass::Date, FieldClass::Text};
    for (FileSide side : {FileSide::A, FileSide::B})
        for (FieldClass tested : classes)
            for (FieldClass operand : classes)
                for (bool notEqual : {false, true})
                    for (bool del : {false, true})
                        keys.push_back({side, tested, operand, notEqual, del});
    return keys;
}

std::size_t keyIndex(const EvaluatorKey& key) {
    std::size_t i = key.side == FileSide::A ? 0 : 1;
    i = i * 3 + static_cast<std::size_t>(key.tested);
    i = i * 3 + static_cast<std::size_t>(key.operand);
    i = i * 2 + (key.notEqual ? 1 : 0);
    return i * 2 + (key.del ? 1 : 0);
}

} // namespace

// Made once: a run looks an evaluator up by its name for every record.
const std::string& evaluatorName(const EvaluatorKey& key) {
    static const std::vector<std::string> names = allEvaluatorNames();
    return names[keyIndex(key)];
}

std::vector<std::string> allEvaluatorNames() {
    std::vector<std::string> names;
    for (const EvaluatorKey& key : allKeys())
        names.push_back(nameOf(key));
    return names;
}

} // namespace varnoke
