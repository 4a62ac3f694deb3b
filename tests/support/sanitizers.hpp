#pragma once

// Which sanitizer the tests were built with, for the few tests whose measure
// (address-space limits, peak memory) a sanitizer's own memory changes.

namespace nongauss::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool address_sanitizer = true;
#else
inline constexpr bool address_sanitizer = false;
#endif
#else
inline constexpr bool address_sanitizer = false;
#endif

#if defined(__SANITIZE_THREAD__)
inline constexpr bool thread_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool thread_sanitizer = true;
#else
inline constexpr bool thread_sanitizer = false;
#endif
#else
inline constexpr bool thread_sanitizer = false;
#endif

}  // namespace nongauss::testing
