// The LED Notification test on the simulated device, run on its own from
// the panel: the LED driver calls and their timing, the utility library's
// radio query with its messages, the LED controller's registers written
// through the two mapped views, the question, and the result in the
// Status column and the log.
#include <cstdio>
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace {

using devtest::EventPattern;
using devtest::json;
using devtest::JournalLog;
using namespace runpath;

// Every test but LED Notification unticked, Next, the reset box cleared,
// Start: the run begins at line 8.
const std::string kLedOnlyRun = click(IDC_SOUND_BOX) + click(IDC_CALIBRATION_BOX) + click(IDC_PATTERN_BOX) +
                                click(IDC_FILE_BOX) + click(IDC_KEY_BOX) + click(IDC_NEXT_FINISH) +
                                click(IDC_RESET_BOX) + click(IDC_START);

const char* const kLedQuestion =
    "Tap OK or press the Action Button if you see the LED flashing. Press the Cancel Button to exit this test.";
const char* const kRadioMessage = "OrvexBlueToothRadio is not mapped properly";
const char* const kFlashControl = "0xAFB07210";

json led_question() {
    // MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND
    return {{"owner", "Dravik"}, {"text", kLedQuestion}, {"caption", "LED Notification"}, {"style", 0x10041}};
}

// The LED row of the Status column.
json led_cell(const char* word) {
    return {{"window", "Dravik"}, {"text", word}, {"rect", {170, 162, 240, 182}}};
}

// The run's answers, one "answer" line each, then time for the end of run.
std::string led_run(const std::vector<std::string>& answers) {
    std::string s = kLedOnlyRun;
    for (auto& a : answers) s += "answer " + a + "\n";
    return s + "wait 100\n";
}

JournalLog of_ev(const JournalLog& log, const std::string& ev) { return JournalLog(log.filter(ev)); }

// The register accesses of a run, one line each: "read 0xAFB04C08 0x0000".
std::vector<std::string> register_accesses(const JournalLog& log) {
    std::vector<std::string> out;
    for (auto& e : log.filter("reg16")) {
        char line[64];
        if (e.contains("fault")) {
            out.push_back("fault " + e["op"].get<std::string>());
            continue;
        }
        std::snprintf(line, sizeof line, "%s %s 0x%04X", e["op"].get<std::string>().c_str(),
                      e["addr"].get<std::string>().c_str(), e["value"].get<unsigned>());
        out.push_back(line);
    }
    return out;
}

class LedRun : public RunPathSim {
protected:
    // The events of the run, from Start on.
    JournalLog run_events() { return from_step(journal(), kStartLine); }
};

// OK gives PASS and Cancel FAIL, whatever happened to the LEDs, the radio
// query or the controller; the word reaches the Status column before the
// library is released, and the log.
TEST_F(LedRun, AnswerAloneDecidesTheResult) {
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> answers;
        const char* word;
    } cases[] = {
        {"OK", json::object(), {"ok"}, "PASS"},
        {"Cancel", json::object(), {"cancel"}, "FAIL"},
        {"OK while every LED call fails", {{"led_set_fails", true}}, {"ok"}, "PASS"},
        {"Cancel while every LED call fails", {{"led_set_fails", true}}, {"cancel"}, "FAIL"},
        {"OK after the radio message", {{"bluetooth", {{"present_call_ok", false}}}}, {"ok", "ok"}, "PASS"},
        {"Cancel without a count", {{"led_query_fails", true}}, {"cancel"}, "FAIL"},
        {"OK with the controller unmappable", {{"led_map_fails", true}}, {"ok"}, "PASS"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(led_run(c.answers) + click(IDC_NEXT_FINISH) + "answer yes\nwait 100\n", c.profile);
        JournalLog run = run_events();

        EXPECT_TRUE(run.in_order({{"msgbox", led_question()},
                                  {"msgbox_result", {{"result", c.word == std::string("PASS") ? 1 : 2}}},
                                  {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
                                  {"text", led_cell(c.word)},
                                  {"library", {{"op", "free"}, {"name", "OrvexUtil.dll"}}},
                                  {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}}}))
            << run.dump();
        EXPECT_EQ(run.count("msgbox", {{"text", kLedQuestion}}), 1);

        auto log_text = store_file(kLogPath);
        ASSERT_TRUE(log_text.has_value());
        EXPECT_NE(log_text->find("LED Notification\t\t" + std::string(c.word) + "\r\n"), std::string::npos)
            << *log_text;
        EXPECT_NE(log_text->find("Sound\t\t?\r\n"), std::string::npos) << "only the LED test ran";
    }
}

// Two LEDs: LED 0 lit for one second, then LED 1; both blink at a 0.2 s
// cycle, lit 0.1 s; the controller flashes while the question is open;
// after the answer the controller stops, both views are released, both
// LEDs go off, the screen is restored, and only then is the library that
// the test loaded released.
TEST_F(LedRun, TwoLedsLightInTurnBlinkAndGoOffAfterTheAnswer) {
    boot(led_run({"ok"}));
    JournalLog run = run_events();

    int first = run.find("led");
    ASSERT_GE(first, 0) << run.dump();
    long t0 = run[first]["t"].get<long>();
    struct Led {
        long t;
        int led, mode, cycle, on;
    };
    const Led expected[] = {
        {0, 0, 1, 0, 0},         {1000, 0, 0, 0, 0},           {1000, 1, 1, 0, 0},
        {2000, 1, 0, 0, 0},      {2000, 0, 2, 200000, 100000}, {2000, 1, 2, 200000, 100000},
        {2000, 0, 0, 200000, 100000}, {2000, 1, 0, 200000, 100000},
    };
    auto leds = run.filter("led");
    ASSERT_EQ(leds.size(), std::size(expected)) << of_ev(run, "led").dump();
    for (size_t i = 0; i < leds.size(); ++i) {
        SCOPED_TRACE("LED call " + std::to_string(i));
        EXPECT_EQ(leds[i]["t"].get<long>() - t0, expected[i].t);
        EXPECT_EQ(leds[i]["led"], expected[i].led);
        EXPECT_EQ(leds[i]["mode"], expected[i].mode);
        EXPECT_EQ(leds[i]["total_cycle"], expected[i].cycle);
        EXPECT_EQ(leds[i]["on_time"], expected[i].on);
        EXPECT_EQ(leds[i]["ok"], true);
    }
    EXPECT_EQ(run.count("sleep"), 2);
    EXPECT_EQ(run.count("sleep", {{"ms", 1000}}), 2);

    EXPECT_TRUE(run.in_order({
        {"led_info", {{"id", 0}, {"ok", true}}},
        {"library", {{"op", "load"}, {"name", "OrvexUtil.dll"}, {"ok", true}}},
        {"utility_call", {{"export", "OrvexGetBlueToothRadioPresent"}}},
        {"utility_call", {{"export", "OrvexGetBlueToothRadioStatus"}}},
        {"led", {{"led", 0}, {"mode", 1}}},
        {"sleep", {{"ms", 1000}}},
        {"led", {{"led", 1}, {"mode", 0}}},
        {"led", {{"led", 1}, {"mode", 2}}},
        {"map", {{"op", "copy"}, {"kernel_addr", "0xAFB07000"}}},
        {"map", {{"op", "copy"}, {"kernel_addr", "0xAFB04000"}}},
        {"led_controller", {{"flashing", true}}},
        {"msgbox", led_question()},
        {"msgbox_result", {{"result", 1}}},
        {"reg16", {{"addr", kFlashControl}, {"op", "write"}, {"value", 0}}},
        {"led_controller", {{"flashing", false}}},
        {"map", {{"op", "release"}, {"kernel_addr", "0xAFB07000"}, {"ok", true}}},
        {"map", {{"op", "release"}, {"kernel_addr", "0xAFB04000"}, {"ok", true}}},
        {"led", {{"led", 0}, {"mode", 0}}},
        {"led", {{"led", 1}, {"mode", 0}}},
        {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
        {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
        {"library", {{"op", "free"}, {"name", "OrvexUtil.dll"}, {"ok", true}}},
        {"dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}},
        {"window_text", {{"id", IDC_NEXT_FINISH}, {"text", "Finish"}}},
    })) << run.dump();

    // The controller flashes exactly while the question is open, and only
    // the library load of this test is given back.
    int asked = run.find("msgbox", led_question());
    int started = run.find("led_controller", {{"flashing", true}});
    EXPECT_LT(started, asked);
    EXPECT_EQ(run.count("led_controller", {{"flashing", true}}), 1);
    EXPECT_EQ(run.count("library", {{"op", "load"}}), 1);
    EXPECT_EQ(run.count("library", {{"op", "free"}}), 1);
    EXPECT_EQ(run.count("dialog", {{"op", "open"}, {"template", IDD_SCREEN_RESTORE}}), 2)
        << "one restore after the test, one at the end of the run";
    EXPECT_EQ(run.count("msgbox"), 1) << "nothing but the question is shown";
}

// The controller's registers: view 1 then view 2 made by reserving a page
// with no access and mapping the kernel address read-write and uncached;
// the eleven steps in the table's order, each a 16-bit read and write
// except the plain write; the stop is one write of 0 to 0xAFB07210 after
// the answer, the last register access of the test.  Registers that start
// at 0 show the bits ORed in; registers that start with every bit set show
// the bits ANDed out and the fields kept.
TEST_F(LedRun, ControllerRegistersAreWrittenInTheTablesOrder) {
    const char* const kAddresses[] = {"0xAFB04C08", "0xAFB07200", "0xAFB07210",
                                      "0xAFB07214", "0xAFB07228", "0xAFB0722C"};
    json all_set = json::object();
    for (const char* a : kAddresses) all_set[a] = 0xFFFF;
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> accesses;
    } cases[] = {
        {"registers at 0",
         json::object(),
         {"read 0xAFB04C08 0x0000", "write 0xAFB04C08 0x0010",  // 1: set bit 4
          "read 0xAFB07200 0x0000", "write 0xAFB07200 0x0000",  // 2: clear bit 10
          "read 0xAFB07210 0x0000", "write 0xAFB07210 0x0000",  // 3: clear bit 10
          "write 0xAFB07228 0x1999",                            // 4
          "read 0xAFB0722C 0x0000", "write 0xAFB0722C 0x0000",  // 5: clear bits 10..0
          "read 0xAFB07214 0x0000", "write 0xAFB07214 0x1000",  // 6: bits 15..11 := 2
          "read 0xAFB07210 0x0000", "write 0xAFB07210 0x0010",  // 7: bits 8..4 := 1
          "read 0xAFB07210 0x0010", "write 0xAFB07210 0x0012",  // 8: set bit 1
          "read 0xAFB07214 0x1000", "write 0xAFB07214 0x1707",  // 9: bits 10..0 := 0x707
          "read 0xAFB07210 0x0012", "write 0xAFB07210 0x0012",  // 10: clear bit 9
          "read 0xAFB07210 0x0012", "write 0xAFB07210 0x0013",  // 11: set bit 0
          "write 0xAFB07210 0x0000"}},                          // stop
        {"registers with every bit set",
         {{"led_registers", all_set}},
         {"read 0xAFB04C08 0xFFFF", "write 0xAFB04C08 0xFFFF",
          "read 0xAFB07200 0xFFFF", "write 0xAFB07200 0xFBFF",
          "read 0xAFB07210 0xFFFF", "write 0xAFB07210 0xFBFF",
          "write 0xAFB07228 0x1999",
          "read 0xAFB0722C 0xFFFF", "write 0xAFB0722C 0xF800",
          "read 0xAFB07214 0xFFFF", "write 0xAFB07214 0x17FF",
          "read 0xAFB07210 0xFBFF", "write 0xAFB07210 0xFA1F",
          "read 0xAFB07210 0xFA1F", "write 0xAFB07210 0xFA1F",
          "read 0xAFB07214 0x17FF", "write 0xAFB07214 0x1707",
          "read 0xAFB07210 0xFA1F", "write 0xAFB07210 0xF81F",
          "read 0xAFB07210 0xF81F", "write 0xAFB07210 0xF81F",
          "write 0xAFB07210 0x0000"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(led_run({"cancel"}), c.profile);
        JournalLog run = run_events();
        EXPECT_EQ(register_accesses(run), c.accesses) << of_ev(run, "reg16").dump();

        // The stop comes after the answer; the views go after the stop.
        int answered = run.find("msgbox_result");
        ASSERT_GE(answered, 0);
        EXPECT_EQ(JournalLog(slice(run, answered).filter("reg16")).size(), 1u);
        EXPECT_TRUE(slice(run, answered)
                        .in_order({{"reg16", {{"addr", kFlashControl}, {"op", "write"}, {"value", 0}}},
                                   {"map", {{"op", "release"}, {"kernel_addr", "0xAFB07000"}}},
                                   {"map", {{"op", "release"}, {"kernel_addr", "0xAFB04000"}}}}));

        const int kNoAccess = 0x01, kReadWriteUncached = 0x04 | 0x200;  // PAGE_READWRITE | PAGE_NOCACHE
        EXPECT_EQ(register_accesses(run).size(), c.accesses.size());
        std::vector<json> maps = run.filter("map");
        ASSERT_EQ(maps.size(), 6u) << of_ev(run, "map").dump();
        EXPECT_TRUE(JournalLog::matches(maps[0], "map", {{"op", "reserve"}, {"size", 4096}, {"protect", kNoAccess}}));
        EXPECT_TRUE(JournalLog::matches(
            maps[1], "map", {{"op", "copy"}, {"kernel_addr", "0xAFB07000"}, {"size", 4096}, {"protect", kReadWriteUncached}}));
        EXPECT_TRUE(JournalLog::matches(maps[2], "map", {{"op", "reserve"}, {"size", 4096}, {"protect", kNoAccess}}));
        EXPECT_TRUE(JournalLog::matches(
            maps[3], "map", {{"op", "copy"}, {"kernel_addr", "0xAFB04000"}, {"size", 4096}, {"protect", kReadWriteUncached}}));
        for (auto& m : maps) EXPECT_EQ(m["ok"], true) << m.dump();
    }
}

// No LEDs, or a count the driver cannot give: no LED is set and nothing
// waits, but the controller is started and stopped around the question.
TEST_F(LedRun, WithoutLedsOnlyTheControllerFlashesAndTheQuestionIsAsked) {
    const struct {
        const char* what;
        json profile;
    } cases[] = {
        {"no LEDs", {{"leds", 0}}},
        {"count query fails", {{"led_query_fails", true}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        boot(led_run({"cancel"}), c.profile);
        JournalLog run = run_events();
        EXPECT_EQ(run.count("led_info"), 1);
        EXPECT_EQ(run.count("led"), 0) << of_ev(run, "led").dump();
        EXPECT_EQ(run.count("sleep"), 0);
        EXPECT_TRUE(run.in_order({{"reg16", {{"addr", kFlashControl}, {"op", "write"}, {"value", 0x13}}},
                                  {"msgbox", led_question()},
                                  {"msgbox_result", {{"result", 2}}},
                                  {"reg16", {{"addr", kFlashControl}, {"op", "write"}, {"value", 0}}},
                                  {"map", {{"op", "release"}, {"kernel_addr", "0xAFB04000"}}},
                                  {"text", led_cell("FAIL")}}))
            << run.dump();
    }
}

// The radio query: the status is asked only when a radio is present; a
// failed presence call, a missing presence export or a missing status
// export when one is needed gives the ownerless message, and no call goes
// through a missing export.  The answer still decides.
TEST_F(LedRun, RadioQueryAsksForStatusOnlyWhenARadioIsPresent) {
    const struct {
        const char* what;
        json profile;
        std::vector<std::string> calls;  // the utility's exports called, in order
        bool message;
    } cases[] = {
        {"radio present", json::object(), {"OrvexGetBlueToothRadioPresent", "OrvexGetBlueToothRadioStatus"}, false},
        {"no radio", {{"bluetooth", {{"radio", 0}}}}, {"OrvexGetBlueToothRadioPresent"}, false},
        {"presence call fails", {{"bluetooth", {{"present_call_ok", false}}}}, {"OrvexGetBlueToothRadioPresent"}, true},
        {"status export missing", {{"bluetooth", {{"status_export", false}}}}, {"OrvexGetBlueToothRadioPresent"}, true},
        {"status export missing, no radio",
         {{"bluetooth", {{"status_export", false}, {"radio", 0}}}},
         {"OrvexGetBlueToothRadioPresent"},
         false},
        {"presence export missing", {{"missing_exports", {"OrvexGetBlueToothRadioPresent"}}}, {}, true},
        {"status listed as missing", {{"missing_exports", {"OrvexGetBlueToothRadioStatus"}}},
         {"OrvexGetBlueToothRadioPresent"}, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> answers = c.message ? std::vector<std::string>{"ok", "cancel"}
                                                     : std::vector<std::string>{"cancel"};
        boot(led_run(answers), c.profile);
        JournalLog run = run_events();

        std::vector<std::string> calls;
        for (auto& e : run.filter("utility_call")) calls.push_back(e["export"]);
        EXPECT_EQ(calls, c.calls);

        EXPECT_EQ(run.count("msgbox", ownerless_box(kRadioMessage)), c.message ? 1 : 0) << run.dump();
        EXPECT_EQ(run.count("msgbox"), c.message ? 2 : 1);
        if (c.message) {
            // Shown after the library was loaded and before any LED lights.
            EXPECT_TRUE(run.in_order({{"library", {{"op", "load"}, {"ok", true}}},
                                      {"msgbox", ownerless_box(kRadioMessage)},
                                      {"led", {{"led", 0}, {"mode", 1}}},
                                      {"msgbox", led_question()}}));
        }
        EXPECT_TRUE(run.in_order({{"msgbox_result", {{"result", 2}}}, {"text", led_cell("FAIL")}}));
        EXPECT_EQ(run.count("library", {{"op", "free"}}), 1);
    }
}

// The utility library loads at start-up but is gone when the LED test asks
// for it: the "not found" box owned by the panel, no radio call, nothing
// to release, and the LEDs and the answer go on as usual.
TEST_F(LedRun, MissingLibraryIsReportedAndTheAnswerStillDecides) {
    const json not_found = {{"owner", "Dravik"}, {"text", "OrvexUtil.dll is not found"}, {"caption", "Not Found"},
                            {"style", 0x10}};
    for (const char* answer : {"ok", "cancel"}) {
        SCOPED_TRACE(answer);
        boot(led_run({"ok", answer}), {{"utility_library_loads", 1}});
        JournalLog run = run_events();

        EXPECT_TRUE(run.in_order({{"library", {{"op", "load"}, {"name", "OrvexUtil.dll"}, {"ok", false}}},
                                  {"msgbox", not_found},
                                  {"led", {{"led", 0}, {"mode", 1}}},
                                  {"msgbox", led_question()}}))
            << run.dump();
        EXPECT_EQ(run.count("utility_call"), 0);
        EXPECT_EQ(run.count("msgbox", ownerless_box(kRadioMessage)), 0);
        EXPECT_EQ(run.count("library", {{"op", "free"}}), 0);
        bool ok = std::string(answer) == "ok";
        EXPECT_TRUE(run.in_order({{"msgbox", led_question()},
                                  {"msgbox_result", {{"result", ok ? 1 : 2}}},
                                  {"text", led_cell(ok ? "PASS" : "FAIL")}}))
            << run.dump();
    }
}

// A controller whose pages cannot be mapped: no register is touched, each
// reservation is given back, nothing is shown, and the LEDs and the
// question go on as usual.
TEST_F(LedRun, UnmappableControllerIsPassedOverInSilence) {
    boot(led_run({"ok"}), {{"led_map_fails", true}});
    JournalLog run = run_events();
    EXPECT_EQ(run.count("reg16"), 0) << of_ev(run, "reg16").dump();
    EXPECT_EQ(run.count("map", {{"op", "reserve"}, {"ok", true}}), 2);
    EXPECT_EQ(run.count("map", {{"op", "copy"}, {"ok", false}}), 2);
    EXPECT_EQ(run.count("map", {{"op", "release"}, {"ok", true}}), 2);
    EXPECT_EQ(run.count("msgbox"), 1);
    EXPECT_EQ(run.count("led", {{"mode", 2}}), 2);
    EXPECT_TRUE(run.in_order({{"msgbox", led_question()},
                              {"led", {{"led", 0}, {"mode", 0}}},
                              {"led", {{"led", 1}, {"mode", 0}}},
                              {"text", led_cell("PASS")}}));
}

// The example script for newcomers runs the test alone and its journal
// tells the story that its comments tell.
TEST_F(LedRun, ExampleScriptRunsTheTestAlone) {
    std::string script = devtest::read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/led-test.txt");
    ASSERT_FALSE(script.empty());
    boot(script);
    JournalLog log = journal();
    EXPECT_TRUE(log.in_order({
        {"dialog", {{"op", "end"}, {"template", IDD_RUN}, {"code", IDC_START}}},
        {"led_info", {{"count", 2}}},
        {"library", {{"op", "load"}, {"name", "OrvexUtil.dll"}}},
        {"utility_call", {{"export", "OrvexGetBlueToothRadioStatus"}}},
        {"led", {{"led", 1}, {"mode", 0}}},
        {"led", {{"led", 1}, {"mode", 2}}},
        {"led_controller", {{"flashing", true}}},
        {"msgbox_result", {{"result", 1}}},
        {"led_controller", {{"flashing", false}}},
        {"map", {{"op", "release"}, {"kernel_addr", "0xAFB04000"}}},
        {"led", {{"led", 1}, {"mode", 0}}},
        {"dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}},
        {"library", {{"op", "free"}, {"name", "OrvexUtil.dll"}}},
        {"text", led_cell("PASS")},
        {"exit", {{"exe", kProgram}, {"code", 0}}},
    })) << log.dump();
    for (const char* ev : {"sound", "com", "file"}) EXPECT_EQ(log.count(ev), 0) << ev << " : only the LED test runs";
    for (const char* shot : {"1-selection.png", "2-run-dialog.png", "3-question.png", "4-result.png"})
        EXPECT_FALSE(screenshot(shot).empty()) << shot;
}

// The controller's starting registers come from the profile; a key that is
// not a controller register, or a value that is not 16 bits, is refused
// before the device starts.
TEST_F(LedRun, ProfileRefusesRegistersOutsideTheController) {
    const char* const bad[] = {
        R"({"led_registers": {"0xAFB05000": 1}})",
        R"({"led_registers": {"0xAFB07211": 1}})",
        R"({"led_registers": {"0xAFB07210": 65536}})",
        R"({"led_registers": {"AFB07210": 1}})",
    };
    for (const char* profile : bad) {
        SCOPED_TRACE(profile);
        set_profile(profile);
        set_script("wait 0\n");
        auto& r = run();
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find("led_registers"), std::string::npos) << r.err;
    }
}

}  // namespace
