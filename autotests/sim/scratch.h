// What the in-process tests share: a temporary folder of their own, reading
// and writing host files, and the events of a journal file.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace simtest {

// A fresh folder under /tmp, removed with everything in it when the test
// ends.  path() is empty when the folder could not be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag) {
        std::string pattern = "/tmp/dravik-" + tag + "-XXXXXX";
        if (mkdtemp(&pattern[0])) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A host file's bytes; "" when it cannot be read.
inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write_text(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fixture file's bytes; a file that cannot be read fails the test.
inline std::vector<uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The events named `ev` in a journal file, in order; without their time
// stamps when `drop_time` is set.
inline std::vector<nlohmann::json> journal_events(const std::string& file, const char* ev, bool drop_time = false) {
    std::vector<nlohmann::json> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        nlohmann::json j = nlohmann::json::parse(line);
        if (drop_time) j.erase("t");
        if (j["ev"] == ev) out.push_back(j);
    }
    return out;
}

}  // namespace simtest
