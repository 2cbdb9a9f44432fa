#include "base/verify.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

void verification_failed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "VERIFICATION FAILED: %s at %s:%d\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

}  // namespace sim
