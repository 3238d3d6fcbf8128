// Checks inside fuzz targets. A broken invariant aborts, so libFuzzer keeps the input that broke
// it, and the corpus replay in the test suite fails with the same message.
#pragma once
#include <cstdio>
#include <cstdlib>

namespace kt57::fuzz {

[[noreturn]] inline void checkFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

}  // namespace kt57::fuzz

#define KT57_FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::kt57::fuzz::checkFailed(#condition, __FILE__, __LINE__))
