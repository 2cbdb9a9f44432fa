// What each reader of outside input promises, checked on one input: it
// accepts the input, or refuses it with one line that names where the
// fault is; it never crashes, never reads outside the input, never hangs
// and never takes memory without bound.  An accepted input must also work:
// what the reader built is used the way the device uses it.
//
// The fuzz targets (fuzz_target.cpp) run these checks on generated inputs;
// the regression test runs them on every input in fuzz/regressions/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace readers {

struct Reader {
    const char* name;  // as in fuzz/corpus/NAME, fuzz/regressions/NAME and fuzz_NAME
    const char* what;  // the input it reads
    // "" when the reader kept its promise on this input, else what broke it.
    std::string (*check)(const uint8_t* data, size_t size);
};

const std::vector<Reader>& all();
const Reader* find(const std::string& name);

}  // namespace readers
