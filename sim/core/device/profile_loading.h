// Reading a profile: every key is checked by its rule (profile_rules.h) for
// its type, its range or its words, nested ones too, and unknown keys and
// fields are refused.
#pragma once

#include <string>
#include <vector>

#include "base/profile.h"

namespace sim {

// Reads and checks the profile file (a regular file of at most 1 MiB).  On
// failure *error is one line naming the file and the line of the bad value,
// and the profile is left as it was.
bool load_profile(Profile* profile, const std::string& path, std::string* error);
// The same for text already read; `path` names it in messages.
bool load_profile_text(Profile* profile, const std::string& text, const std::string& path, std::string* error);

// Every key a profile may hold, in the order --help lists them.
std::vector<std::string> profile_keys();

// For fuzzing: reads profile bytes; "" when they are accepted, else the
// one-line error (naming "profile" and the line).
std::string check_profile_text(const std::string& bytes);

}  // namespace sim
