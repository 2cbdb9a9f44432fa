#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "people/script.h"

namespace {

using sim::Script;
using sim::ScriptAction;

Script parse_ok(const std::string& text) {
    Script s;
    std::string error;
    EXPECT_TRUE(sim::parse_script_text(text, "t.txt", &s, &error)) << text << " -> " << error;
    return s;
}

ScriptAction only_action(const std::string& line) {
    Script s = parse_ok(line);
    EXPECT_EQ(s.size(), 1u) << line;
    return s.empty() ? ScriptAction{} : s.action(0);
}

TEST(Script, ReadsEveryActionForm) {
    struct Case {
        const char* line;
        ScriptAction::Kind kind;
        int x, y, key, control_id, ms;
        const char* word;
        bool by_text;
        const char* text;
        const char* file;
    };
    const Case cases[] = {
        {"tap 0 0", ScriptAction::Tap, 0, 0, 0, 0, 0, "", false, "", ""},
        {"tap 239 319", ScriptAction::Tap, 239, 319, 0, 0, 0, "", false, "", ""},
        {"tap 12 300", ScriptAction::Tap, 12, 300, 0, 0, 0, "", false, "", ""},
        {"press action", ScriptAction::Press, 0, 0, 0x0D, 0, 0, "", false, "", ""},
        {"press left", ScriptAction::Press, 0, 0, 0x25, 0, 0, "", false, "", ""},
        {"press up", ScriptAction::Press, 0, 0, 0x26, 0, 0, "", false, "", ""},
        {"press right", ScriptAction::Press, 0, 0, 0x27, 0, 0, "", false, "", ""},
        {"press down", ScriptAction::Press, 0, 0, 0x28, 0, 0, "", false, "", ""},
        {"press 193", ScriptAction::Press, 0, 0, 193, 0, 0, "", false, "", ""},
        {"press 1", ScriptAction::Press, 0, 0, 1, 0, 0, "", false, "", ""},
        {"press 254", ScriptAction::Press, 0, 0, 254, 0, 0, "", false, "", ""},
        {"answer ok", ScriptAction::Answer, 0, 0, 0, 0, 0, "ok", false, "", ""},
        {"answer cancel", ScriptAction::Answer, 0, 0, 0, 0, 0, "cancel", false, "", ""},
        {"answer yes", ScriptAction::Answer, 0, 0, 0, 0, 0, "yes", false, "", ""},
        {"answer no", ScriptAction::Answer, 0, 0, 0, 0, 0, "no", false, "", ""},
        {"click 1001", ScriptAction::Click, 0, 0, 0, 1001, 0, "", false, "", ""},
        {"click 0", ScriptAction::Click, 0, 0, 0, 0, 0, "", false, "", ""},
        {"click 65535", ScriptAction::Click, 0, 0, 0, 65535, 0, "", false, "", ""},
        {"click \"Start\"", ScriptAction::Click, 0, 0, 0, 0, 0, "", true, "Start", ""},
        {"click \"Read/Write files\"", ScriptAction::Click, 0, 0, 0, 0, 0, "", true, "Read/Write files", ""},
        {"click \"a # b\"", ScriptAction::Click, 0, 0, 0, 0, 0, "", true, "a # b", ""},
        {"click \"say \\\"hi\\\"\"", ScriptAction::Click, 0, 0, 0, 0, 0, "", true, "say \"hi\"", ""},
        {"caption-ok", ScriptAction::CaptionOk, 0, 0, 0, 0, 0, "", false, "", ""},
        {"help", ScriptAction::Help, 0, 0, 0, 0, 0, "", false, "", ""},
        {"launch", ScriptAction::Launch, 0, 0, 0, 0, 0, "", false, "", ""},
        {"power-cycle", ScriptAction::PowerCycle, 0, 0, 0, 0, 0, "", false, "", ""},
        {"soft-reset", ScriptAction::SoftReset, 0, 0, 0, 0, 0, "", false, "", ""},
        {"wait 0", ScriptAction::Wait, 0, 0, 0, 0, 0, "", false, "", ""},
        {"wait 700", ScriptAction::Wait, 0, 0, 0, 0, 700, "", false, "", ""},
        {"wait 86400000", ScriptAction::Wait, 0, 0, 0, 0, 86400000, "", false, "", ""},
        {"screenshot panel.png", ScriptAction::Screenshot, 0, 0, 0, 0, 0, "", false, "", "panel.png"},
        {"screenshot out/Panel.PNG", ScriptAction::Screenshot, 0, 0, 0, 0, 0, "", false, "", "out/Panel.PNG"},
        {"screenshot \"two words.png\"", ScriptAction::Screenshot, 0, 0, 0, 0, 0, "", false, "", "two words.png"},
        {"\t tap   5\t6  ", ScriptAction::Tap, 5, 6, 0, 0, 0, "", false, "", ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.line);
        ScriptAction a = only_action(c.line);
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.x, c.x);
        EXPECT_EQ(a.y, c.y);
        EXPECT_EQ(a.key, c.key);
        EXPECT_EQ(a.control_id, c.control_id);
        EXPECT_EQ(a.ms, c.ms);
        EXPECT_EQ(a.word, c.word);
        EXPECT_EQ(a.by_text, c.by_text);
        EXPECT_EQ(a.text, c.text);
        EXPECT_EQ(a.file, c.file);
        EXPECT_EQ(a.line, 1);
    }
}

TEST(Script, ReadsDragsAndExpectations) {
    struct Case {
        const char* line;
        ScriptAction::Kind kind;
        int x, y, x2, y2;
        const char* text;
        bool has_caption;
        const char* caption;
        const char* test;
        const char* word;
        const char* file;
        int tolerance;
    };
    const Case cases[] = {
        {"drag 1 2 239 319", ScriptAction::Drag, 1, 2, 239, 319, "", false, "", "", "", "", 0},
        {"expect-msgbox \"Do you want to make a result file(Dravik.log)?\"", ScriptAction::ExpectMsgbox, 0, 0, 0, 0,
         "Do you want to make a result file(Dravik.log)?", false, "", "", "", "", 0},
        {"expect-msgbox \"RegisterHotKey is FALSE\" \"Error\"", ScriptAction::ExpectMsgbox, 0, 0, 0, 0,
         "RegisterHotKey is FALSE", true, "Error", "", "", "", 0},
        {"expect-msgbox \"\" \"\"", ScriptAction::ExpectMsgbox, 0, 0, 0, 0, "", true, "", "", "", "", 0},
        {"expect-text \"Tap the center # of it\"", ScriptAction::ExpectText, 0, 0, 0, 0, "Tap the center # of it",
         false, "", "", "", "", 0},
        {"expect-status Sound PASS", ScriptAction::ExpectStatus, 0, 0, 0, 0, "", false, "", "Sound", "PASS", "", 0},
        {"expect-status \"Screen Calibration\" FAIL", ScriptAction::ExpectStatus, 0, 0, 0, 0, "", false, "",
         "Screen Calibration", "FAIL", "", 0},
        {"expect-status \"Key Test\" ?", ScriptAction::ExpectStatus, 0, 0, 0, 0, "", false, "", "Key Test", "?", "", 0},
        {"expect-log \"Read/Write files\" PASS", ScriptAction::ExpectLog, 0, 0, 0, 0, "", false, "",
         "Read/Write files", "PASS", "", 0},
        {"expect-log Sound ?", ScriptAction::ExpectLog, 0, 0, 0, 0, "", false, "", "Sound", "?", "", 0},
        {"expect-screen panel.png", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "panel.png", 0},
        {"expect-screen shots/Panel.PNG 0", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "",
         "shots/Panel.PNG", 0},
        {"expect-screen a.png 120", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 120},
        {"expect-screen a.png 76800", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 76800},
        // Percentages of the screen's 76800 pixels.
        {"expect-screen a.png 1%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 768},
        {"expect-screen a.png 0.5%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 384},
        {"expect-screen a.png 0.001%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 0},
        {"expect-screen a.png 0.002%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 1},
        {"expect-screen a.png 100%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "", "a.png", 76800},
        {"expect-screen \"my session-1.png\" 0%", ScriptAction::ExpectScreen, 0, 0, 0, 0, "", false, "", "", "",
         "my session-1.png", 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.line);
        ScriptAction a = only_action(c.line);
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.x, c.x);
        EXPECT_EQ(a.y, c.y);
        EXPECT_EQ(a.x2, c.x2);
        EXPECT_EQ(a.y2, c.y2);
        EXPECT_EQ(a.text, c.text);
        EXPECT_EQ(a.has_caption, c.has_caption);
        EXPECT_EQ(a.caption, c.caption);
        EXPECT_EQ(a.test, c.test);
        EXPECT_EQ(a.word, c.word);
        EXPECT_EQ(a.file, c.file);
        EXPECT_EQ(a.tolerance, c.tolerance);
        EXPECT_EQ(a.is_expectation(), std::string(c.line).rfind("expect-", 0) == 0);
    }
}

TEST(Script, SkipsCommentsAndBlankLinesAndKeepsLineNumbers) {
    Script s = parse_ok(
        "# power on and look\n"
        "\n"
        "   \t\n"
        "tap 10 20   # the first box\n"
        "#tap 1 1\n"
        "wait 700#no blank before the comment\r\n"
        "screenshot a.png\n"
        "caption-ok");  // no line end after the last line
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s.path, "t.txt");
    EXPECT_EQ(s.action(0).kind, ScriptAction::Tap);
    EXPECT_EQ(s.action(0).line, 4);
    EXPECT_EQ(s.action(0).source, "tap 10 20");
    EXPECT_EQ(s.action(1).kind, ScriptAction::Wait);
    EXPECT_EQ(s.action(1).ms, 700);
    EXPECT_EQ(s.action(1).line, 6);
    EXPECT_EQ(s.action(1).source, "wait 700");
    EXPECT_EQ(s.action(2).line, 7);
    EXPECT_EQ(s.action(3).kind, ScriptAction::CaptionOk);
    EXPECT_EQ(s.action(3).line, 8);
}

TEST(Script, EmptyTextIsAScriptWithNoActions) {
    for (const char* text : {"", "\n\n", "# nothing to do\n", "\xEF\xBB\xBF"}) {
        Script s = parse_ok(text);
        EXPECT_TRUE(s.empty()) << text;
    }
}

TEST(Script, ByteOrderMarkDoesNotHideTheFirstAction) {
    Script s = parse_ok("\xEF\xBB\xBFtap 1 2\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s.action(0).x, 1);
}

TEST(Script, ReportsTheLineAndWhatIsWrong) {
    struct Case {
        const char* text;
        int line;
        const char* message_part;  // must appear in the message
    };
    const Case cases[] = {
        {"jump 1 2", 1, "unknown action \"jump\" (known:"},
        {"tpa 1 2", 1, "unknown action \"tpa\"; did you mean \"tap\"?"},
        {"\"wiat\" 5", 1, "\"wiat\" is none; did you mean \"wait\"?"},
        {"press acton", 1, "not \"acton\"; did you mean \"action\"?"},
        {"answer yse", 1, "not \"yse\"; did you mean \"yes\"?"},
        {"Tap 1 2", 1, "unknown action \"Tap\"; did you mean \"tap\"?"},
        {"tap 1 2\n\n# note\ntap 1", 4, "tap: missing Y"},
        {"tap", 1, "tap: missing X"},
        {"tap 1 2 3", 1, "tap: unexpected \"3\""},
        {"tap 240 0", 1, "X must be a whole number from 0 to 239, not \"240\""},
        {"tap 0 320", 1, "Y must be a whole number from 0 to 319, not \"320\""},
        {"tap -1 0", 1, "X must be"},
        {"tap 1x 0", 1, "not \"1x\""},
        {"tap \"1\" 0", 1, "X must be"},
        {"tap 99999999999999999999 0", 1, "X must be"},
        {"press", 1, "press: missing KEY"},
        {"press 0", 1, "KEY must be"},
        {"press 255", 1, "KEY must be"},
        {"press enter", 1, "not \"enter\""},
        {"press Action", 1, "not \"Action\""},
        {"press up down", 1, "press: unexpected \"down\""},
        {"answer", 1, "answer: missing WORD"},
        {"answer maybe", 1, "must be ok, cancel, yes or no, not \"maybe\""},
        {"answer OK", 1, "not \"OK\""},
        {"click", 1, "click: missing ID"},
        {"click 65536", 1, "ID must be"},
        {"click -1", 1, "ID must be"},
        {"click Start", 1, "not \"Start\""},
        {"click \"\"", 1, "must not be empty"},
        {"click \"Start", 1, "missing closing quote"},
        {"click \"Start\"x", 1, "blank after the closing quote"},
        {"click \"Start\" 5", 1, "click: unexpected \"5\""},
        {"caption-ok now", 1, "caption-ok: unexpected \"now\""},
        {"help me", 1, "help: unexpected \"me\""},
        {"launch 2", 1, "launch: unexpected \"2\""},
        {"power-cycle now", 1, "power-cycle: unexpected \"now\""},
        {"wait", 1, "wait: missing MS"},
        {"wait 86400001", 1, "MS must be a whole number from 0 to 86400000"},
        {"wait 1.5", 1, "not \"1.5\""},
        {"wait -5", 1, "MS must be"},
        {"screenshot", 1, "screenshot: missing FILE.png"},
        {"screenshot shot.bmp", 1, "ending in .png, not \"shot.bmp\""},
        {"screenshot .png", 1, "ending in .png"},
        {"screenshot dir/.png", 1, "ending in .png"},
        {"screenshot a.png b.png", 1, "screenshot: unexpected \"b.png\""},
        {"wait 1\r\nwait x\r\n", 2, "MS must be"},
        // Actions are words, never quoted.
        {"\"tap\" 1 1", 1, "actions are not quoted: write tap, not \"tap\""},
        {"\"caption-ok\"", 1, "actions are not quoted: write caption-ok"},
        {"\"jump\" 1", 1, "actions are not quoted, and \"jump\" is none"},
        {"drag 1 2 3", 1, "drag: missing Y2"},
        {"drag 1 2 240 3", 1, "X2 must be a whole number from 0 to 239"},
        {"drag 1 2 3 320", 1, "Y2 must be a whole number from 0 to 319"},
        {"expect-msgbox", 1, "expect-msgbox: missing \"TEXT\""},
        {"expect-msgbox Hello", 1, "the text goes in double quotes"},
        {"expect-msgbox \"Hello\" Error", 1, "the caption goes in double quotes"},
        {"expect-msgbox \"a\" \"b\" \"c\"", 1, "expect-msgbox: unexpected \"c\""},
        {"expect-text", 1, "expect-text: missing \"TEXT\""},
        {"expect-text Start", 1, "the text goes in double quotes"},
        {"expect-text \"\"", 1, "the text must not be empty"},
        {"expect-status Sound", 1, "expect-status: missing WORD"},
        {"expect-status Sound pass", 1, "WORD must be PASS, FAIL or ?, not \"pass\""},
        {"expect-status Sound \"PASS\"", 1, "WORD must be PASS, FAIL or ?"},
        {"expect-status \"\" PASS", 1, "TEST must not be empty"},
        {"expect-status Screen Calibration PASS", 1, "a TEST name with blanks goes in double quotes"},
        {"expect-log Key Test FAIL", 1, "a TEST name with blanks goes in double quotes"},
        {"expect-log Sound OK", 1, "WORD must be PASS, FAIL or ?, not \"OK\""},
        {"expect-screen", 1, "expect-screen: missing FILE.png"},
        {"expect-screen panel.bmp", 1, "ending in .png, not \"panel.bmp\""},
        {"expect-screen a.png -1", 1, "TOLERANCE must be a number of pixels from 0 to 76800"},
        {"expect-screen a.png 76801", 1, "TOLERANCE must be"},
        {"expect-screen a.png 101%", 1, "TOLERANCE must be"},
        {"expect-screen a.png 1.5", 1, "TOLERANCE must be"},
        {"expect-screen a.png 0.0001%", 1, "TOLERANCE must be"},
        {"expect-screen a.png %", 1, "TOLERANCE must be"},
        {"expect-screen a.png \"5\"", 1, "TOLERANCE must be"},
        {"expect-screen a.png 5 6", 1, "expect-screen: unexpected \"6\""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        Script s;
        s.path = "unchanged";
        std::string error;
        EXPECT_FALSE(sim::parse_script_text(c.text, "dir/my script.txt", &s, &error));
        std::string prefix = "dir/my script.txt:" + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.compare(0, prefix.size(), prefix), 0) << error;
        EXPECT_NE(error.find(c.message_part), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(s.path, "unchanged");
    }
}

// A NUL would cut a file name short after its ".png" was checked; other
// control characters hide what a line says.
TEST(Script, ControlCharactersAreRefusedNamingTheLine) {
    const struct {
        std::string text;
        int line;
    } cases[] = {
        {std::string("screenshot victim.txt\0.png\n", 27), 1},
        {std::string("wait 1\nscreenshot a\0b.png\n", 26), 2},
        {"click \"St\x1b[2Jart\"\n", 1},
        {"wait 1\n\nwait 2\x7f\n", 3},
        {"tap 1 2\rwait 3\n", 1},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        Script s;
        std::string error;
        EXPECT_FALSE(sim::parse_script_text(c.text, "s.txt", &s, &error));
        EXPECT_EQ(error.rfind("s.txt:" + std::to_string(c.line) + ": ", 0), 0u) << error;
        EXPECT_EQ(error.find('\0'), std::string::npos);
    }
    // A tab is a blank.
    EXPECT_EQ(parse_ok("tap\t1\t2\n").size(), 1u);
}

TEST(Script, AnErrorStaysOneShortLineWhateverTheLineHolds) {
    for (const std::string& text :
         {"wait " + std::string(100000, '9') + "\n", "click \"" + std::string(100000, 'x') + "\" 5\n",
          std::string(100000, 'w') + "\n"}) {
        Script s;
        std::string error;
        EXPECT_FALSE(sim::parse_script_text(text, "s.txt", &s, &error));
        EXPECT_EQ(error.rfind("s.txt:1: ", 0), 0u) << error.substr(0, 100);
        EXPECT_LT(error.size(), 400u);
    }
}

TEST(Script, UnknownActionNamesTheKnownOnes) {
    Script s;
    std::string error;
    ASSERT_FALSE(sim::parse_script_text("stylus 1 2", "s", &s, &error));
    for (const char* name : {"tap", "drag", "press", "answer", "click", "caption-ok", "help", "launch", "power-cycle",
                             "soft-reset", "wait", "screenshot", "expect-msgbox", "expect-text", "expect-status", "expect-log",
                             "expect-screen"})
        EXPECT_NE(error.find(name), std::string::npos) << error;
}

TEST(Script, ActionNamesMatchTheScriptWords) {
    // Every action's name reads back as the same action.
    for (auto kind : {ScriptAction::Tap, ScriptAction::Press, ScriptAction::Answer, ScriptAction::Click,
                      ScriptAction::CaptionOk, ScriptAction::Help, ScriptAction::Launch, ScriptAction::PowerCycle,
                      ScriptAction::SoftReset, ScriptAction::Wait, ScriptAction::Screenshot, ScriptAction::Drag, ScriptAction::ExpectMsgbox,
                      ScriptAction::ExpectText, ScriptAction::ExpectStatus, ScriptAction::ExpectLog,
                      ScriptAction::ExpectScreen}) {
        std::string name = sim::script_action_name(kind);
        Script s;
        std::string error;
        // Parse the bare word: either it is an action without arguments, or
        // the error names the action as the one missing an argument.
        if (sim::parse_script_text(name, "s", &s, &error)) {
            ASSERT_EQ(s.size(), 1u);
            EXPECT_EQ(s.action(0).kind, kind) << name;
        } else {
            EXPECT_NE(error.find("s:1: " + name + ": missing"), std::string::npos) << error;
        }
        EXPECT_NE(sim::script_syntax_help().find("  " + name), std::string::npos) << name;
    }
}

class ScriptFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dravik-script-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::remove((dir_ + "/s.txt").c_str());
        rmdir(dir_.c_str());
    }
    std::string dir_;
};

TEST_F(ScriptFile, ReadsAFileAndNamesItInErrors) {
    std::string path = dir_ + "/s.txt";
    {
        std::ofstream(path) << "tap 1 2\nwait 5\n";
    }
    Script s;
    std::string error;
    ASSERT_TRUE(sim::parse_script(path, &s, &error)) << error;
    EXPECT_EQ(s.path, path);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s.action(1).ms, 5);

    {
        std::ofstream(path) << "tap 1 2\nwait five\n";
    }
    ASSERT_FALSE(sim::parse_script(path, &s, &error));
    EXPECT_EQ(error.rfind(path + ":2: ", 0), 0u) << error;
}

TEST_F(ScriptFile, OnlyARegularFileOfASaneSizeIsRead) {
    const std::string fifo = dir_ + "/fifo.txt", zero = dir_ + "/zero.txt", big = dir_ + "/big.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    {
        std::ofstream(big) << "wait 1\n";
    }
    ASSERT_EQ(truncate(big.c_str(), (17 << 20)), 0);
    const struct {
        std::string path;
        const char* part;
    } cases[] = {{fifo, "not a regular file"}, {zero, "not a regular file"}, {big, "larger than 16 MiB"}};
    for (auto& c : cases) {
        Script s;
        std::string error;
        EXPECT_FALSE(sim::parse_script(c.path, &s, &error)) << c.path;
        EXPECT_EQ(error.rfind(c.path + ":1: cannot read the script", 0), 0u) << error;
        EXPECT_NE(error.find(c.part), std::string::npos) << error;
    }
    for (auto& c : cases) std::remove(c.path.c_str());
}

TEST_F(ScriptFile, MissingFileOrFolderIsAnError) {
    Script s;
    std::string error;
    for (std::string path : {dir_ + "/absent.txt", dir_}) {
        EXPECT_FALSE(sim::parse_script(path, &s, &error)) << path;
        EXPECT_EQ(error.rfind(path + ":1: cannot read the script", 0), 0u) << error;
    }
}

}  // namespace
