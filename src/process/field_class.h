#pragma once
// The three kinds of field the evaluators know, and the evaluator names composed from
// them: list1 (File A changed) or list2 (File B), the tested field's class, the
// operand's class, Equal or NotEqual, Rep (replace) or Del (delete and export).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

enum class FieldClass { Val, Date, Text };
enum class FileSide { A, B };

// Yes/no, byte, integer, long, currency, single and double fields are numbers; text and
// memo are text; dates are dates. Binary and unknown codes have no class.
std::optional<FieldClass> fieldClassOf(int typeCode);

std::string_view fieldClassName(FieldClass fieldClass);

struct EvaluatorKey {
    FileSide side;
    FieldClass tested;
    FieldClass operand;
    bool notEqual;
    bool del;
};

// "list1DateValNotEqualRep".
const std::string& evaluatorName(const EvaluatorKey& key);

// All 72 names, for a start-up check of the registry.
std::vector<std::string> allEvaluatorNames();

} // namespace varnoke
