// The rule of each key a profile may hold: its type, its range or its
// words, nested fields too.  The rules ask the parts they describe (a
// device path of the file store, a registry path), so they stand above
// them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {
namespace key_rules {

// A refusal: the place of the value (or of its key) and what is wrong.
struct Problem {
    std::string place;
    bool at_key = false;
    std::string what;
};

using Found = std::vector<Problem>;

// One rule a key: its name and how its value is checked.  The same list,
// in the same order, is the profile's part of the usage text.
struct KeyRule {
    const char* key;
    std::function<void(const nlohmann::json& v, const std::string& place, Found*)> check;
};

// Every rule, in the order --help lists the keys.
const std::vector<KeyRule>& rules();

}  // namespace key_rules
}  // namespace sim
