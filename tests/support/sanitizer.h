#pragma once
// Whether the tests run under AddressSanitizer. Its operator new ends the program when an
// allocation fails, where a user's build throws std::bad_alloc, so a memory limit met
// there cannot be seen the way the program sees it.

namespace varnoke::test {

#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

inline constexpr const char* kNoMemoryLimitUnderSanitizer =
    "AddressSanitizer ends the program when operator new fails";

} // namespace varnoke::test
