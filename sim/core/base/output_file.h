// The one way the simulator makes a file for its user: the journal,
// screenshots, the device window's pictures, expect-screen's .seen.png and
// .diff.png, a recorded script and its pictures, the stress user's
// findings.  (The state folder is the device's own storage and keeps its
// own rules: files/state_folder.h, files/filestore.h.)
//
// An output is never written through what stands at its place: a symbolic
// link, a FIFO, a device or a folder there is refused.  Nor may it be a file
// the run reads (OutputRules: the script, the profile, an expected picture,
// the journal) or lie inside the state folder.  It is written into a new
// file beside its place and renamed over it once complete, so that what was
// there stays whole until then and a reader never sees half a file; the
// only files it removes are those temporary ones of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace sim {

// What no output may be: the files a run reads, and the state folder.
class OutputRules {
public:
    // `what` names the input in refusals ("the --script file").
    void add_input(const std::string& what, const std::string& path);
    void set_state_folder(const std::string& dir);
    void clear();

    // Why an output may not be written at `path`, "" when it may: "it is
    // the --script file", "it lies inside the state folder /s", "a symbolic
    // link is in its place", "a FIFO is in its place", ...  Whether its
    // folder exists is not asked (see folder_problem).
    std::string problem(const std::string& path) const;
    // Whether `path` lies in (or is) the state folder.
    bool inside_state_folder(const std::string& path) const;

    // A host file or folder as the rules compare it: by identity when it
    // exists, else by its absolute path with every link on the way resolved.
    struct Place {
        std::string canonical;
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
    };
    static Place place_of(const std::string& path);

private:
    // The inputs (what each is), found in a step however many there are: a
    // file that exists by its identity, and by its path when either it or
    // the output does not exist yet (a journal not yet made).
    std::map<std::pair<dev_t, ino_t>, std::string> by_identity_;
    std::map<std::string, std::string> by_path_;          // every input
    std::map<std::string, std::string> absent_by_path_;  // inputs that did not exist
    bool has_state_ = false;
    Place state_;
};

// The rules every output is held to; the command sets them up before it
// makes any output.
OutputRules& output_rules();

// Why a new file cannot be made at `path` because of its folder ("there is
// no folder /x", "Permission denied"), "" when it can.
std::string folder_problem(const std::string& path);

// Writes `bytes` as the whole of `path` (see above).  False with *error,
// one line "<path>: cannot write: <why>", when the rules refuse the place or
// the system fails (a full disk is said as "No space left on device"); then
// what was at `path` is as it was.
bool write_output_file(const std::string& path, const std::string& bytes, std::string* error);

// An output written a piece at a time: the journal, a recorded script.
class OutputStream {
public:
    enum class Shown {
        AtOnce,      // the new file takes the place when opened (the journal:
                     // it shows what happened up to any end of the run)
        WhenClosed,  // ... only when closed whole (a recording): until then
                     // what was there stays
    };

    OutputStream() = default;
    ~OutputStream();  // closes; a WhenClosed stream not closed leaves the place as it was
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // False with *error ("<path>: cannot write: <why>") when the rules
    // refuse the place or the file cannot be made.
    bool open(const std::string& path, Shown shown, std::string* error);
    // False with *error ("<path>: cannot write: <why>") when the system
    // takes less than all of it; then the file ends where it ended before
    // this piece, and the stream is failed from then on.
    bool write(const char* data, size_t size, std::string* error);
    bool write(const std::string& text, std::string* error) { return write(text.data(), text.size(), error); }
    // Ends the stream; a WhenClosed one takes its place now, unless a write
    // failed (false with *error, and the place is as it was).
    bool close(std::string* error);

    bool is_open() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // For a signal handler's last write(2) of what waits (the journal).
    int fd() const { return fd_; }

private:
    void abandon();
    int fd_ = -1;
    uint64_t written_ = 0;  // the file's length: it is only ever appended to
    std::string path_;
    std::string temp_;  // WhenClosed: the file written until close()
    bool failed_ = false;
};

// Makes the folder `path`, which must not exist yet, whole: `fill` fills a
// new folder beside it, which then takes its name.  On failure (with
// *error) nothing is left at `path` and the new folder is removed.
bool make_output_folder(const std::string& path,
                        const std::function<bool(const std::string& dir, std::string* error)>& fill,
                        std::string* error);

// `path` itself when nothing is there, else the first of `stem`-2`ext`,
// `stem`-3`ext`, ... that is free (path == stem + ext).
std::string free_output_name(const std::string& stem, const std::string& ext);

// An output the device writes as it goes (the journal) could not be
// written: the run stops at once.  The handler gets the one-line message;
// the default prints it on standard error and ends the process with exit
// code 2 at once, as a pulled battery would (the state folder is whole at
// every moment).  (What a person writes fails through OutputFailed,
// base/person.h.)
[[noreturn]] void output_failed(const std::string& message);
// Replaces the default (the stress user's child reports to its parent).
// The handler must not return.
void set_output_failure_handler(void (*handler)(const std::string& message));

}  // namespace sim
