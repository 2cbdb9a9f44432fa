// Every script in examples/ is a check as well as a demonstration: each
// states what the device shows with its expect- lines, and run as a suite
// (dravik-sim --check examples, each on a device fresh from the factory)
// all of them hold.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "device/harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::ProcessResult;
using devtest::read_file;

using Examples = devtest::SimRun;

TEST_F(Examples, EveryExampleHoldsRunAsASuite) {
    // A copy, so that a failing expect-screen writes its pictures here.
    fs::copy(std::string(DRAVIK_SOURCE_DIR) + "/examples", dir() + "/examples", fs::copy_options::recursive);
    std::vector<std::string> scripts;
    for (const auto& e : fs::directory_iterator(dir() + "/examples"))
        if (e.path().extension() == ".txt") scripts.push_back("examples/" + e.path().filename().string());
    std::sort(scripts.begin(), scripts.end());
    ASSERT_FALSE(scripts.empty());
    for (const auto& s : scripts)
        EXPECT_NE(read_file(dir() + "/" + s).find("\nexpect-"), std::string::npos) << s << " states nothing it shows";

    ProcessResult r = run_with({"--check", "examples"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), scripts.size() + 1) << r.out;
    for (size_t i = 0; i < scripts.size(); ++i)
        EXPECT_EQ(lines[i].rfind("held          " + scripts[i] + "  (", 0), 0u) << lines[i];
    EXPECT_EQ(lines.back(), std::to_string(scripts.size()) + " passed, 0 failed");
}

}  // namespace
