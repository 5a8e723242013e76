#pragma once

#include <cstdio>
#include <cstdlib>

// A property that the code under the fuzzer must keep: when it does not, the target stops, and
// libFuzzer keeps the input that broke it.
inline void check(bool condition, const char *property) {
    if (condition)
        return;
    std::fprintf(stderr, "broken: %s\n", property);
    std::abort();
}
