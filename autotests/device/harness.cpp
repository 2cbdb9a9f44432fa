#include "device/harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

extern char** environ;

namespace devtest {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void append_utf8(uint32_t cp, std::string* out) {
    if (cp < 0x80) {
        *out += char(cp);
    } else if (cp < 0x800) {
        *out += char(0xC0 | cp >> 6);
        *out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += char(0xE0 | cp >> 12);
        *out += char(0x80 | (cp >> 6 & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    } else {
        *out += char(0xF0 | cp >> 18);
        *out += char(0x80 | (cp >> 12 & 0x3F));
        *out += char(0x80 | (cp >> 6 & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE bytes up to the first terminator, as UTF-8.
std::string utf16le_to_utf8(const std::vector<uint8_t>& data) {
    std::string out;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        uint32_t c = uint32_t(data[i]) | uint32_t(data[i + 1]) << 8;
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < data.size()) {
            uint32_t d = uint32_t(data[i + 2]) | uint32_t(data[i + 3]) << 8;
            if (d >= 0xDC00 && d < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                i += 2;
            }
        }
        append_utf8(c, &out);
    }
    return out;
}

std::vector<uint8_t> utf8_to_utf16le(const std::string& s) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t u) {
        out.push_back(uint8_t(u & 0xFF));
        out.push_back(uint8_t(u >> 8));
    };
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int n;
        if (c < 0x80) cp = c, n = 1;
        else if ((c & 0xE0) == 0xC0) cp = c & 0x1F, n = 2;
        else if ((c & 0xF0) == 0xE0) cp = c & 0x0F, n = 3;
        else cp = c & 0x07, n = 4;
        for (int k = 1; k < n && i + k < s.size(); ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    put(0);
    return out;
}

std::string safe_name(const std::string& s) {
    std::string out;
    for (char c : s) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}

// Gives back every permission a test may have taken away, so the folder
// can be removed.
void make_removable(const fs::path& p) {
    std::error_code ec;
    auto st = fs::symlink_status(p, ec);
    if (ec || st.type() != fs::file_type::directory) return;
    ::chmod(p.c_str(), 0700);
    for (auto& e : fs::directory_iterator(p, ec)) make_removable(e.path());
}

}  // namespace

// ------------------------------------------------------------ processes

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
                          const std::vector<std::string>& env_overrides, int timeout_ms, const ProcessLimits& limits) {
    ProcessResult result;
    // Everything the child needs is made before fork.
    std::vector<std::string> argv_text;
    argv_text.push_back(program);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (auto& o : env_overrides)
            if (o.substr(0, o.find('=')) == name) overridden = true;
        if (!overridden) env_text.push_back(entry);
    }
    env_text.insert(env_text.end(), env_overrides.begin(), env_overrides.end());
    std::vector<char*> envp;
    for (auto& e : env_text) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    std::string exec_failed = "harness: cannot run " + program + "\n";

    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
        result.err = std::string("harness: pipe: ") + std::strerror(errno);
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int null_fd = ::open("/dev/null", O_RDONLY);
        if (null_fd >= 0) dup2(null_fd, 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        if (limits.data_bytes) {
            rlimit r{rlim_t(limits.data_bytes), rlim_t(limits.data_bytes)};
            setrlimit(RLIMIT_DATA, &r);
        }
        if (limits.file_bytes) {
            // A write past the limit fails with EFBIG instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            rlimit r{rlim_t(limits.file_bytes), rlim_t(limits.file_bytes)};
            setrlimit(RLIMIT_FSIZE, &r);
        }
        if (cwd.empty() || chdir(cwd.c_str()) == 0) execve(program.c_str(), argv.data(), envp.data());
        ssize_t ignored = ::write(2, exec_failed.data(), exec_failed.size());
        (void)ignored;
        _exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (pid < 0) {
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        result.err = std::string("harness: fork: ") + std::strerror(errno);
        return result;
    }
    setpgid(pid, pid);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    auto left_ms = [&] {
        auto d = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return int(std::max<long long>(0, d.count()));
    };
    auto kill_it = [&] {
        if (!result.timed_out) {
            result.timed_out = true;
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
        }
    };

    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_pipes = 2;
    while (open_pipes > 0) {
        int wait_ms = result.timed_out ? 1000 : left_ms();
        int n = poll(fds, 2, wait_ms);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            if (result.timed_out) break;  // a killed group that still holds the pipes
            kill_it();
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[8192];
            ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                sinks[i]->append(buf, size_t(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open_pipes;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) ::close(f.fd);

    int status = 0;
    for (;;) {
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) break;
        if (!result.timed_out && left_ms() == 0) kill_it();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ProcessResult run_on_small_disk(int kib, const std::string& mount_point, const std::string& program,
                                const std::vector<std::string>& args, const std::string& cwd,
                                const std::vector<std::string>& env_overrides, int timeout_ms) {
    std::vector<std::string> all = {"--user", "--map-root-user", "--mount", "sh", "-c",
                                    "mount -t tmpfs -o size=\"$0\"k tmpfs \"$1\" && cd \"$2\" || exit 125; disk=$1; shift 2; \"$@\"; "
                                    "code=$?; echo '== on the disk:'; ls -A \"$disk\"; exit $code",
                                    std::to_string(kib), mount_point, cwd, program};
    all.insert(all.end(), args.begin(), args.end());
    return run_process("/usr/bin/unshare", all, cwd, env_overrides, timeout_ms);
}

bool small_disks_available(const std::string& scratch) {
    std::string point = scratch + "/small-disk-probe";
    fs::create_directories(point);
    ProcessResult r = run_on_small_disk(8, point, "/bin/true", {}, scratch, {}, 20000);
    std::error_code ec;
    fs::remove(point, ec);
    return r.exit_code == 0;
}

// ------------------------------------------------------------ the journal

JournalLog JournalLog::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "no journal at " << path;
        return JournalLog();
    }
    std::vector<json> events;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (trim(line).empty()) continue;
        try {
            json j = json::parse(line);
            if (!j.is_object() || !j.contains("ev") || !j.contains("t"))
                ADD_FAILURE() << path << ":" << number << ": a journal line needs \"t\" and \"ev\": " << line;
            events.push_back(std::move(j));
        } catch (const json::parse_error& e) {
            ADD_FAILURE() << path << ":" << number << ": not JSON (" << e.what() << "): " << line;
        }
    }
    return JournalLog(std::move(events));
}

bool JournalLog::matches(const json& event, const std::string& ev, const json& fields) {
    if (!event.is_object() || !event.contains("ev") || event["ev"] != ev) return false;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        if (!event.contains(it.key()) || event[it.key()] != it.value()) return false;
    return true;
}

std::vector<json> JournalLog::filter(const std::string& ev, const json& fields) const {
    std::vector<json> out;
    for (auto& e : events_)
        if (matches(e, ev, fields)) out.push_back(e);
    return out;
}

int JournalLog::find(const std::string& ev, const json& fields, size_t from) const {
    for (size_t i = from; i < events_.size(); ++i)
        if (matches(events_[i], ev, fields)) return int(i);
    return -1;
}

int JournalLog::count(const std::string& ev, const json& fields) const { return int(filter(ev, fields).size()); }

::testing::AssertionResult JournalLog::in_order(const std::vector<EventPattern>& patterns) const {
    size_t from = 0;
    for (size_t k = 0; k < patterns.size(); ++k) {
        int at = find(patterns[k].ev, patterns[k].fields, from);
        if (at < 0) {
            auto r = ::testing::AssertionFailure();
            r << "event #" << k + 1 << " of the sequence, \"" << patterns[k].ev << "\" "
              << patterns[k].fields.dump() << ", not found";
            if (k > 0) r << " after the match at index " << from - 1;
            r << "\njournal:\n" << dump();
            return r;
        }
        from = size_t(at) + 1;
    }
    return ::testing::AssertionSuccess();
}

std::string JournalLog::dump() const {
    std::string out;
    size_t shown = std::min<size_t>(events_.size(), 400);
    for (size_t i = 0; i < shown; ++i) out += "  [" + std::to_string(i) + "] " + events_[i].dump() + "\n";
    if (shown < events_.size()) out += "  ... " + std::to_string(events_.size() - shown) + " more\n";
    return out;
}

// ------------------------------------------------------------ saved registry

namespace {

// A quoted text from s[*pos] == '"'; \\ and \" stand for \ and ".
bool read_quoted(const std::string& s, size_t* pos, std::string* out) {
    out->clear();
    for (size_t i = *pos + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) c = s[++i];
        *out += c;
    }
    return false;
}

bool read_hex_bytes(const std::string& s, std::vector<uint8_t>* out) {
    out->clear();
    std::string digits;
    for (char c : s) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!digits.empty()) {
                if (digits.size() > 2) return false;
                out->push_back(uint8_t(std::stoul(digits, nullptr, 16)));
                digits.clear();
            }
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else {
            return false;
        }
    }
    if (!digits.empty()) {
        if (digits.size() > 2) return false;
        out->push_back(uint8_t(std::stoul(digits, nullptr, 16)));
    }
    return true;
}

}  // namespace

SavedRegistry SavedRegistry::load(const std::string& path) {
    SavedRegistry reg;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "no saved registry at " << path;
        return reg;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string error;
    if (!reg.parse(ss.str(), &error)) ADD_FAILURE() << path << ":" << error;
    return reg;
}

bool SavedRegistry::parse(const std::string& text_in, std::string* error) {
    std::string text = text_in.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text_in.substr(3) : text_in;
    std::vector<std::string> lines = split_lines(text);
    keys_.clear();
    size_t i = 0;
    while (i < lines.size() && trim(lines[i]).empty()) ++i;
    if (i == lines.size() || trim(lines[i]) != "Windows Registry Editor Version 5.00") {
        *error = std::to_string(i + 1) + ": not registry editor text";
        return false;
    }
    Key* key = nullptr;
    for (++i; i < lines.size(); ++i) {
        int line_no = int(i + 1);
        auto fail = [&](const std::string& why) {
            *error = std::to_string(line_no) + ": " + why;
            return false;
        };
        std::string t = trim(lines[i]);
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            if (t.back() != ']') return fail("a key line must end with ']'");
            std::string path = t.substr(1, t.size() - 2);
            if (!path.empty() && path[0] == '-') {
                std::string gone = lower(path.substr(1));
                for (auto it = keys_.begin(); it != keys_.end();)
                    it = (it->first == gone || it->first.compare(0, gone.size() + 1, gone + "\\") == 0)
                             ? keys_.erase(it)
                             : std::next(it);
                key = nullptr;
            } else {
                key = &keys_[lower(path)];
            }
            continue;
        }
        if (!key) return fail("a value before any key");
        std::string name;
        size_t pos = 0;
        if (t[0] == '@') {
            pos = 1;
        } else if (t[0] != '"' || !read_quoted(t, &pos, &name)) {
            return fail("bad value name");
        }
        pos = t.find('=', pos);
        if (pos == std::string::npos) return fail("expected '='");
        std::string data = trim(t.substr(pos + 1));
        // Long hex lists go on over the following lines after a backslash.
        while (data.compare(0, 3, "hex") == 0 && !data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
            data.pop_back();
            data += trim(lines[++i]);
        }
        auto& values = key->values;
        auto existing = std::find_if(values.begin(), values.end(),
                                     [&](const auto& v) { return lower(v.first) == lower(name); });
        if (data == "-") {
            if (existing != values.end()) values.erase(existing);
            continue;
        }
        Value v;
        if (!data.empty() && data[0] == '"') {
            std::string s;
            size_t p = 0;
            if (!read_quoted(data, &p, &s)) return fail("missing closing quote");
            v.type = 1;
            v.data = utf8_to_utf16le(s);
        } else if (lower(data).compare(0, 6, "dword:") == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("bad dword");
            uint32_t d = uint32_t(std::stoul(digits, nullptr, 16));
            v.type = 4;
            v.data = {uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)};
        } else if (lower(data).compare(0, 3, "hex") == 0) {
            size_t colon = data.find(':');
            if (colon == std::string::npos) return fail("bad hex data");
            std::string kind = data.substr(3, colon - 3);
            v.type = 3;
            if (!kind.empty()) {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') return fail("bad hex type");
                v.type = uint32_t(std::stoul(kind.substr(1, kind.size() - 2), nullptr, 16));
            }
            if (!read_hex_bytes(data.substr(colon + 1), &v.data)) return fail("bad hex bytes");
        } else {
            return fail("unknown data \"" + data + "\"");
        }
        if (existing != values.end())
            existing->second = v;
        else
            values.emplace_back(name, v);
    }
    return true;
}

bool SavedRegistry::has_key(const std::string& key_path) const {
    std::string p = lower(key_path);
    for (auto& k : keys_)
        if (k.first == p || k.first.compare(0, p.size() + 1, p + "\\") == 0) return true;
    return false;
}

const SavedRegistry::Value* SavedRegistry::value(const std::string& key_path, const std::string& name) const {
    auto k = keys_.find(lower(key_path));
    if (k == keys_.end()) return nullptr;
    for (auto& v : k->second.values)
        if (lower(v.first) == lower(name)) return &v.second;
    return nullptr;
}

std::optional<uint32_t> SavedRegistry::dword(const std::string& key_path, const std::string& name) const {
    const Value* v = value(key_path, name);
    if (!v || v->type != 4 || v->data.size() != 4) return std::nullopt;
    return uint32_t(v->data[0]) | uint32_t(v->data[1]) << 8 | uint32_t(v->data[2]) << 16 | uint32_t(v->data[3]) << 24;
}

std::optional<std::string> SavedRegistry::string(const std::string& key_path, const std::string& name) const {
    const Value* v = value(key_path, name);
    if (!v || (v->type != 1 && v->type != 2)) return std::nullopt;
    return utf16le_to_utf8(v->data);
}

std::vector<std::string> SavedRegistry::value_names(const std::string& key_path) const {
    std::vector<std::string> out;
    auto k = keys_.find(lower(key_path));
    if (k != keys_.end())
        for (auto& v : k->second.values) out.push_back(v.first);
    return out;
}

// ------------------------------------------------------------ screenshots

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

Image Image::load(const std::string& path) {
    Image out;
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        ADD_FAILURE() << "cannot read the PNG " << path << ": " << img.message;
        return out;
    }
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, pixels.data(), 0, nullptr)) {
        ADD_FAILURE() << "cannot decode the PNG " << path << ": " << img.message;
        png_image_free(&img);
        return out;
    }
    out.width_ = int(img.width);
    out.height_ = int(img.height);
    out.rgb_ = std::move(pixels);
    return out;
}

Rgb Image::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is outside the " << width_ << " x " << height_
                      << " image";
        return Rgb{};
    }
    size_t at = (size_t(y) * size_t(width_) + size_t(x)) * 3;
    return Rgb{rgb_[at], rgb_[at + 1], rgb_[at + 2]};
}

int Image::count(Rgb c, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(y1, height_); ++y)
        for (int x = std::max(0, x0); x < std::min(x1, width_); ++x)
            if (pixel(x, y) == c) ++n;
    return n;
}

// ------------------------------------------------------------ folders

std::map<std::string, std::string> folder_snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    if (!fs::exists(dir, ec)) return out;
    fs::recursive_directory_iterator it(dir, ec), end;
    if (ec) {
        out["."] = "<unreadable: " + ec.message() + ">";
        return out;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) {
            out["?"] = "<unreadable: " + ec.message() + ">";
            break;
        }
        std::string rel = fs::relative(it->path(), dir, ec).string();
        if (it->is_directory(ec)) {
            out[rel] = "<dir>";
        } else {
            std::ifstream in(it->path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            out[rel] = in ? ss.str() : "<unreadable>";
        }
    }
    return out;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_picture(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb(240 * 320 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = r, rgb[i + 1] = g, rgb[i + 2] = b;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 240;
    image.height = 320;
    image.format = PNG_FORMAT_RGB;
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 240 * 3, nullptr)) << path;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

// ------------------------------------------------------------ the fixture

void SimRun::SetUp() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? safe_name(std::string(info->test_suite_name()) + "." + info->name()) : "test";
    if (name.size() > 80) name.resize(80);
    std::string pattern = base + "/dravik-" + name + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    ASSERT_NE(mkdtemp(buf.data()), nullptr) << "cannot make a temporary folder in " << base;
    dir_ = buf.data();
}

void SimRun::TearDown() {
    if (dir_.empty()) return;
    if (HasFailure()) {
        std::cerr << "[ kept     ] " << dir_ << "\n";
        if (runs_ > 0 || !last_.err.empty()) {
            std::string err = last_.err.size() > 4000 ? "..." + last_.err.substr(last_.err.size() - 4000) : last_.err;
            std::cerr << "[ last run ] exit " << last_.exit_code << (last_.timed_out ? " (timed out)" : "")
                      << ", stderr:\n" << err << "\n";
        }
        return;
    }
    make_removable(dir_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void SimRun::set_profile(const std::string& json_text) {
    has_profile_ = !json_text.empty();
    if (has_profile_) write_file(profile_path(), json_text);
}

void SimRun::set_script(const std::string& text) {
    has_script_ = !text.empty();
    if (has_script_) write_file(script_path(), text);
}

std::string SimRun::journal_path(int run_number) const {
    int n = run_number > 0 ? run_number : runs_;
    return dir_ + "/journal-" + std::to_string(n) + ".jsonl";
}

ProcessResult SimRun::run_with(const std::vector<std::string>& args) {
    fs::create_directories(dir_ + "/xdg");
    // No display: a run without a script must not open a window and wait.
    last_ = run_process(DRAVIK_SIM, args, dir_, {"XDG_DATA_HOME=" + dir_ + "/xdg", "DISPLAY=", "WAYLAND_DISPLAY="},
                        timeout_ms);
    if (last_.timed_out)
        ADD_FAILURE() << "dravik-sim did not finish within " << timeout_ms << " ms and was killed; stderr:\n"
                      << last_.err;
    return last_;
}

const ProcessResult& SimRun::run() {
    ++runs_;
    std::vector<std::string> args = {"--state", state_dir(), "--journal", journal_path(runs_),
                                     "--screenshots", screenshots_dir()};
    if (has_profile_) args.insert(args.end(), {"--profile", profile_path()});
    if (has_script_) args.insert(args.end(), {"--script", script_path()});
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    run_with(args);
    return last_;
}

JournalLog SimRun::journal(int run_number) const { return JournalLog::load(journal_path(run_number)); }

std::string SimRun::store_path(const std::string& device_path) const {
    fs::path host = state_dir() + "/store";
    std::string name;
    auto step = [&] {
        if (name.empty()) return;
        fs::path chosen = host / name;
        std::error_code ec;
        if (!fs::exists(chosen, ec))
            for (auto& e : fs::directory_iterator(host, ec))
                if (lower(e.path().filename().string()) == lower(name)) {
                    chosen = e.path();
                    break;
                }
        host = chosen;
        name.clear();
    };
    for (char c : device_path) {
        if (c == '\\' || c == '/')
            step();
        else
            name += c;
    }
    step();
    return host.string();
}

bool SimRun::store_exists(const std::string& device_path) const {
    std::error_code ec;
    return fs::exists(store_path(device_path), ec);
}

std::optional<std::string> SimRun::store_file(const std::string& device_path) const {
    std::string host = store_path(device_path);
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) return std::nullopt;
    return read_file(host);
}

std::vector<std::string> SimRun::store_names(const std::string& device_folder) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(store_path(device_folder), ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Image SimRun::screenshot(const std::string& name) const {
    return Image::load(!name.empty() && name[0] == '/' ? name : screenshots_dir() + "/" + name);
}

}  // namespace devtest
