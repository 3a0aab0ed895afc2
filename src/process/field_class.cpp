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

std::string evaluatorName(const EvaluatorKey& key) {
    std::string name = key.side == FileSide::A ? "list1" : "list2";
    name += fieldClassName(key.tested);
    name += fieldClassName(key.operand);
    name += key.notEqual ? "NotEqual" : "Equal";
    name += key.del ? "Del" : "Rep";
    return name;
}

std::vector<std::string> allEvaluatorNames() {
    std::vector<std::string> names;
    const FieldClass classes[] = {FieldClass::Val, FieldClass::Date, FieldClass::Text};
    for (FileSide side : {FileSide::A, FileSide::B})
        for (FieldClass tested : classes)
            for (FieldClass operand : classes)
                for (bool notEqual : {false, true})
                    for (bool del : {false, true})
                        names.push_back(evaluatorName({side, tested, operand, notEqual, del}));
    return names;
}

} // namespace varnoke
