// VERIFY(condition): the device's state checks.  Where the device changes
// what it keeps (the window list, activation and focus, the owner map, the
// registry tree, the hot-key table, the file store), it verifies what must
// hold afterwards; a broken invariant stops
// the simulator at once, in every build, with the file, the line and the
// condition on stderr, so that the stress user and the fuzzers catch a
// corrupted state where it happens rather than where it shows.
#pragma once

namespace sim {

[[noreturn]] void verification_failed(const char* condition, const char* file, int line);

}  // namespace sim

#define VERIFY(condition) \
    (static_cast<bool>(condition) ? void(0) : ::sim::verification_failed(#condition, __FILE__, __LINE__))

// VERIFY_WHOLE(condition): a check that costs a pass over a whole state
// (every pixel of the screen), made as VERIFY does in the builds without
// NDEBUG (Debug builds, the sanitizer build among them) and left out of the
// shipped one, which checks the same state by samples.
#ifdef NDEBUG
#define VERIFY_WHOLE(condition) void(0)
#else
#define VERIFY_WHOLE(condition) VERIFY(condition)
#endif
