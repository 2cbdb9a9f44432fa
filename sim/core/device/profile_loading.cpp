// Reading a profile: the JSON text, its lines, and every key checked by its
// rule (profile_rules.h).
#include "device/profile_loading.h"

#include "base/host_file.h"
#include "base/text.h"
#include "device/json_lines.h"
#include "device/profile_rules.h"

namespace sim {

std::vector<std::string> profile_keys() {
    std::vector<std::string> out;
    for (auto& r : key_rules::rules()) out.push_back(r.key);
    return out;
}

bool load_profile(Profile* profile, const std::string& path, std::string* error) {
    std::string text, why;
    if (!read_host_file(path, kMaxProfileBytes, Links::Follow, &text, &why)) {
        *error = path + ":1: cannot read the profile: " + why;
        return false;
    }
    return load_profile_text(profile, text, path, error);
}

bool load_profile_text(Profile* profile, const std::string& text, const std::string& path,
                       std::string* error) {
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        *error = one_line(path + ":" + std::to_string(line_of_offset(text, e.byte ? e.byte - 1 : 0)),
                          std::string("not valid JSON: ") + e.what());
        return false;
    } catch (const nlohmann::json::out_of_range& e) {
        // A number beyond any double ("1e400"): the reader names the token,
        // which shows where it stands.
        std::string what = e.what();
        size_t open = what.find('\''), close = what.rfind('\'');
        size_t at = open != std::string::npos && close > open ? text.find(what.substr(open + 1, close - open - 1))
                                                              : std::string::npos;
        *error = one_line(path + ":" + std::to_string(line_of_offset(text, at == std::string::npos ? 0 : at)),
                          "a number too large for any setting");
        return false;
    }
    if (!j.is_object()) {
        *error = path + ":1: a profile is a JSON object of settings";
        return false;
    }
    JsonLines lines;
    lines.scan(text);
    if (!lines.twice().empty()) {
        *error = one_line(path + ":" + std::to_string(lines.twice_line()),
                          "\"" + lines.twice().substr(1) + "\" is given twice");
        return false;
    }
    // Every problem is found; the one nearest the top of the file is told.
    key_rules::Found found;
    for (auto it = j.begin(); it != j.end(); ++it) {
        std::string place = "/" + it.key();
        const key_rules::KeyRule* rule = nullptr;
        for (auto& r : key_rules::rules())
            if (it.key() == r.key) rule = &r;
        if (rule) {
            rule->check(it.value(), place, &found);
            continue;
        }
        std::vector<std::string> known;
        for (auto& r : key_rules::rules()) known.push_back(r.key);
        found.push_back({place, true, "unknown profile key \"" + it.key() + "\"" + did_you_mean(it.key(), known) +
                                          " (see dravik-sim --help)"});
    }
    if (!found.empty()) {
        const key_rules::Problem* first = nullptr;
        int first_line = 0;
        for (auto& p : found) {
            int line = p.at_key ? lines.key_line(p.place) : lines.value_line(p.place);
            if (!first || line < first_line) {
                first = &p;
                first_line = line;
            }
        }
        *error = one_line(path + ":" + std::to_string(first_line), first->what);
        return false;
    }
    profile->accept(j, path);
    return true;
}

std::string check_profile_text(const std::string& bytes) {
    Profile p;
    std::string error;
    return load_profile_text(&p, bytes, "profile", &error) ? std::string() : error;
}

}  // namespace sim
