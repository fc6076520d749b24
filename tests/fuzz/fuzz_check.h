#pragma once
// What every fuzz target asserts with: a broken promise aborts, so libFuzzer keeps the input.

#include <cstdlib>

inline void Check(bool ok) {
    if (!ok)
        std::abort();
}
