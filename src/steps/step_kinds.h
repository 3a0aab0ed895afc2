#pragma once
// What tells the record steps of one family apart: the side of the decision table that
// calls a step, the pairing method and the file whose records the step changes.
namespace varnoke {

// Which decision table calls the step: "is equal to" and the four ordered conditions,
// or "is not equal to".
enum class StepPolarity { Equal, NotEqual };
// Combo7: "parallel records; one record only" pairs the files by position; the two
// non-parallel methods walk the driving file as a source of search keys.
enum class Pairing { Parallel, FirstOccurrence, AllRecords };
// The file whose records the step replaces in or deletes from; the other one drives the
// run.
enum class ChangedFile { A, B };

} // namespace varnoke
