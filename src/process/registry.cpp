#include "process/registry.h"

#include "process/run_context.h"

#include <stdexcept>

namespace varnoke {

namespace {

template <typename Map, typename Proc>
void addUnique(Map& map, std::string name, Proc proc, const char* family) {
    if (!proc) throw std::logic_error(std::string("empty ") + family + " procedure: " + name);
    auto [it, inserted] = map.emplace(std::move(name), std::move(proc));
    if (!inserted) throw std::logic_error(std::string(family) + " registered twice: " + it->first);
}

// The run cannot go on without the procedure: say which one and stop.
void reportMissing(std::string_view name, RunContext& ctx) {
    ctx.shared.msgAnswer = ctx.platform.prompter.messageBox(
        std::string(kNotAvailableText) + std::string(name), msgbox::OkOnly);
    ctx.shared.stopFlag = std::string(kFlagYes);
}

} // namespace

void Registry::addStep(std::string name, StepProc proc) {
    addUnique(steps_, std::move(name), std::move(proc), "step");
}

void Registry::addRepEvaluator(std::string name, RepEvaluator proc) {
    if (del_.count(name)) throw std::logic_error("evaluator registered twice: " + name);
    addUnique(rep_, std::move(name), std::move(proc), "evaluator");
}

void Registry::addDelEvaluator(std::string name, DelEvaluator proc) {
    if (rep_.count(name)) throw std::logic_error("evaluator registered twice: " + name);
    addUnique(del_, std::move(name), std::move(proc), "evaluator");
}

bool Registry::hasStep(std::string_view name) const {
    return steps_.find(name) != steps_.end();
}

bool Registry::hasEvaluator(std::string_view name) const {
    return rep_.find(name) != rep_.end() || del_.find(name) != del_.end();
}

void Registry::callStep(std::string_view name, RunContext& ctx) const {
    if (auto it = steps_.find(name); it != steps_.end()) return it->second(ctx);
    reportMissing(name, ctx);
}

void Registry::callRep(std::string_view name, RunContext& ctx, Value& compareThis,
                       Value& inputThis) const {
    if (auto it = rep_.find(name); it != rep_.end()) return it->second(ctx, compareThis, inputThis);
    reportMissing(name, ctx);
}

void Registry::callDel(std::string_view name, RunContext& ctx, Value& compareThis) const {
    if (auto it = del_.find(name); it != del_.end()) return it->second(ctx, compareThis);
    reportMissing(name, ctx);
}

std::vector<std::string> Registry::missing(const std::vector<std::string>& names) const {
    std::vector<std::string> out;
    for (const auto& name : names)
        if (!hasStep(name) && !hasEvaluator(name)) out.push_back(name);
    return out;
}

} // namespace varnoke
