#pragma once
// How long a window test waits for a condition (a window shown, a byte received) before
// it fails. Only a fault reaches it: a busy machine makes the wait longer, never wrong.
namespace varnoke::test {

inline constexpr int kPatienceMs = 60000;

} // namespace varnoke::test
