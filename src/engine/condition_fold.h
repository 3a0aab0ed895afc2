#pragma once
// Terms of a condition whose truth is the same on every row, folded away before the
// condition is judged and rendered. The run writes "IsNull([F]) and not IsNull([F])" for
// a term no record meets; joined by "or" to "[K] = 'x'" it changes nothing, yet it hides
// the plain equality a key index answers, and every find would go to SQLite.
//
// Invariant: the folded condition is True, False or Null on exactly the rows the first
// was, in three-valued logic, and fails on the same rows: only tests that are never Null
// decide a term, and a term is dropped only where it cannot raise an error. The caller
// checks the names and literals of the condition as written before folding it.
#include "engine/sql_ast.h"

namespace varnoke::detail {

// Folds, in place, along the condition's chains of And and Or and its Not:
// - a test of a column for Null beside its opposite ("IsNull([F])", "[F] Is Null" against
//   "Not IsNull([F])", "[F] Is Not Null") makes an And chain False and an Or chain True;
// - a False in an And chain makes it False, a True in an Or chain makes it True;
// - a True in an And chain and a False in an Or chain are dropped; Not of either flips it.
// A chain is decided only when none of its other terms could raise an error (columns,
// literals, their comparisons and tests for Null). True when the tree changed.
bool foldFixedTerms(sql::ExprPtr& condition);

// Whether SQLite evaluates the term without calling a function that may raise an error:
// columns, literals, their comparisons and tests for Null, and And, Or and Not of them.
bool cannotFail(const sql::Expr& term);

// Whether an index of the term's column leads straight to the nearest row it holds on
// past a given one: an equality of a column with a value, or a test that a column is
// Null. Ranges, Not, and comparisons of two columns lead to a walk.
bool seeksNearestRow(const sql::Expr& term);

} // namespace varnoke::detail
