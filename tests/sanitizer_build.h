#pragma once

// AddressSanitizer replaces the allocator and keeps freed blocks in
// quarantine, so what the allocator or the kernel says of memory means
// nothing in its build; tests skip their memory figures there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif
