// A libFuzzer target for one reader of outside input, built once per
// reader with DRAVIK_READER naming it (fuzz/CMakeLists.txt).  An input on
// which the reader breaks its promise stops the fuzzer with the reason;
// a crash, a sanitizer report, a hang or runaway memory stops it anyway.
#include <cstdio>
#include <cstdlib>

#include "reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const readers::Reader* reader = readers::find(DRAVIK_READER);
    if (!reader) {
        std::fprintf(stderr, "no reader named %s\n", DRAVIK_READER);
        std::abort();
    }
    std::string problem = reader->check(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "the %s reader broke its promise: %s\n", reader->name, problem.c_str());
        std::abort();
    }
    return 0;
}
