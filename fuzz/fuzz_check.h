#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property stops the run with a message; abort() makes libFuzzer
// keep the input that broke it.
#define FUZZ_CHECK(condition, what)                                                   \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
