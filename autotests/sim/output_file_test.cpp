// The one writer of the simulator's outputs and the hold on a state folder,
// in-process: every place an output may not go is refused by each way of
// writing, what was there stays whole until the new file is complete, and
// a folder held by one process is refused to another until it ends.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "base/output_file.h"
#include "files/state_lock.h"
#include "scratch.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> entries_of(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        sim::output_rules().clear();
    }
    void TearDown() override { sim::output_rules().clear(); }
    std::string at(const std::string& name) const { return dir_.path() + "/" + name; }
    simtest::ScratchDir dir_{"output"};
};

// Each way of writing (a whole file, a stream shown at once or when
// closed, a folder) refuses each place it may not write, says why with the
// place's name, and leaves everything as it was: what a link leads to,
// the input, the state folder, and no temporary file beside.
TEST_F(OutputFile, EveryWayOfWritingRefusesWhatItMayNotWriteAndChangesNothing) {
    const struct Writer {
        const char* name;
        std::function<bool(const std::string& path, std::string* error)> write;
    } writers[] = {
        {"a whole file", [](const std::string& p, std::string* e) { return sim::write_output_file(p, "new", e); }},
        {"a journal",
         [](const std::string& p, std::string* e) {
             sim::OutputStream s;
             return s.open(p, sim::OutputStream::Shown::AtOnce, e);
         }},
        {"a recording",
         [](const std::string& p, std::string* e) {
             sim::OutputStream s;
             return s.open(p, sim::OutputStream::Shown::WhenClosed, e) && s.write("new", e) && s.close(e);
         }},
        {"a folder",
         [](const std::string& p, std::string* e) {
             return sim::make_output_folder(p, [](const std::string&, std::string*) { return true; }, e);
         }},
    };
    const struct Place {
        const char* name;
        std::function<std::string()> make;  // the path to write
        std::string why;
    } places[] = {
        {"a link to a file outside",
         [&] {
             fs::create_symlink(at("outside.txt"), at("out/target"));
             return at("out/target");
         },
         "a symbolic link is in its place"},
        {"a link that leads nowhere",
         [&] {
             fs::create_symlink(at("nowhere"), at("out/target"));
             return at("out/target");
         },
         "a symbolic link is in its place"},
        {"a FIFO",
         [&] {
             EXPECT_EQ(mkfifo(at("out/target").c_str(), 0644), 0);
             return at("out/target");
         },
         "a FIFO is in its place"},
        {"a folder",
         [&] {
             fs::create_directory(at("out/target"));
             return at("out/target");
         },
         "it is a folder"},
        {"a device", [] { return std::string("/dev/null"); }, "a device is in its place"},
        {"the script", [&] { return at("script.txt"); }, "it is the --script file"},
        {"another name of the script",
         [&] {
             fs::create_hard_link(at("script.txt"), at("out/target"));
             return at("out/target");
         },
         "it is the --script file"},
        {"inside the state folder, through a link",
         [&] {
             fs::create_symlink(at("state"), at("out/state-link"));
             return at("out/state-link/new");
         },
         "it lies inside the state folder"},
    };
    for (const Writer& w : writers) {
        for (const Place& place : places) {
            SCOPED_TRACE(std::string(w.name) + " at " + place.name);
            fs::remove_all(at("out"));
            fs::remove_all(at("state"));
            fs::create_directories(at("out"));
            fs::create_directories(at("state/store"));
            simtest::write_text(at("outside.txt"), "outside");
            simtest::write_text(at("script.txt"), "tap 1 1\n");
            sim::output_rules().clear();
            sim::output_rules().add_input("the --script file", at("script.txt"));
            sim::output_rules().set_state_folder(at("state"));
            const std::string path = place.make();
            const auto before = entries_of(at("out"));
            std::string error;
            EXPECT_FALSE(w.write(path, &error));
            EXPECT_EQ(error.rfind(path + ": cannot write: ", 0), 0u) << error;
            EXPECT_NE(error.find(place.why), std::string::npos) << error;
            EXPECT_EQ(simtest::read_text(at("outside.txt")), "outside");
            EXPECT_EQ(simtest::read_text(at("script.txt")), "tap 1 1\n");
            EXPECT_EQ(entries_of(at("out")), before);
            EXPECT_EQ(entries_of(at("state")), std::vector<std::string>{"store"});
        }
    }
}

// A file is there until its replacement is whole: a recording keeps the
// old file in place until it is closed, and one never closed leaves it as
// it was, with nothing beside it; a journal takes its place at once.
TEST_F(OutputFile, WhatWasThereStaysWholeUntilTheNewFileIsComplete) {
    simtest::write_text(at("script.txt"), "the old script\n");
    {
        sim::OutputStream s;
        std::string error;
        ASSERT_TRUE(s.open(at("script.txt"), sim::OutputStream::Shown::WhenClosed, &error)) << error;
        ASSERT_TRUE(s.write("the new one\n", &error)) << error;
        EXPECT_EQ(simtest::read_text(at("script.txt")), "the old script\n");
        ASSERT_TRUE(s.close(&error)) << error;
        EXPECT_EQ(simtest::read_text(at("script.txt")), "the new one\n");
    }
    {
        sim::OutputStream s;
        std::string error;
        ASSERT_TRUE(s.open(at("script.txt"), sim::OutputStream::Shown::WhenClosed, &error)) << error;
        ASSERT_TRUE(s.write("a recording cut short", &error)) << error;
    }
    EXPECT_EQ(simtest::read_text(at("script.txt")), "the new one\n");
    EXPECT_EQ(entries_of(dir_.path()), std::vector<std::string>{"script.txt"});

    // A journal takes its place at once.
    simtest::write_text(at("journal.jsonl"), "an old journal\n");
    sim::OutputStream j;
    std::string error;
    ASSERT_TRUE(j.open(at("journal.jsonl"), sim::OutputStream::Shown::AtOnce, &error)) << error;
    EXPECT_EQ(simtest::read_text(at("journal.jsonl")), "");
    ASSERT_TRUE(j.write("{}\n", &error)) << error;
    EXPECT_EQ(simtest::read_text(at("journal.jsonl")), "{}\n");
}

// In a child process that may write no file past 4 KiB: a picture and a
// recording of 10000 bytes each, over older ones, and a journal of three
// lines of 2000 bytes.  Says what happened on standard error and exits 0
// when nothing else is left in `dir`.
void fill_a_small_disk(const std::string& dir) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::string big(10000, 'x');
    std::string error;
    bool whole = sim::write_output_file(dir + "/shot.png", big, &error);
    std::string first = error;
    sim::OutputStream s;
    bool streamed = s.open(dir + "/rec.txt", sim::OutputStream::Shown::WhenClosed, &error) && s.write(big, &error);
    std::string second = error;
    bool closed = s.close(&error);
    // A journal keeps the lines that fit, whole.
    sim::OutputStream journal;
    const std::string line = std::string(1999, 'j') + "\n";
    bool lines = journal.open(dir + "/journal.jsonl", sim::OutputStream::Shown::AtOnce, &error) &&
                 journal.write(line, &error) && journal.write(line, &error) && journal.write(line, &error);
    std::fprintf(stderr, "[%d %d %d %d] %s | %s | %s | %s | %zu lines\n", whole, streamed, closed, lines,
                 first.c_str(), second.c_str(), simtest::read_text(dir + "/shot.png").c_str(),
                 simtest::read_text(dir + "/rec.txt").c_str(),
                 simtest::read_text(dir + "/journal.jsonl") == line + line ? size_t(2) : size_t(0));
    std::_Exit(entries_of(dir) == std::vector<std::string>{"journal.jsonl", "rec.txt", "shot.png"} ? 0 : 1);
}

// A disk that fills up (here: a file size the process may not pass) fails
// the write with the system's reason, and the file that was there stays.
TEST_F(OutputFile, AFullDiskFailsTheWriteAndLeavesTheOldFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    simtest::write_text(at("shot.png"), "the old picture");
    simtest::write_text(at("rec.txt"), "the old recording");
    EXPECT_EXIT(fill_a_small_disk(dir_.path()), ::testing::ExitedWithCode(0),
                "\\[0 0 0 0\\] .*/shot.png: cannot write: File too large \\| .*/rec.txt: cannot write: File too large "
                "\\| the old picture \\| the old recording \\| 2 lines");
}

// A finding's folder is made whole beside its name, and never over one.
TEST_F(OutputFile, AFolderIsMadeWholeOrNotAtAll) {
    std::string error;
    auto fill = [](const std::string& dir, std::string*) {
        std::ofstream(dir + "/registry.reg") << "text";
        return true;
    };
    ASSERT_TRUE(sim::make_output_folder(at("a.state"), fill, &error)) << error;
    EXPECT_EQ(simtest::read_text(at("a.state/registry.reg")), "text");
    EXPECT_FALSE(sim::make_output_folder(at("a.state"), fill, &error));
    EXPECT_EQ(error, at("a.state") + ": cannot write: it is a folder");
    auto fail = [](const std::string& dir, std::string* e) {
        std::ofstream(dir + "/half") << "half";
        *e = "the copy failed";
        return false;
    };
    EXPECT_FALSE(sim::make_output_folder(at("b.state"), fail, &error));
    EXPECT_EQ(error, "the copy failed");
    EXPECT_EQ(entries_of(dir_.path()), std::vector<std::string>{"a.state"});
    EXPECT_EQ(sim::free_output_name(at("a"), ".state"), at("a-2.state"));
    EXPECT_EQ(sim::free_output_name(at("b"), ".state"), at("b.state"));
}

// A state folder held by one process is refused to another, which is told
// the holder's process; the process (and what it forks) may hold it again;
// the hold ends with the process.
TEST(StateLock, AFolderIsHeldByOneProcessUntilItEnds) {
    simtest::ScratchDir dir("lock");
    ASSERT_FALSE(dir.path().empty());
    const std::string mine = dir.path() + "/mine", theirs = dir.path() + "/theirs";
    fs::create_directories(mine);
    fs::create_directories(theirs);
    std::string error;
    ASSERT_TRUE(sim::lock_state_folder(mine, &error)) << error;
    EXPECT_TRUE(sim::lock_state_folder(mine, &error)) << error;

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        std::string e;
        // What it was forked holding, it holds; another folder it takes.
        bool ok = sim::lock_state_folder(mine, &e) && sim::lock_state_folder(theirs, &e);
        char c = ok ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_FALSE(sim::lock_state_folder(theirs, &error));
    EXPECT_EQ(error, theirs + ": the state folder is in use by another simulator (process " + std::to_string(child) +
                         "); one state folder serves one simulator at a time");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(sim::lock_state_folder(theirs, &error)) << error;
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
