#pragma once
// Procedures by name. The decision table names a record step and the dispatchers name
// an evaluator; the subsystems that build them register them here at start-up
// (registerXxx(Registry&) per family). A name with no procedure is never a silent
// no-op: the user is told and the run stops.
#include "value/value.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnoke {

struct RunContext;

// A record step: one criteria row against one driving record (twoEqualRepFirstFromAWithB).
using StepProc = std::function<void(RunContext&)>;
// A replace evaluator (list1TextTextEqualRep): operand and replacement by reference, so a
// conversion it stores stays in the caller's variable.
using RepEvaluator = std::function<void(RunContext&, Value& compareThis, Value& inputThis)>;
// A delete or export evaluator (list2DateValNotEqualDel).
using DelEvaluator = std::function<void(RunContext&, Value& compareThis)>;

// Shown when a name has no procedure yet.
inline constexpr std::string_view kNotAvailableText = "This operation is not available yet: ";

class Registry {
public:
    // Registering the same name twice is a programming error (std::logic_error).
    void addStep(std::string name, StepProc proc);
    void addRepEvaluator(std::string name, RepEvaluator proc);
    void addDelEvaluator(std::string name, DelEvaluator proc);

    bool hasStep(std::string_view name) const;
    bool hasEvaluator(std::string_view name) const;

    // Each call runs the named procedure; when there is none it shows
    // kNotAvailableText + name and sets stopFlag, and returns.
    void callStep(std::string_view name, RunContext& ctx) const;
    void callRep(std::string_view name, RunContext& ctx, Value& compareThis,
                 Value& inputThis) const;
    void callDel(std::string_view name, RunContext& ctx, Value& compareThis) const;

    // The names of the list that have no procedure, for a start-up check.
    std::vector<std::string> missing(const std::vector<std::string>& names) const;

private:
    // A run looks up a step and an evaluator for every record: by hash, not by a walk of
    // compared names.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    template <typename Proc>
    using ByName = std::unordered_map<std::string, Proc, NameHash, std::equal_to<>>;
    ByName<StepProc> steps_;
    ByName<RepEvaluator> rep_;
    ByName<DelEvaluator> del_;
};

} // namespace varnoke
