// Every start of a program gets its module's memory as a fresh load leaves
// it, whether the module stays loaded between starts (plain data) or is
// loaded again (a global with a constructor), and starts that run at the
// same time have globals of their own.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "kernel/module_copy.h"

namespace {

struct Module {
    const char* name;
    std::string file;
};

void PrintTo(const Module& m, std::ostream* os) { *os << m.name; }

class ModuleCopies : public ::testing::TestWithParam<Module> {
protected:
    template <typename F>
    static F* function(const sim::ModuleCopy& copy, const char* name) {
        return reinterpret_cast<F*>(dlsym(copy.dl, name));
    }
};

TEST_P(ModuleCopies, EveryStartHasTheMemoryAFreshLoadGives) {
    const std::string& file = GetParam().file;
    for (int start = 0; start < 4; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        sim::ModuleCopy copy = sim::load_module_copy(file);
        ASSERT_NE(copy.dl, nullptr);
        EXPECT_EQ(function<int()>(copy, "as_loaded")(), 1);
        EXPECT_EQ(function<int()>(copy, "next_count")(), 1);
        EXPECT_EQ(function<int()>(copy, "next_count")(), 2);
        function<void()>(copy, "spoil_label")();
        EXPECT_EQ(function<int()>(copy, "as_loaded")(), 0);
        sim::unload_module_copy(copy);
        EXPECT_EQ(copy.dl, nullptr);
    }
}

TEST_P(ModuleCopies, StartsRunningTogetherHaveGlobalsOfTheirOwn) {
    const std::string& file = GetParam().file;
    sim::ModuleCopy first = sim::load_module_copy(file);
    ASSERT_NE(first.dl, nullptr);
    EXPECT_EQ(function<int()>(first, "next_count")(), 1);
    sim::ModuleCopy second = sim::load_module_copy(file);
    ASSERT_NE(second.dl, nullptr);
    EXPECT_NE(second.dl, first.dl);
    EXPECT_EQ(function<int()>(second, "next_count")(), 1);
    EXPECT_EQ(function<int()>(first, "next_count")(), 2);
    sim::unload_module_copy(first);
    // The first's copy is handed to the next start, fresh; the second runs on.
    sim::ModuleCopy third = sim::load_module_copy(file);
    ASSERT_NE(third.dl, nullptr);
    EXPECT_EQ(function<int()>(third, "next_count")(), 1);
    EXPECT_EQ(function<int()>(second, "next_count")(), 2);
    sim::unload_module_copy(third);
    sim::unload_module_copy(second);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ModuleCopies,
                         ::testing::Values(Module{"plain", DRAVIK_TEST_MODULES_DIR "/globals_plain.so"},
                                           Module{"constructed", DRAVIK_TEST_MODULES_DIR "/globals_constructed.so"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
