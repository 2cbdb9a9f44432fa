// What the stress user holds the device to, checked on its own: the journal
// line, result log and Status cell checks as tables of good and broken
// cases; the checker around a user, which must stop at each broken rule on
// a live device; and the shrinking of a run to the actions that matter.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "base/clock.h"
#include "files/filestore.h"
#include "gdi/screen.h"
#include "people/invariants.h"
#include "base/journal.h"
#include "device/png.h"
#include "base/profile.h"
#include "scratch.h"
#include "people/stress_user.h"
#include "window_test_support.h"

namespace {

// ---------------------------------------------------------------- journal lines

struct JournalCase {
    const char* name;
    std::string line;
    uint64_t last_t;
    const char* problem;  // "" : the line is fine
};

class JournalLine : public ::testing::TestWithParam<JournalCase> {};

TEST_P(JournalLine, IsJudged) {
    const JournalCase& c = GetParam();
    uint64_t t = c.last_t;
    std::string problem = sim::journal_line_problem(c.line, &t);
    if (*c.problem == 0) {
        EXPECT_EQ(problem, "");
        EXPECT_GE(t, c.last_t);
    } else {
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(t, c.last_t) << "a bad line must not move the time on";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JournalLine,
    ::testing::Values(JournalCase{"first", R"({"t":0,"ev":"boot"})", 0, ""},
                      JournalCase{"same_time", R"({"t":70,"ev":"input","action":"tap"})", 70, ""},
                      JournalCase{"later", R"({"t":71,"ev":"timer"})", 70, ""},
                      JournalCase{"earlier", R"({"t":69,"ev":"timer"})", 70, "goes back in time"},
                      JournalCase{"cut_short", R"({"t":5,"ev":"bo)", 0, "not valid JSON"},
                      JournalCase{"bad_utf8", std::string("{\"t\":5,\"ev\":\"\xff\"}"), 0, "not valid JSON"},
                      JournalCase{"two_objects", R"({"t":5,"ev":"a"}{"t":6,"ev":"b"})", 0, "not valid JSON"},
                      JournalCase{"array", R"([0,"boot"])", 0, "not a JSON object"},
                      JournalCase{"no_time", R"({"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"negative_time", R"({"t":-1,"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"fractional_time", R"({"t":1.5,"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"exponent_time", R"({"t":1e3,"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"largest_time", R"({"t":18446744073709551615,"ev":"boot"})", 0, ""},
                      JournalCase{"time_past_64_bits", R"({"t":18446744073709551616,"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"last_time_counts", R"({"t":5,"ev":"boot","t":"5"})", 0, "\"t\""},
                      JournalCase{"escaped_text", R"({"t":5,"ev":"a\"b","x":"caf\u00e9 \n"})", 0, ""},
                      JournalCase{"leading_zero", R"({"t":05,"ev":"boot"})", 0, "not valid JSON"},
                      JournalCase{"time_as_text", R"({"t":"5","ev":"boot"})", 0, "\"t\""},
                      JournalCase{"time_only_nested", R"({"a":{"t":5},"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"time_as_object", R"({"t":{"t":5},"ev":"boot"})", 0, "\"t\""},
                      JournalCase{"no_event", R"({"t":5})", 0, "\"ev\""},
                      JournalCase{"event_only_nested", R"({"t":5,"a":["ev"],"x":{"ev":"boot"}})", 0, "\"ev\""},
                      JournalCase{"empty_event", R"({"t":5,"ev":""})", 0, "\"ev\""}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- result log

// The log of a run with Sound and Read/Write files passed, at 9:05:07 on
// 14 March 2004.
std::string good_log() {
    return "3/14/2004 9:5:7 \r\nDravik\r\n\r\nSelect Test\tStatus\r\n========================\r\n"
           "Sound\t\tPASS\r\nScreen Calibration\t\t?\r\nScreen Patterns\t\t?\r\nRead/Write files\t\tPASS\r\n"
           "IR Transfer\t\t?\r\nLED Notification\t\tFAIL\r\nKey Test\t\t?\r\n";
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

struct LogCase {
    const char* name;
    std::string bytes;
    const char* problem;  // "" : the layout is right
};

class ResultLogLayout : public ::testing::TestWithParam<LogCase> {};

TEST_P(ResultLogLayout, IsJudged) {
    const LogCase& c = GetParam();
    std::string problem = sim::log_layout_problem(c.bytes);
    if (*c.problem == 0)
        EXPECT_EQ(problem, "");
    else
        EXPECT_NE(problem.find(c.problem), std::string::npos) << "got: " << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResultLogLayout,
    ::testing::Values(
        LogCase{"as_written", good_log(), ""},
        LogCase{"midnight_new_year", replaced(good_log(), "3/14/2004 9:5:7 ", "1/1/2005 0:0:0 "), ""},
        LogCase{"late_evening", replaced(good_log(), "3/14/2004 9:5:7 ", "12/31/2004 23:59:59 "), ""},
        LogCase{"leading_zero", replaced(good_log(), "9:5:7", "09:05:07"), "line 1"},
        LogCase{"no_blank_after_time", replaced(good_log(), "9:5:7 \r\n", "9:5:7\r\n"), "line 1"},
        LogCase{"hour_24", replaced(good_log(), "9:5:7", "24:5:7"), "line 1"},
        LogCase{"month_13", replaced(good_log(), "3/14/", "13/14/"), "line 1"},
        LogCase{"other_title", replaced(good_log(), "Dravik\r\n", "Dravik.log\r\n"), "line 2"},
        LogCase{"no_empty_line", replaced(good_log(), "Dravik\r\n\r\n", "Dravik\r\n"), "11 lines"},
        LogCase{"header_with_blank", replaced(good_log(), "Test\tStatus", "Test Status"), "line 4"},
        LogCase{"short_rule", replaced(good_log(), "========================", "======================="),
                "line 5"},
        LogCase{"padded_question_mark", replaced(good_log(), "Calibration\t\t?", "Calibration\t\t?      "),
                "line 7"},
        LogCase{"one_tab", replaced(good_log(), "Sound\t\tPASS", "Sound\tPASS"), "line 6"},
        LogCase{"other_word", replaced(good_log(), "Key Test\t\t?", "Key Test\t\tOK"), "line 12"},
        LogCase{"tests_swapped", replaced(replaced(good_log(), "IR Transfer", "@@"), "LED Notification", "IR Transfer"),
                "line 10"},
        LogCase{"unix_line_ends", replaced(good_log(), "Dravik\r\n", "Dravik\n"), "lone CR or LF"},
        LogCase{"last_line_open", good_log().substr(0, good_log().size() - 2), "CR LF"},
        LogCase{"extra_line", good_log() + "\r\n", "13 lines"},
        LogCase{"zero_byte", replaced(good_log(), "Dravik\r\n", std::string("Dravik\0\r\n", 9)), "zero byte"},
        LogCase{"empty", "", "CR LF"},
        LogCase{"cut_after_header", good_log().substr(0, good_log().find("Sound")), "5 lines"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- Status cells

struct CellCase {
    const char* text;
    bool ok;
};

TEST(StatusCell, OnlyPassFailOrQuestionMark) {
    const CellCase cases[] = {
        {"PASS", true},  {"FAIL", true},  {"?                      ", true}, {"?", true},
        {"", false},     {"PAS", false},  {"pass", false},                   {"?x", false},
        {"PASS FAIL", false}, {"Start", false},
    };
    for (const CellCase& c : cases) EXPECT_EQ(sim::status_cell_ok(c.text), c.ok) << '"' << c.text << '"';
}

// ---------------------------------------------------------------- shrinking

using Actions = std::vector<std::string>;

// True when `needed` appear in `actions` in this order.
bool in_order(const Actions& actions, const Actions& needed) {
    size_t i = 0;
    for (const auto& a : actions)
        if (i < needed.size() && a == needed[i]) ++i;
    return i == needed.size();
}

struct ShrinkCase {
    const char* name;
    Actions run;
    Actions needed;  // the violation shows when these are done in this order
};

class Shrinking : public ::testing::TestWithParam<ShrinkCase> {};

TEST_P(Shrinking, KeepsExactlyWhatTheViolationNeeds) {
    const ShrinkCase& c = GetParam();
    int calls = 0;
    auto shows = [&](const Actions& a) {
        ++calls;
        return in_order(a, c.needed);
    };
    Actions shortest = sim::shrink_actions(c.run, shows, 10000);
    EXPECT_EQ(shortest, c.needed);
    // Without any one of them, it would not show.
    for (size_t i = 0; i < shortest.size(); ++i) {
        Actions less = shortest;
        less.erase(less.begin() + long(i));
        EXPECT_FALSE(in_order(less, c.needed));
    }
    EXPECT_LE(calls, int(c.run.size() * c.run.size() + 2)) << "shrinking should not try every subset";
}

Actions numbered(int n) {
    Actions a;
    for (int i = 0; i < n; ++i) a.push_back("wait " + std::to_string(i));
    return a;
}

Actions with(Actions a, std::initializer_list<std::pair<int, const char*>> put) {
    for (auto& [at, what] : put) a[size_t(at)] = what;
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Shrinking,
    ::testing::Values(ShrinkCase{"one_action", with(numbered(40), {{17, "press 193"}}), {"press 193"}},
                      ShrinkCase{"first_and_last", with(numbered(33), {{0, "launch"}, {32, "caption-ok"}}),
                                 {"launch", "caption-ok"}},
                      ShrinkCase{"order_matters",
                                 with(numbered(50), {{3, "press 193"}, {10, "launch"}, {40, "press 193"}}),
                                 {"launch", "press 193"}},
                      ShrinkCase{"three_spread", with(numbered(101), {{5, "tap 1 1"}, {50, "tap 2 2"}, {99, "tap 3 3"}}),
                                 {"tap 1 1", "tap 2 2", "tap 3 3"}},
                      ShrinkCase{"nothing_needed", numbered(12), {}},
                      ShrinkCase{"everything_needed", {"tap 1 1", "tap 2 2", "tap 3 3"}, {"tap 1 1", "tap 2 2", "tap 3 3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShrinkingBudget, StopsAtTheBoundWithAListThatStillShows) {
    Actions run = with(numbered(64), {{7, "launch"}, {60, "press 193"}});
    for (int bound : {0, 1, 3, 10}) {
        int calls = 0;
        auto shows = [&](const Actions& a) {
            ++calls;
            return in_order(a, {"launch", "press 193"});
        };
        Actions got = sim::shrink_actions(run, shows, bound);
        EXPECT_LE(calls, bound);
        EXPECT_TRUE(in_order(got, {"launch", "press 193"})) << "bound " << bound;
    }
}

// ---------------------------------------------------------------- the stress user's dice

TEST(StressDice, SameSeedSameNumbersAndAlwaysBelowTheBound) {
    for (uint64_t seed : {0ull, 1ull, 2ull, 0xFFFFFFFFFFFFFFFFull}) {
        sim::StressChooser a(seed, 0, nullptr), b(seed, 0, nullptr), other(seed + 1, 0, nullptr);
        int differ = 0;
        for (uint64_t n : {1ull, 2ull, 3ull, 14ull, 240ull, 320ull, 1000000007ull}) {
            for (int i = 0; i < 50; ++i) {
                uint64_t x = a.below(n);
                EXPECT_EQ(x, b.below(n));
                EXPECT_LT(x, n);
                differ += x != other.below(n);
            }
        }
        EXPECT_GT(differ, 100) << "another seed must give other numbers";
    }
}

TEST(StressTable, EveryRowCanBeChosenAndIsDescribed) {
    const auto& rows = sim::StressChooser::table();
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        EXPECT_GT(row.weight, 0) << row.what;
        EXPECT_NE(std::string(row.what), "");
        EXPECT_NE(row.possible, nullptr);
        EXPECT_NE(row.make, nullptr);
    }
}

// The person looks for the calibration target's stroke: a run of 39 to 43
// black pixels with black 6 rows above or below its middle, the first from
// the top, then from the left; taps land on its middle or beside it.
struct StrokeCase {
    const char* name;
    std::vector<std::array<int, 3>> runs;  // x, y, length of black runs (the mark 6 rows below each middle)
    bool found;
    int x, y;  // the middle expected
};

void PrintTo(const StrokeCase& c, std::ostream* os) { *os << c.name; }

class TargetStroke : public ::testing::TestWithParam<StrokeCase> {};

TEST_P(TargetStroke, IsFoundWhereAPersonSeesIt) {
    const StrokeCase& c = GetParam();
    sim::Framebuffer& fb = sim::framebuffer();
    for (auto& row : fb.pixels) std::fill(std::begin(row), std::end(row), uint16_t(0xFFFF));
    for (auto [x, y, length] : c.runs) {
        std::fill(&fb.pixels[y][x], &fb.pixels[y][x] + length, uint16_t(0));
        fb.pixels[y + 6][x + length / 2] = 0;
    }
    const sim::StressChooser::Row* row = nullptr;
    for (const auto& r : sim::StressChooser::table())
        if (std::string(r.what).find("Calibration target") != std::string::npos) row = &r;
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->possible(), c.found);
    if (c.found) {
        sim::StressChooser chooser(5, 0, nullptr);
        for (int i = 0; i < 20; ++i) {
            int x = -1, y = -1;
            ASSERT_EQ(std::sscanf(row->make(chooser).c_str(), "tap %d %d", &x, &y), 2);
            EXPECT_LE(std::abs(x - c.x), 12);
            EXPECT_LE(std::abs(y - c.y), 12);
        }
    }
    for (auto& row : fb.pixels) std::fill(std::begin(row), std::end(row), uint16_t(0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetStroke,
    ::testing::Values(StrokeCase{"stroke_of_41", {{100, 150, 41}}, true, 120, 150},
                      StrokeCase{"shortest", {{101, 150, 39}}, true, 120, 150},
                      StrokeCase{"longest", {{102, 150, 43}}, true, 123, 150},
                      StrokeCase{"too_short", {{103, 150, 38}}, false, 0, 0},
                      StrokeCase{"too_long", {{100, 150, 44}}, false, 0, 0},
                      StrokeCase{"at_the_left_edge", {{0, 200, 40}}, true, 20, 200},
                      StrokeCase{"at_the_right_edge", {{199, 200, 41}}, true, 219, 200},
                      StrokeCase{"a_line_across_then_a_stroke", {{0, 60, 240}, {57, 90, 42}}, true, 78, 90},
                      StrokeCase{"the_upper_of_two", {{150, 100, 41}, {10, 100 + 40, 41}}, true, 170, 100},
                      StrokeCase{"the_left_of_two_in_a_row", {{160, 100, 41}, {10, 100, 41}}, true, 30, 100},
                      StrokeCase{"under_the_task_bar_only", {{100, 10, 41}}, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the checker on a live device

struct Reported {
    sim::Violation v;
};

// A user who only counts how often the device was handed to them.
class CountingUser : public sim::Person {
public:
    explicit CountingUser(int* turns) : turns_(turns) {}
    void idle(std::optional<uint64_t>) override { ++*turns_; }

private:
    int* turns_;
};

LRESULT CALLBACK plain_proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

class Checker : public wintest::WindowTest {
public:
    void pass(uint64_t ms) { sim::clock().pass(ms); }

    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_FALSE(dir_.path().empty());
        journal_path_ = dir_.path() + "/journal.jsonl";
        std::string error;
        ASSERT_TRUE(sim::journal().open(journal_path_, &error)) << error;
        std::filesystem::create_directories(dir_.path() + "/store/My Documents");
        old_root_ = sim::file_store().root();
        sim::file_store().set_root(dir_.path() + "/store");
        WNDCLASSW wc{};
        wc.lpfnWndProc = plain_proc;
        wc.lpszClassName = u"Dravik";
        RegisterClassW(&wc);
        settings_.journal_path = journal_path_;
        settings_.busy_limit_ms = 1000;
        settings_.flood_limit_lines = 50;
        settings_.hang_seconds = 0;  // no watchdog thread unless a test wants one
        settings_.report = [](const sim::Violation& v) { throw Reported{v}; };
    }
    void TearDown() override {
        sim::journal().close();
        sim::file_store().set_root(old_root_);
        sim::profile().load_json(nlohmann::json::object());
        WindowTest::TearDown();
    }

    std::unique_ptr<sim::CheckingUser> checker() {
        return std::make_unique<sim::CheckingUser>(std::make_unique<CountingUser>(&turns_), settings_);
    }
    // The kind of violation the next wait for input shows; "" when none.
    std::string next_wait(sim::CheckingUser& c) {
        try {
            c.idle(std::nullopt);
        } catch (const Reported& r) {
            what_ = r.v.what;
            return r.v.kind;
        }
        return "";
    }
    HWND main_window() {
        HWND main = CreateWindowExW(0, u"Dravik", u"Dravik", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr, nullptr,
                                    nullptr);
        CreateWindowExW(0, u"button", u"Sound", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 4, 62, 150, 20, main,
                        reinterpret_cast<HMENU>(1000), nullptr, nullptr);
        return main;
    }
    void write_log(const std::string& bytes) {
        std::ofstream(dir_.path() + "/store/My Documents/Dravik.txt", std::ios::binary) << bytes;
        sim::log_event("file", {{"op", "close"}, {"path", "\\My Documents\\Dravik.txt"}, {"ok", true}});
    }

    simtest::ScratchDir dir_{"checker"};
    std::string journal_path_, old_root_;
    sim::CheckSettings settings_;
    int turns_ = 0;
    std::string what_;
};

TEST_F(Checker, AWellBehavedDeviceGoesStraightToTheUser) {
    auto c = checker();
    EXPECT_EQ(next_wait(*c), "") << what_;
    main_window();
    sim::log_event("text", {{"window", "Dravik"}, {"text", "PASS"}, {"rect", {170, 62, 240, 82}}});
    sim::log_event("text", {{"window", "Dravik"}, {"text", "?                      "}, {"rect", {170, 62, 240, 82}}});
    write_log(good_log());
    for (int i = 0; i < 40; ++i) sim::log_event("draw", {{"op", "polyline"}});
    sim::clock().pass(1000);
    EXPECT_EQ(next_wait(*c), "") << what_;
    EXPECT_EQ(next_wait(*c), "") << what_;
    EXPECT_EQ(turns_, 3);
}

// One broken rule, done after the user's first turn.
struct BrokenRule {
    const char* kind;
    std::function<void(Checker&)> break_it;
};

class CheckerRule : public Checker, public ::testing::WithParamInterface<BrokenRule> {};

TEST_P(CheckerRule, StopsTheRunBeforeTheUserActsAgain) {
    auto c = checker();
    sim::log_event("boot");
    sim::clock().pass(5);
    ASSERT_EQ(next_wait(*c), "") << what_;
    std::string kind;
    try {
        GetParam().break_it(*this);  // a flood is seen as it happens
        kind = next_wait(*c);
    } catch (const Reported& r) {
        kind = r.v.kind;
        what_ = r.v.what;
    }
    EXPECT_EQ(kind, GetParam().kind) << what_;
    EXPECT_EQ(turns_, 1) << "the user must not act after a violation";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CheckerRule,
    ::testing::Values(
        BrokenRule{"busy", [](Checker& t) { t.pass(1001); }},
        BrokenRule{"flood",
                   [](Checker&) {
                       for (int i = 0; i < 51; ++i) sim::log_event("draw", {{"op", "polyline"}});
                   }},
        BrokenRule{"windows",
                   [](Checker& t) {
                       t.main_window();
                       t.main_window();
                   }},
        BrokenRule{"status",
                   [](Checker& t) {
                       t.main_window();
                       sim::log_event("text", {{"window", "Dravik"}, {"text", "Passed"}, {"rect", {170, 62, 240, 82}}});
                   }},
        BrokenRule{"log", [](Checker& t) { t.write_log(replaced(good_log(), "Sound\t\tPASS", "Sound\t\tDONE")); }},
        BrokenRule{"screenshot",
                   [](Checker& t) {
                       // A picture that is not the screen: all red.
                       std::vector<uint8_t> red(240 * 320 * 3, 0);
                       for (size_t i = 0; i < red.size(); i += 3) red[i] = 255;
                       std::string path = t.dir_.path() + "/shot.png", error;
                       ASSERT_TRUE(sim::write_rgb_png(path, 240, 320, red, &error)) << error;
                       sim::log_event("screenshot", {{"file", path}, {"ok", true}});
                   }},
        BrokenRule{"journal",
                   [](Checker& t) {
                       sim::log_event("timer", {{"op", "set"}});  // at 5 ms
                       std::ofstream(t.journal_path_, std::ios::app) << "{\"t\":0,\"ev\":\"late\"}\n";
                   }}),
    [](const auto& info) { return std::string(info.param.kind); });

TEST_F(Checker, ALogTheProfileBreaksOnPurposeIsNotHeldAgainstTheProgram) {
    auto c = checker();
    sim::profile().load_json({{"file_faults", {{"\\My Documents\\Dravik.txt", "write"}}}});
    write_log("3/14/2004 9:5:7 \r\nDra");
    EXPECT_EQ(next_wait(*c), "") << what_;
}

TEST_F(Checker, AStateFolderThatNoLongerLoadsAfterAPowerCycleIsAViolation) {
    auto c = checker();
    c->state_folder_reloaded(true, "");
    try {
        c->state_folder_reloaded(false, "/x/registry.reg:3: a line outside any key");
        ADD_FAILURE() << "not reported";
    } catch (const Reported& r) {
        EXPECT_EQ(r.v.kind, "state-folder");
        EXPECT_NE(r.v.what.find("registry.reg:3"), std::string::npos) << r.v.what;
    }
}

TEST_F(Checker, TheViolationNamesTheLineOfTheLastAction) {
    auto c = checker();
    ASSERT_EQ(next_wait(*c), "");
    sim::log_event("input", {{"action", "tap"}, {"x", 1}, {"y", 2}, {"line", 17}});
    sim::clock().pass(5000);
    try {
        c->idle(std::nullopt);
        ADD_FAILURE() << "not reported";
    } catch (const Reported& r) {
        EXPECT_EQ(r.v.kind, "busy");
        EXPECT_EQ(r.v.line, 17);
    }
}

TEST(CheckerWatchdog, AProgramThatNeverWaitsAgainIsAHang) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            sim::CheckSettings s;
            s.hang_seconds = 1;
            s.report = [](const sim::Violation& v) {
                fprintf(stderr, "[%s] %s\n", v.kind.c_str(), v.what.c_str());
                std::_Exit(1);
            };
            int turns = 0;
            sim::CheckingUser c(std::make_unique<CountingUser>(&turns), s);
            c.idle(std::nullopt);
            sleep(5);  // the program runs on and on
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1), "\\[hang\\]");
}

}  // namespace
