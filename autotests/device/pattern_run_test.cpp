// The Screen Patterns test on the simulated device: 151 passes straight
// into the display memory with nothing in between, each frame on the
// panel as the display's format shows it, the verdict from the counted
// passes, and the screen restore after.
//
// Pass numbers are GXBeginDraw calls since power-on: 1 the opening white
// fill, 2-31 blue, 32-61 white, 62-91 vertical bars, 92-121 horizontal
// bars, 122-151 random columns.
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device/screen_tests_support.h"

namespace {

using devtest::EventPattern;
using devtest::Image;
using devtest::json;
using devtest::JournalLog;
using devtest::Rgb;
using namespace runpath;
using namespace screentest;

const int kOpening = 1, kLastBlue = 31, kLastWhite = 61, kFirstVertical = 62, kFirstHorizontal = 92,
          kLastRandom = 151;

const uint16_t kBars16[6] = {0xF800, 0x1FE0, 0x00FF, 0x0000, 0xFFFF, 0x38E7};
const uint8_t kBars8[6] = {0xE0, 0x18, 0x0F, 0xF8, 0xEF, 0xFF};

// Which bar row y of a 320-row frame lies in: five bars of 53 rows, the
// last of 55.
int horizontal_bar(int y) { return y < 265 ? y / 53 : 5; }

// How a frame should look: the screenshot's colour at (x, y).
using Picture = std::function<Rgb(int x, int y)>;

::testing::AssertionResult shows(const Image& img, const Picture& expected) {
    if (img.empty()) return ::testing::AssertionFailure() << "no screenshot";
    int wrong = 0;
    std::string report;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 240; ++x) {
            Rgb got = img.pixel(x, y), want = expected(x, y);
            if (got != want && wrong++ < 4) {
                std::ostringstream s;
                s << " (" << x << "," << y << ") is " << got << " not " << want << ";";
                report += s.str();
            }
        }
    if (!wrong) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << report;
}

// Every column in one colour, and the columns not all alike.
::testing::AssertionResult random_columns(const Image& img) {
    if (img.empty()) return ::testing::AssertionFailure() << "no screenshot";
    std::set<std::string> colours;
    for (int x = 0; x < 240; ++x) {
        Rgb top = img.pixel(x, 0);
        for (int y = 1; y < 320; ++y)
            if (img.pixel(x, y) != top)
                return ::testing::AssertionFailure() << "column " << x << " changes colour at y " << y;
        std::ostringstream s;
        s << top;
        colours.insert(s.str());
    }
    if (colours.size() < 100) return ::testing::AssertionFailure() << "only " << colours.size() << " colours";
    return ::testing::AssertionSuccess();
}

std::string frame_shots(std::initializer_list<int> calls) {
    std::string s;
    for (int c : calls) s += "screenshot-frame " + std::to_string(c) + " f" + std::to_string(c) + ".png\n";
    return s;
}

// The Pattern cell as the repaint at the end of the run draws it.
std::string pattern_status(const JournalLog& log) { return status_cells(log)[2]; }

class Patterns : public RunPathSim {};

// On the device's own 5-6-5 panel: each pattern as the Part draws it, one
// pass after another with nothing in between, then the restore and PASS.
TEST_F(Patterns, HealthyPanelShowsEveryPatternAndPasses) {
    std::string start = run_only({IDC_PATTERN_BOX});
    boot(frame_shots({kOpening, kLastBlue, kLastWhite, kFirstVertical, kFirstHorizontal, kLastRandom}) + start +
         "wait 100\nscreenshot after.png\n" + click(IDC_NEXT_FINISH) + "answer yes\nwait 100\n");
    JournalLog log = journal();

    // The display opened once for the main window, the opening pass, the
    // pause, then 150 passes back to back.
    int opened = log.find("gx", {{"op", "open"}});
    ASSERT_GE(opened, 0) << log.dump();
    EXPECT_TRUE(JournalLog(std::vector<json>{log[opened]}).in_order({{"gx", {{"flags", 1}, {"ok", true}, {"window", "Dravik"}}}}));
    EXPECT_TRUE(slice(log, opened).in_order({{"gx", {{"op", "begin"}, {"call", 1}, {"ok", true}}},
                                             {"gx", {{"op", "end"}, {"call", 1}}},
                                             {"sleep", {{"ms", 10}}},
                                             {"gx", {{"op", "begin"}, {"call", 2}}}}));
    EXPECT_EQ(log.count("gx", {{"op", "open"}}), 1);
    EXPECT_EQ(log.count("gx", {{"op", "close"}}), 0) << "the display stays open";
    EXPECT_EQ(log.count("gx", {{"op", "begin"}, {"ok", true}}), 151);
    EXPECT_EQ(log.count("gx", {{"op", "end"}, {"ok", true}}), 151);
    int second = log.find("gx", {{"op", "begin"}, {"call", 2}});
    int last = log.find("gx", {{"op", "end"}, {"call", kLastRandom}});
    ASSERT_LT(second, last);
    for (int i = second; i < last; ++i)
        EXPECT_TRUE(log[i]["ev"] == "gx" || log[i]["ev"] == "screenshot") << "between the passes: " << log[i].dump();
    EXPECT_TRUE(slice(log, last).in_order({{"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                                           {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
                                           {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                                           {"enable", {{"id", IDC_NEXT_FINISH}, {"enabled", true}}}}));
    EXPECT_EQ(pattern_status(log), "PASS");
    auto saved = store_file(kLogPath);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("Screen Patterns\t\tPASS\r\n"), std::string::npos) << *saved;

    auto solid = [](Rgb c) { return Picture([c](int, int) { return c; }); };
    EXPECT_TRUE(shows(screenshot("f1.png"), solid(kWhite)));
    EXPECT_TRUE(shows(screenshot("f31.png"), solid(rgb_of_565(0x00FF))));
    EXPECT_TRUE(shows(screenshot("f61.png"), solid(kWhite)));
    EXPECT_TRUE(shows(screenshot("f62.png"), [](int x, int) { return rgb_of_565(kBars16[x / 40]); }));
    EXPECT_TRUE(shows(screenshot("f92.png"), [](int, int y) { return rgb_of_565(kBars16[horizontal_bar(y)]); }));
    EXPECT_TRUE(random_columns(screenshot("f151.png")));
    // The restore brings the panel back over the last frame.
    Image after = screenshot("after.png");
    ASSERT_FALSE(after.empty());
    EXPECT_GT(count_where(after, is_title_blue, 0, 26, 120, 50), 10);
}

// A pass that cannot have the display memory returns at once (no
// GXEndDraw), and the passes after it are drawn all the same.  It fails the
// test in any of the 150 counted passes, blue ones included; only the
// opening fill does not count.  No box is shown; the log records the
// verdict as the Status column does.
TEST_F(Patterns, FailingBeginDrawFailsInEveryCountedPass) {
    const struct {
        const char* what;
        std::vector<int> failing;
        const char* status;
    } cases[] = {
        {"the opening fill", {1}, "PASS"},
        {"the first blue pass", {2}, "FAIL"},
        {"a blue pass in the middle", {16}, "FAIL"},
        {"the first 29 blue passes", {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                      17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30}, "FAIL"},
        {"the opening fill and the first blue pass", {1, 2}, "FAIL"},
        {"the 30th blue pass", {31}, "FAIL"},
        {"the first white pass", {32}, "FAIL"},
        {"the last white pass", {61}, "FAIL"},
        {"a vertical bars pass", {62}, "FAIL"},
        {"a horizontal bars pass", {121}, "FAIL"},
        {"the first random pass", {122}, "FAIL"},
        {"the very last pass", {151}, "FAIL"},
        {"a call after the test", {152}, "PASS"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(run_only({IDC_PATTERN_BOX}) + "wait 100\n" + click(IDC_NEXT_FINISH) + "answer yes\nwait 100\n",
             {{"begin_draw_fails", c.failing}});
        JournalLog log = journal();
        int failing = 0;
        for (int call : c.failing) {
            if (call > kLastRandom) continue;
            ++failing;
            EXPECT_EQ(log.count("gx", {{"op", "begin"}, {"call", call}, {"ok", false}}), 1) << call;
            EXPECT_EQ(log.count("gx", {{"op", "end"}, {"call", call}}), 0) << call;
        }
        EXPECT_EQ(log.count("gx", {{"op", "begin"}}), kLastRandom) << "every pass is tried";
        EXPECT_EQ(log.count("gx", {{"op", "end"}, {"ok", true}}), kLastRandom - failing);
        EXPECT_EQ(pattern_status(log), c.status);
        auto saved = store_file(kLogPath);
        ASSERT_TRUE(saved.has_value());
        EXPECT_NE(saved->find(std::string("Screen Patterns\t\t") + c.status + "\r\n"), std::string::npos) << *saved;
        std::vector<json> boxes = log.filter("msgbox");
        ASSERT_EQ(boxes.size(), 1u) << "only the log question\n" << log.dump();
        EXPECT_EQ(boxes[0]["text"], "Do you want to make a result file(Dravik.log)?");
    }
}

// Displays other than the device's: each frame as that display shows what
// the routines store.
TEST_F(Patterns, OtherDisplaysGetTheirOwnValues) {
    auto bars16 = [](Rgb (*shown)(uint16_t)) {
        return std::vector<Picture>{
            [=](int x, int) { return shown(kBars16[x / 40]); },
            [=](int, int y) { return shown(kBars16[horizontal_bar(y)]); },
        };
    };
    auto as565 = [](uint16_t v) { return rgb_of_565(v); };
    auto as555 = [](uint16_t v) {
        int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return rgb_of_565(uint16_t(r << 11 | (g << 1 | g >> 4) << 5 | b));
    };
    const struct {
        const char* what;
        json display;
        Rgb blue, white;
        std::vector<Picture> bars;  // vertical, horizontal
    } cases[] = {
        {"5-5-5", {{"format", 0x40}}, as555(0x00FF), as555(0xFFFF), bars16(as555)},
        {"neither format: solid frames of 0, bars as ever", {{"format", 0}}, kBlack, kBlack, bars16(as565)},
        {"mirrored across x", {{"xpitch", -2}}, rgb_of_565(0x00FF), kWhite, bars16(as565)},
        {"upside down and padded", {{"ypitch", -512}}, rgb_of_565(0x00FF), kWhite, bars16(as565)},
        {"8 bits: the last two rows keep the vertical bars",
         {{"bpp", 8}, {"xpitch", 1}, {"ypitch", 240}},
         rgb_of_332(0x0F),
         rgb_of_332(0xFF),
         {[](int x, int) { return rgb_of_332(kBars8[x / 40]); },
          [](int x, int y) { return rgb_of_332(y < 318 ? kBars8[y / 53] : kBars8[x / 40]); }}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(frame_shots({kLastBlue, kLastWhite, kFirstVertical, kFirstHorizontal, kLastRandom}) +
                 run_only({IDC_PATTERN_BOX}) + "wait 100\n",
             {{"display", c.display}});
        EXPECT_TRUE(shows(screenshot("f31.png"), [&](int, int) { return c.blue; }));
        EXPECT_TRUE(shows(screenshot("f61.png"), [&](int, int) { return c.white; }));
        EXPECT_TRUE(shows(screenshot("f62.png"), c.bars[0]));
        EXPECT_TRUE(shows(screenshot("f92.png"), c.bars[1]));
        EXPECT_TRUE(random_columns(screenshot("f151.png")));
        EXPECT_EQ(pattern_status(journal()), "PASS");
    }
}

// A second run in the same process opens the display again without
// closing it and draws and judges like the first: a pass that fails in the
// second run fails that run alone.
TEST_F(Patterns, SecondRunInOneProcessDrawsAndJudgesAgain) {
    std::string first_run = run_only({IDC_PATTERN_BOX}) + "wait 100\n" + click(IDC_NEXT_FINISH) + "answer no\n";
    int second_start = lines_of(first_run) + 3;
    boot(frame_shots({kFirstVertical, kLastRandom + kFirstVertical}) + first_run +
             click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START) + "wait 100\n",
         {{"begin_draw_fails", {kLastRandom + 40}}});
    JournalLog log = journal();
    EXPECT_EQ(log.count("gx", {{"op", "open"}}), 2);
    EXPECT_EQ(log.count("gx", {{"op", "close"}}), 0);
    EXPECT_EQ(log.count("gx", {{"op", "begin"}}), 2 * kLastRandom);
    int second = step_at(log, second_start);
    EXPECT_EQ(pattern_status(slice(log, 0, second)), "PASS");
    EXPECT_EQ(pattern_status(slice(log, second)), "FAIL");
    EXPECT_TRUE(shows(screenshot("f62.png"), [](int x, int) { return rgb_of_565(kBars16[x / 40]); }));
    EXPECT_TRUE(shows(screenshot("f213.png"), [](int x, int) { return rgb_of_565(kBars16[x / 40]); }));
}

// Both screen tests in one run, in their order, each followed by its own
// screen restore, and PASS for both.
TEST_F(Patterns, CalibrationThenPatternsInOneRun) {
    boot(run_only({IDC_CALIBRATION_BOX, IDC_PATTERN_BOX}) +
         "tap 30 41\ntap 30 290\ntap 210 290\ntap 210 41\nwait 100\n");
    JournalLog log = journal();
    EXPECT_TRUE(log.in_order({{"dialog", {{"op", "end"}, {"template", IDD_TOUCH_TARGET}, {"code", 2}}},
                              {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"gx", {{"op", "open"}}},
                              {"gx", {{"op", "end"}, {"call", kLastRandom}}},
                              {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
                              {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}}}));
    std::vector<std::string> cells = status_cells(log);
    EXPECT_EQ(cells[1], "PASS");
    EXPECT_EQ(cells[2], "PASS");
}

}  // namespace
