#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Every target is a libFuzzer entry point; the replay driver calls the same
// functions, so a saved input means the same thing to both.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

// A broken invariant must stop the run the way a sanitizer does, so that the
// fuzzer saves the input and the replay fails.
[[noreturn]] inline void FuzzFail(const char *What, const char *Detail = "")
{
    std::fprintf(stderr, "invariant broken: %s %s\n", What, Detail);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, ...) \
    do {                           \
        if (!(condition))          \
            FuzzFail(#condition __VA_OPT__(, ) __VA_ARGS__); \
    } while (false)
