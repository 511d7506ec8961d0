// What the fuzz targets share: a broken expectation ends the run like a
// crash, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_EXPECT(condition) ((condition) ? static_cast<void>(0) : vlfuzz::Fail(#condition, __FILE__, __LINE__))

namespace vlfuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, what);
    std::abort();
}

inline std::string_view AsText(const unsigned char* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace vlfuzz
