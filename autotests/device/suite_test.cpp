// dravik-sim --check PATH...: a folder of scripts run as a suite, each in a
// child process of its own on a fresh copy of its starting state.  One
// line per script, a closing line and the exit code; JUnit that parses
// with the right counts; shards that cover each script once; the same
// results however many run at once; evidence for every kind of failure; a
// report a real browser shows with its pictures; --accept; and starting
// states that are copied, never changed.
//
// The folder of mixed results runs the crashing stand-in for Dravik
// (fixtures/crash_on_left.cpp), so that a crash is a real one: the child
// dies of SIGSEGV when the left key reaches the program.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device/harness.h"

namespace {

namespace fs = std::filesystem;
using devtest::folder_snapshot;
using devtest::Image;
using devtest::ProcessResult;
using devtest::read_file;
using devtest::write_file;
using devtest::write_picture;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A line without the time it took ("  (0.04 s; evidence: ...)" keeps the
// evidence).
std::string without_time(const std::string& line) {
    return std::regex_replace(line, std::regex(R"(\([0-9]+\.[0-9]+ s;? ?)"), "(");
}

// The folder of mixed results: each script, what its line says, and the
// kind of evidence it leaves.
struct Expected {
    const char* script;
    const char* word;      // "held", "did not hold", "refused", "crashed"
    const char* says;      // part of its line
    bool screen_pictures;  // expected, seen and difference pictures
};
const Expected kMixed[] = {
    // The line of its last journaled action: the press, or the tap before it
    // when a sanitizer ends the run before the journal's last lines are out.
    {"suite/crashes.txt", "crashed", "suite/crashes.txt:", false},
    {"suite/does-not-hold.txt", "did not hold", "suite/does-not-hold.txt:2: expect-text: expected \"Nope\"", false},
    {"suite/holds.txt", "held", "suite/holds.txt", false},
    {"suite/refused.txt", "refused", "suite/refused.txt:2: no message box is open", false},
    {"suite/screens/differs.txt", "did not hold", "suite/screens/differs.txt:3: expect-screen:", true},
    {"suite/screens/same.txt", "held", "suite/screens/same.txt", false},
};

class Suite : public devtest::SimRun {
protected:
    // dravik-sim in the test's folder; `crashing`: the stand-in program.
    ProcessResult sim(const std::vector<std::string>& args, bool crashing = false) {
        std::vector<std::string> env = {"XDG_DATA_HOME=" + dir() + "/xdg", "DISPLAY=", "WAYLAND_DISPLAY="};
        if (crashing) env.push_back(std::string("DRAVIK_MODULES_DIR=") + CRASHING_MODULES_DIR);
        ProcessResult r = devtest::run_process(DRAVIK_SIM, args, dir(), env, 300000);
        EXPECT_FALSE(r.timed_out) << r.err;
        return r;
    }

    // The folder of mixed results, with a picture of the stand-in's first
    // screen for the expect-screen that holds and a red one for the one
    // that does not.
    void make_mixed_suite() {
        write_file(dir() + "/suite/holds.txt", "wait 10\nexpect-text \"Dravik\"\nscreenshot along.png\n");
        write_file(dir() + "/suite/does-not-hold.txt", "wait 10\nexpect-text \"Nope\"\n");
        write_file(dir() + "/suite/refused.txt", "wait 10\nanswer yes\nwait 10\n");
        write_file(dir() + "/suite/crashes.txt", "wait 10\ntap 120 160\npress left\nwait 10\n");
        write_file(dir() + "/suite/screens/differs.txt", "# The picture is red.\nwait 10\nexpect-screen red.png\n");
        write_file(dir() + "/suite/screens/same.txt", "wait 10\nexpect-screen same.png\nscreenshot end.png\n");
        write_picture(dir() + "/suite/screens/red.png", 255, 0, 0);
        // A state folder among the scripts is not searched for scripts.
        write_file(dir() + "/suite/screens/kept.state/store/My Documents/notes.txt", "not a script");
        write_file(dir() + "/first.txt", "wait 10\nscreenshot first.png\n");
        ProcessResult r = sim({"--state", dir() + "/first-state", "--script", "first.txt", "--screenshots", "."}, true);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        fs::rename(dir() + "/first.png", dir() + "/suite/screens/same.png");
        fs::remove(dir() + "/first.txt");
    }
};

::testing::AssertionResult says_in_order(const ProcessResult& r, const Expected* cases, size_t count) {
    std::vector<std::string> lines = lines_of(r.out);
    std::vector<std::string> results;
    for (const auto& l : lines)
        if (l.rfind("report: ", 0) != 0 && l.find(" passed, ") == std::string::npos) results.push_back(l);
    if (results.size() != count)
        return ::testing::AssertionFailure() << results.size() << " result lines, not " << count << ":\n" << r.out;
    for (size_t i = 0; i < count; ++i) {
        std::string word = cases[i].word;
        word.resize(std::max<size_t>(word.size(), 12), ' ');
        if (results[i].rfind(word + "  ", 0) != 0 || results[i].find(cases[i].says) == std::string::npos)
            return ::testing::AssertionFailure() << "line " << i + 1 << " is not \"" << cases[i].word << " ... "
                                                 << cases[i].says << "\":\n" << r.out;
    }
    return ::testing::AssertionSuccess();
}

// ------------------------------------------------------------ JUnit

struct JUnitCounts {
    int tests = -1, failures = -1, errors = -1;
    std::map<std::string, std::string> result_of;  // file -> "passed", "failure" or "error"
    std::map<std::string, std::string> message_of;
    bool ok = false;
};

JUnitCounts parse_junit(const std::string& path) {
    JUnitCounts c;
    xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (!doc) return c;
    auto attr = [](xmlNodePtr n, const char* name) {
        xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
        std::string s = v ? reinterpret_cast<const char*>(v) : "";
        xmlFree(v);
        return s;
    };
    auto is = [](xmlNodePtr n, const char* name) {
        return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, reinterpret_cast<const xmlChar*>(name)) == 0;
    };
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (root && is(root, "testsuites")) {
        for (xmlNodePtr suite = root->children; suite; suite = suite->next) {
            if (!is(suite, "testsuite")) continue;
            c.tests = std::atoi(attr(suite, "tests").c_str());
            c.failures = std::atoi(attr(suite, "failures").c_str());
            c.errors = std::atoi(attr(suite, "errors").c_str());
            for (xmlNodePtr t = suite->children; t; t = t->next) {
                if (!is(t, "testcase")) continue;
                std::string result = "passed";
                for (xmlNodePtr k = t->children; k; k = k->next)
                    if (is(k, "failure") || is(k, "error")) {
                        result = reinterpret_cast<const char*>(k->name);
                        c.message_of[attr(t, "file")] = attr(k, "message");
                    }
                c.result_of[attr(t, "file")] = result;
            }
        }
        c.ok = true;
    }
    xmlFreeDoc(doc);
    return c;
}

TEST_F(Suite, AFolderOfScriptsGivesALineEachAClosingLineTheExitCodeAndJUnit) {
    make_mixed_suite();
    ProcessResult r = sim({"--check", "suite", "--junit", "results.xml", "-j", "3"}, true);
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_TRUE(says_in_order(r, kMixed, std::size(kMixed)));
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(lines_of(r.out).back(), "2 passed, 4 failed");
    // A crash as the simulator dies of it, or as a sanitizer reports it.
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(crashed +suite/crashes.txt:[23]: )"
                                                    R"((the simulator died of signal 11|a sanitizer report: ))")))
        << r.out;

    JUnitCounts j = parse_junit(dir() + "/results.xml");
    ASSERT_TRUE(j.ok) << read_file(dir() + "/results.xml");
    EXPECT_EQ(j.tests, 6);
    EXPECT_EQ(j.failures, 2);  // did not hold
    EXPECT_EQ(j.errors, 2);    // refused, crashed
    for (const auto& e : kMixed) {
        SCOPED_TRACE(e.script);
        std::string word = e.word;
        EXPECT_EQ(j.result_of[e.script], word == "held" ? "passed" : word == "did not hold" ? "failure" : "error");
        if (word != "held") EXPECT_NE(j.message_of[e.script].find(e.says), std::string::npos) << j.message_of[e.script];
    }

    // Every script held: exit 0.
    ProcessResult held = sim({"--check", "suite/holds.txt", "suite/screens/same.txt"}, true);
    EXPECT_EQ(held.exit_code, 0) << held.out << held.err;
    EXPECT_EQ(lines_of(held.out).back(), "2 passed, 0 failed");
}

TEST_F(Suite, RunsAtOnceGiveWhatRunsOneAtATimeGive) {
    make_mixed_suite();
    ProcessResult serial = sim({"--check", "suite", "-j", "1", "--junit", "serial.xml"}, true);
    ProcessResult parallel = sim({"--check", "suite", "-j6", "--junit", "parallel.xml"}, true);
    std::vector<std::string> a = lines_of(serial.out), b = lines_of(parallel.out);
    ASSERT_EQ(a.size(), b.size()) << serial.out << parallel.out;
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(without_time(a[i]), without_time(b[i]));
    EXPECT_EQ(serial.exit_code, parallel.exit_code);
    // The same results and messages (the children's own output may differ:
    // a sanitizer's addresses).
    JUnitCounts js = parse_junit(dir() + "/serial.xml"), jp = parse_junit(dir() + "/parallel.xml");
    ASSERT_TRUE(js.ok && jp.ok);
    EXPECT_EQ(js.tests, jp.tests);
    EXPECT_EQ(js.result_of, jp.result_of);
    EXPECT_EQ(js.message_of, jp.message_of);
}

TEST_F(Suite, TheSharesOfAShardedRunCoverEveryScriptOnce) {
    for (int i = 0; i < 7; ++i) write_file(dir() + "/many/s" + std::to_string(i) + ".txt", "wait 5\n");
    write_file(dir() + "/many/deeper/s7.txt", "wait 5\nexpect-text \"Nope\"\n");
    std::multiset<std::string> seen;
    int passed = 0, failed = 0;
    for (int k = 1; k <= 3; ++k) {
        ProcessResult r = sim({"--check", "many", "--shard", std::to_string(k) + "/3", "--junit",
                               "shard-" + std::to_string(k) + ".xml"});
        for (const auto& l : lines_of(r.out)) {
            std::smatch m;
            if (std::regex_search(l, m, std::regex(R"((many/[a-z0-9/]+\.txt))"))) seen.insert(m[1]);
            int p = 0, f = 0;
            if (std::sscanf(l.c_str(), "%d passed, %d failed", &p, &f) == 2) passed += p, failed += f;
        }
        JUnitCounts j = parse_junit(dir() + "/shard-" + std::to_string(k) + ".xml");
        EXPECT_TRUE(j.ok);
        EXPECT_EQ(size_t(j.tests), j.result_of.size());
    }
    std::multiset<std::string> all;
    for (int i = 0; i < 7; ++i) all.insert("many/s" + std::to_string(i) + ".txt");
    all.insert("many/deeper/s7.txt");
    EXPECT_EQ(seen, all);
    EXPECT_EQ(passed, 7);
    EXPECT_EQ(failed, 1);
}

// The stress user over a range of seeds, in shares the same way.
TEST_F(Suite, TheStressUserTakesARangeOfSeedsInShares) {
    ProcessResult r = sim({"--stress", "30", "--seeds", "11-14", "--shard", "2/2", "--junit", "seeds.xml"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    std::vector<std::string> l = lines_of(r.out);
    ASSERT_EQ(l.size(), 3u) << r.out;
    EXPECT_EQ(l[0].rfind("held          stress seed 12", 0), 0u) << r.out;
    EXPECT_EQ(l[1].rfind("held          stress seed 14", 0), 0u) << r.out;
    EXPECT_EQ(l[2], "2 passed, 0 failed");
    EXPECT_EQ(parse_junit(dir() + "/seeds.xml").tests, 2);
}

// Each kind of failure leaves the screen before its failing line, the
// journal's last lines and the run's output; a failed expect-screen also
// the expected, seen and difference pictures.  Nothing is left for a
// script that held.
TEST_F(Suite, EveryKindOfFailureLeavesEvidence) {
    make_mixed_suite();
    ProcessResult r = sim({"--check", "suite"}, true);
    EXPECT_EQ(r.exit_code, 1);
    const std::string ev = dir() + "/check-evidence/";
    for (const auto& e : kMixed) {
        SCOPED_TRACE(e.script);
        std::string id = std::regex_replace(std::regex_replace(e.script, std::regex(R"(\.txt$)"), ""),
                                            std::regex("/"), "-");
        if (std::string(e.word) == "held") {
            EXPECT_FALSE(fs::exists(ev + id));
            continue;
        }
        EXPECT_NE(r.out.find("evidence: check-evidence/" + id), std::string::npos) << r.out;
        Image screen = Image::load(ev + id + "/screen.png");
        EXPECT_EQ(screen.width(), 240);
        EXPECT_EQ(screen.height(), 320);
        EXPECT_NE(read_file(ev + id + "/journal-tail.jsonl").find("\"line\""), std::string::npos);
        EXPECT_FALSE(read_file(ev + id + "/output.txt").empty());
        for (const char* p : {"expected.png", "seen.png", "diff.png"})
            EXPECT_EQ(fs::exists(ev + id + "/" + p), e.screen_pictures) << p;
    }
    // The seen picture is the screen itself.
    EXPECT_EQ(Image::load(ev + "suite-screens-differs/seen.png").rgb(),
              Image::load(ev + "suite-screens-differs/screen.png").rgb());
    // A second run replaces the evidence of the first.
    ProcessResult again = sim({"--check", "suite/does-not-hold.txt"}, true);
    EXPECT_EQ(again.exit_code, 1) << again.err;
    EXPECT_FALSE(fs::exists(ev + "suite-crashes"));
    EXPECT_TRUE(fs::exists(ev + "suite-does-not-hold/screen.png"));
    // A folder that is not the runner's is never replaced.
    fs::remove_all(ev);
    write_file(ev + "mine.txt", "mine");
    ProcessResult refused = sim({"--check", "suite/does-not-hold.txt"}, true);
    EXPECT_EQ(refused.exit_code, 2);
    EXPECT_EQ(read_file(ev + "mine.txt"), "mine");
}

// The folder a script starts from (named in its header, or NAME.state
// beside it) is copied for each run and never changed, however the run
// changes its copy; a script without one starts from the factory.
TEST_F(Suite, StartingStatesAreCopiedNeverChanged) {
    // The full run without its pictures, which lie beside the original.
    const std::string full_run = std::regex_replace(
        read_file(std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt"), std::regex("expect-screen[^\n]*"), "");
    ProcessResult made = sim({"--state", dir() + "/states/after-run", "--script",
                              std::string(DRAVIK_SOURCE_DIR) + "/examples/full-run.txt", "--screenshots", "shots"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    fs::create_directories(dir() + "/scripts");
    fs::copy(dir() + "/states/after-run", dir() + "/scripts/b.state", fs::copy_options::recursive);
    // The log the full run wrote is there before anything acts; the run
    // writes it again, and the registry.
    write_file(dir() + "/scripts/a.txt", "# state: ../states/after-run\nexpect-log Sound PASS\n" + full_run);
    write_file(dir() + "/scripts/b.txt", "expect-log Sound PASS\n" + full_run);
    write_file(dir() + "/scripts/c.txt", "expect-log Sound PASS\n");
    write_file(dir() + "/scripts/d.txt", "# state: nowhere\nwait 5\n");
    auto before_a = folder_snapshot(dir() + "/states/after-run");
    auto before_b = folder_snapshot(dir() + "/scripts/b.state");
    ASSERT_FALSE(before_a.empty());
    for (int run = 0; run < 2; ++run) {
        ProcessResult r = sim({"--check", "scripts"});
        const Expected lines[] = {
            {"", "held", "scripts/a.txt", false},
            {"", "held", "scripts/b.txt", false},
            {"", "did not hold", "scripts/c.txt:1: expect-log", false},
            {"", "refused", "scripts/d.txt:1: the state folder \"scripts/nowhere\"", false},
        };
        EXPECT_TRUE(says_in_order(r, lines, std::size(lines)));
        EXPECT_EQ(folder_snapshot(dir() + "/states/after-run"), before_a);
        EXPECT_EQ(folder_snapshot(dir() + "/scripts/b.state"), before_b);
    }
}

// --accept takes the seen screen of a failed expect-screen as its expected
// picture, says so, and changes nothing else: not the pictures that held,
// not the scripts.  The suite then holds there.
TEST_F(Suite, AcceptReplacesOnlyThePicturesThatFailed) {
    make_mixed_suite();
    const std::string red = dir() + "/suite/screens/red.png", same = dir() + "/suite/screens/same.png";
    const std::string same_before = read_file(same);
    auto scripts_before = folder_snapshot(dir() + "/suite");
    ProcessResult r = sim({"--check", "suite", "--accept"}, true);
    EXPECT_EQ(r.exit_code, 1);
    std::vector<std::string> accepted;
    for (const auto& l : lines_of(r.out))
        if (l.rfind("accepted: ", 0) == 0) accepted.push_back(l);
    ASSERT_EQ(accepted.size(), 1u) << r.out;
    EXPECT_NE(accepted[0].find("suite/screens/red.png"), std::string::npos) << accepted[0];
    EXPECT_EQ(read_file(red), read_file(dir() + "/check-evidence/suite-screens-differs/seen.png"));
    EXPECT_EQ(read_file(same), same_before);
    auto scripts_after = folder_snapshot(dir() + "/suite");
    for (const auto& [name, bytes] : scripts_before)
        if (name != "screens/red.png" && name.find(".seen.png") == std::string::npos &&
            name.find(".diff.png") == std::string::npos)
            EXPECT_EQ(scripts_after[name], bytes) << name;
    ProcessResult again = sim({"--check", "suite/screens"}, true);
    EXPECT_EQ(again.exit_code, 0) << again.out;
}

// ------------------------------------------------------------ the report

// The report as a real browser shows it: headless Chromium loads a page of
// the test's that frames the report and, once it has loaded, writes what
// it found into its own DOM: each row's script, and each picture's size
// as decoded.
TEST_F(Suite, TheReportShowsEveryScriptAndItsPicturesInABrowser) {
    const char* browsers[] = {"chromium", "chromium-browser", "google-chrome"};
    std::string browser;
    for (const char* b : browsers)
        if (std::system(("command -v " + std::string(b) + " >/dev/null 2>&1").c_str()) == 0) browser = b;
    if (browser.empty()) GTEST_SKIP() << "no headless Chromium on this machine (scripts/bootstrap.sh installs it)";

    make_mixed_suite();
    ProcessResult r = sim({"--check", "suite", "--report", "report"}, true);
    EXPECT_EQ(r.exit_code, 1);
    ASSERT_TRUE(fs::exists(dir() + "/report/index.html")) << r.out << r.err;
    const std::string html = read_file(dir() + "/report/index.html");
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
    write_file(dir() + "/look.html", R"(<!DOCTYPE html><html><body><pre id="found"></pre>
<iframe id="r" src="report/index.html" width="1000" height="800"></iframe>
<script>
document.getElementById('r').onload = function () {
  var d = this.contentDocument, out = [];
  d.querySelectorAll('tr td:nth-child(2)').forEach(function (td) { out.push('row ' + td.textContent); });
  d.querySelectorAll('img').forEach(function (img) {
    out.push('img ' + img.getAttribute('src') + ' ' + img.naturalWidth + 'x' + img.naturalHeight);
  });
  document.getElementById('found').textContent = out.join('\n');
};
</script></body></html>)");
    ProcessResult b = devtest::run_process(
        "/bin/sh",
        {"-c", browser + " --headless --no-sandbox --disable-gpu --allow-file-access-from-files "
                         "--virtual-time-budget=5000 --dump-dom file://" + dir() + "/look.html 2>/dev/null"},
        dir(), {}, 120000);
    ASSERT_EQ(b.exit_code, 0) << b.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(b.out, m, std::regex(R"(<pre id="found">([^<]*)</pre>)"))) << b.out;
    std::vector<std::string> found = lines_of(m[1]);
    for (const auto& e : kMixed)
        EXPECT_NE(std::find(found.begin(), found.end(), std::string("row ") + e.script), found.end()) << e.script;
    int pictures = 0, full = 0;
    for (const auto& l : found) {
        if (l.rfind("img ", 0) != 0) continue;
        ++pictures;
        EXPECT_NE(l.substr(l.rfind(' ')), " 0x0") << l << ": the browser could not show it";
        full += l.find(" 240x320") != std::string::npos;
    }
    // Screens of the four failures, the differing script's three pictures,
    // and the pictures along the runs (two screenshots, two expect-screens).
    EXPECT_EQ(pictures, 4 + 3 + 4) << m[1];
    EXPECT_EQ(full, pictures);
    for (const char* p : {"suite-screens-differs/expected.png", "suite-screens-differs/seen.png",
                          "suite-screens-differs/diff.png", "suite-crashes/screen.png"})
        EXPECT_NE(std::string(m[1]).find(std::string("img ") + p), std::string::npos) << p;
}

}  // namespace
