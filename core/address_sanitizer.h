// TALIX_ADDRESS_SANITIZER is defined when the code is compiled with the
// address sanitizer, by either compiler: GCC says so with
// __SANITIZE_ADDRESS__, clang only through __has_feature. Code that lets the
// sanitizer see each block (no pooling) or announces its stack switches
// tests this macro.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define TALIX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALIX_ADDRESS_SANITIZER 1
#endif
#endif
