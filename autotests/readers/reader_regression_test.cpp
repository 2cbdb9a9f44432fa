// Every input that ever made a reader of outside input crash, hang or
// break its promise is kept in fuzz/regressions/READER/ and read again
// here, with the same checks the fuzz targets make; so are the fuzzers'
// seeds in fuzz/corpus/READER/.  Under the sanitizer build this also
// catches reads outside an input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reader_checks.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> files_in(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class EveryInputThatUpsetIt : public ::testing::TestWithParam<const readers::Reader*> {};

TEST_P(EveryInputThatUpsetIt, IsReadAsPromised) {
    const readers::Reader& reader = *GetParam();
    for (const char* folder : {"regressions", "corpus"}) {
        for (const fs::path& file : files_in(fs::path(DRAVIK_FUZZ_DIR) / folder / reader.name)) {
            std::string bytes = bytes_of(file);
            std::string problem = reader.check(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            EXPECT_EQ(problem, "") << file.string();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, EveryInputThatUpsetIt, ::testing::ValuesIn([] {
                             std::vector<const readers::Reader*> all;
                             for (const auto& r : readers::all()) all.push_back(&r);
                             return all;
                         }()),
                         [](const auto& info) { return std::string(info.param->name); });

// A folder named after no reader would never be read again.
TEST(RegressionFolders, EachNamesAReader) {
    for (const char* folder : {"regressions", "corpus"}) {
        std::error_code ec;
        fs::path dir = fs::path(DRAVIK_FUZZ_DIR) / folder;
        if (!fs::is_directory(dir, ec)) continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_directory()) {
                EXPECT_NE(readers::find(e.path().filename().string()), nullptr) << e.path();
            }
    }
}

}  // namespace
