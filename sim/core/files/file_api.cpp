// The file functions of the Win32 API over the file store, with share
// modes, the profile's file faults and the "file" journal event.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include <windows.h>

#include "base/journal.h"
#include "base/profile.h"
#include "files/filestore.h"
#include "kernel/kernel_objects.h"
#include "base/text.h"
#include "base/verify.h"

namespace sim {

namespace {

constexpr DWORD kErrorDiskFull = 112;  // ERROR_DISK_FULL

std::map<std::u16string, StreamOpen>& stream_drivers() {
    static std::map<std::u16string, StreamOpen> drivers;
    return drivers;
}

// How many times each operation ("create", "open", "write", "read",
// "close", "delete") has been asked of each file since power-on.
std::map<std::pair<std::u16string, std::string>, int>& call_counts() {
    static std::map<std::pair<std::u16string, std::string>, int> counts;
    return counts;
}

// Counts one more call of `op` on the file and returns its number, from 1.
int next_call(const std::u16string& path, const char* op) { return ++call_counts()[{lower(path), op}]; }

// "file_faults": {"\\DravikFile.txt": "write"} (or a list of operations).
// "close#2" fails only the second close of the file since power-on; `call`
// is the number of the call being made (next_call).
bool file_fault(const std::u16string& path, const char* op, int call) {
    const auto& raw = profile().raw();
    auto faults = raw.find("file_faults");
    if (faults == raw.end() || !faults->is_object()) return false;
    const std::string numbered = std::string(op) + "#" + std::to_string(call);
    auto names = [&](const nlohmann::json& e) {
        return e.is_string() && (e.get<std::string>() == op || e.get<std::string>() == numbered);
    };
    for (auto it = faults->begin(); it != faults->end(); ++it) {
        if (!FileStore::same_path(to_u16(it.key()), path)) continue;
        const auto& v = it.value();
        if (names(v)) return true;
        if (v.is_array())
            for (auto& e : v)
                if (names(e)) return true;
    }
    return false;
}

// "files_held_open": files another process keeps open without sharing.
bool held_open(const std::u16string& path) {
    const auto& raw = profile().raw();
    auto held = raw.find("files_held_open");
    if (held == raw.end() || !held->is_array()) return false;
    for (auto& e : *held)
        if (e.is_string() && FileStore::same_path(to_u16(e.get<std::string>()), path)) return true;
    return false;
}

void journal_file(const char* op, const std::u16string& path, bool ok) {
    log_event("file", {{"op", op}, {"path", to_utf8(path)}, {"ok", ok}});
}

void journal_transfer(const char* op, const std::u16string& path, bool ok, DWORD bytes) {
    log_event("file", {{"op", op}, {"path", to_utf8(path)}, {"ok", ok}, {"bytes", bytes}});
}

DWORD error_from_errno(int e) {
    switch (e) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case ELOOP:  // a symbolic link, never followed
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_FILE_EXISTS;
        case ENOSPC: return kErrorDiskFull;
        case ENAMETOOLONG: return ERROR_INVALID_NAME;
    }
    return ERROR_GEN_FAILURE;
}

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator==(const FileId& o) const { return dev == o.dev && ino == o.ino; }
};

class FileObject;
std::vector<FileObject*>& open_files() {
    static std::vector<FileObject*> files;
    return files;
}

class FileObject : public StreamObject {
public:
    FileObject(std::u16string path, int fd, FileId id, DWORD access, DWORD share)
        : path_(std::move(path)), fd_(fd), id_(id), access_(access), share_(share) {
        VERIFY(store_path_ok(path_));
        VERIFY(open_file_ok(fd_, id_.dev, id_.ino));
        open_files().push_back(this);
    }
    ~FileObject() override { release(); }

    const FileId& id() const { return id_; }
    DWORD access() const { return access_; }
    DWORD share() const { return share_; }

    bool close() override {
        bool fault = file_fault(path_, "close", next_call(path_, "close"));
        release();
        journal_file("close", path_, !fault);
        if (fault) SetLastError(ERROR_GEN_FAILURE);
        return !fault;
    }

    BOOL read(void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        const int call = next_call(path_, "read");
        if (!(access_ & GENERIC_READ)) return fail_transfer("read", ERROR_ACCESS_DENIED);
        if (file_fault(path_, "read", call)) return fail_transfer("read", ERROR_READ_FAULT);
        DWORD want = file_fault(path_, "short_read", call) ? count / 2 : count;
        auto* p = static_cast<uint8_t*>(buffer);
        while (*done < want) {
            ssize_t n = pread(fd_, p + *done, want - *done, off_t(pos_ + *done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                DWORD got = *done;
                *done = 0;
                pos_ += got;
                return fail_transfer("read", ERROR_READ_FAULT);
            }
            if (n == 0) break;
            *done += DWORD(n);
        }
        pos_ += *done;
        // A bad medium: the last byte read is not the one stored.
        if (*done > 0 && file_fault(path_, "mismatch", call)) p[*done - 1] ^= 0xFF;
        journal_transfer("read", path_, true, *done);
        return TRUE;
    }

    BOOL write(const void* buffer, DWORD count, DWORD* done) override {
        *done = 0;
        const int call = next_call(path_, "write");
        if (!(access_ & GENERIC_WRITE)) return fail_transfer("write", ERROR_ACCESS_DENIED);
        if (file_fault(path_, "write", call)) return fail_transfer("write", ERROR_WRITE_FAULT);
        auto* p = static_cast<const uint8_t*>(buffer);
        before_lasting_change();
        while (*done < count) {
            ssize_t n = pwrite(fd_, p + *done, count - *done, off_t(pos_ + *done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                DWORD code = n < 0 && errno == ENOSPC ? kErrorDiskFull : ERROR_WRITE_FAULT;
                pos_ += *done;
                journal_transfer("write", path_, false, *done);
                SetLastError(code);
                return FALSE;
            }
            *done += DWORD(n);
        }
        pos_ += *done;
        // What was written lies inside the file.
        struct stat st;
        VERIFY(fstat(fd_, &st) == 0 && uint64_t(st.st_size) >= pos_);
        journal_transfer("write", path_, true, *done);
        return TRUE;
    }

private:
    BOOL fail_transfer(const char* op, DWORD code) {
        journal_transfer(op, path_, false, 0);
        SetLastError(code);
        return FALSE;
    }

    // The list of open files holds each open file once, from its opening
    // to its release.
    void release() {
        auto& files = open_files();
        auto at = std::remove(files.begin(), files.end(), this);
        VERIFY(files.end() - at == (fd_ >= 0 ? 1 : 0));
        files.erase(at, files.end());
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    std::u16string path_;
    int fd_;
    FileId id_;
    DWORD access_;
    DWORD share_;
    uint64_t pos_ = 0;
};

bool reads_or_writes(DWORD access) { return access & (GENERIC_READ | GENERIC_WRITE); }

// Whether an open with (access, share) may coexist with an open handle.
// A handle that neither reads nor writes takes part in no sharing check.
bool compatible(const FileObject& f, DWORD access, DWORD share) {
    if (!reads_or_writes(access) || !reads_or_writes(f.access())) return true;
    if ((access & GENERIC_READ) && !(f.share() & FILE_SHARE_READ)) return false;
    if ((access & GENERIC_WRITE) && !(f.share() & FILE_SHARE_WRITE)) return false;
    if ((f.access() & GENERIC_READ) && !(share & FILE_SHARE_READ)) return false;
    if ((f.access() & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return false;
    return true;
}

bool open_anywhere(const FileId& id) {
    for (auto* f : open_files())
        if (f->id() == id) return true;
    return false;
}

HANDLE open_stream(const std::u16string& name, DWORD access, DWORD share, DWORD disposition) {
    auto it = stream_drivers().find(lower(name));
    if (it == stream_drivers().end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    StreamOpen open = it->second;  // the driver may change the table
    return open(access, share, disposition);
}

}  // namespace

void reset_file_calls() { call_counts().clear(); }

void register_stream_driver(const std::u16string& name, StreamOpen open) {
    if (open)
        stream_drivers()[lower(name)] = std::move(open);
    else
        stream_drivers().erase(lower(name));
}

}  // namespace sim

using namespace sim;

extern "C" HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string given(lpFileName);
    if (!given.empty() && given.back() == u':')
        return open_stream(given, dwDesiredAccess, dwShareMode, dwCreationDisposition);

    DWORD disp = dwCreationDisposition;
    bool may_create = disp == CREATE_NEW || disp == CREATE_ALWAYS || disp == OPEN_ALWAYS;
    const char* op = may_create ? "create" : "open";
    std::u16string path = FileStore::normalize(given);
    const int call = next_call(path, op);
    auto fail = [&](DWORD code) {
        journal_file(op, path, false);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    };

    if (disp < CREATE_NEW || disp > TRUNCATE_EXISTING) return fail(ERROR_INVALID_PARAMETER);
    if (disp == TRUNCATE_EXISTING && !(dwDesiredAccess & GENERIC_WRITE)) return fail(ERROR_INVALID_PARAMETER);
    FileStore::Entry entry;
    if (DWORD err = file_store().resolve(given, &entry)) return fail(err);
    if (held_open(path)) return fail(ERROR_SHARING_VIOLATION);
    if (file_fault(path, op, call)) return fail(ERROR_ACCESS_DENIED);
    if (entry.exists && disp == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    if (entry.is_folder || entry.is_other) return fail(ERROR_ACCESS_DENIED);
    if (!entry.exists && (disp == OPEN_EXISTING || disp == TRUNCATE_EXISTING)) return fail(ERROR_FILE_NOT_FOUND);

    bool truncate = entry.exists && (disp == CREATE_ALWAYS || disp == TRUNCATE_EXISTING);
    bool writes = (dwDesiredAccess & GENERIC_WRITE) || truncate;
    if (entry.exists) {
        struct stat st;
        if (lstat(entry.host.c_str(), &st) != 0) return fail(error_from_errno(errno));
        FileId id{st.st_dev, st.st_ino};
        for (auto* f : open_files())
            if (f->id() == id && !compatible(*f, dwDesiredAccess, dwShareMode)) return fail(ERROR_SHARING_VIOLATION);
        if (writes && !(st.st_mode & S_IWUSR)) return fail(ERROR_ACCESS_DENIED);  // a read-only file
    }

    // Truncated only once it is known to be a regular file of the store.
    int flags = writes ? O_RDWR : O_RDONLY;
    if (!entry.exists) flags |= O_CREAT | O_EXCL;
    int fd = open_store_file(entry.host, flags, 0644);
    if (fd < 0) return fail(error_from_errno(errno));
    if (truncate && ftruncate(fd, 0) != 0) {
        DWORD code = error_from_errno(errno);
        ::close(fd);
        return fail(code);
    }
    if (!entry.exists && (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY)) fchmod(fd, 0444);
    struct stat st, named;
    fstat(fd, &st);
    // The file opened is the one the path names in the store.
    VERIFY(lstat(entry.host.c_str(), &named) == 0 && named.st_dev == st.st_dev && named.st_ino == st.st_ino);
    HANDLE h = add_handle(
        std::make_shared<FileObject>(path, fd, FileId{st.st_dev, st.st_ino}, dwDesiredAccess, dwShareMode));
    journal_file(op, path, true);
    bool replaced = entry.exists && (disp == CREATE_ALWAYS || disp == OPEN_ALWAYS);
    SetLastError(replaced ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    auto obj = find_handle_as<StreamObject>(hFile);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = obj->write(lpBuffer, nNumberOfBytesToWrite, &done);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
    return ok;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto obj = find_handle_as<StreamObject>(hFile);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD done = 0;
    BOOL ok = obj->read(lpBuffer, nNumberOfBytesToRead, &done);
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    return ok;
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string path = FileStore::normalize(lpFileName);
    const int call = next_call(path, "delete");
    auto fail = [&](DWORD code) {
        journal_file("delete", path, false);
        SetLastError(code);
        return FALSE;
    };
    FileStore::Entry entry;
    if (DWORD err = file_store().resolve(lpFileName, &entry)) return fail(err);
    if (held_open(path)) return fail(ERROR_SHARING_VIOLATION);
    if (!entry.exists) return fail(ERROR_FILE_NOT_FOUND);
    if (entry.is_folder) return fail(ERROR_ACCESS_DENIED);
    if (entry.is_other) return fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (lstat(entry.host.c_str(), &st) != 0) return fail(error_from_errno(errno));
    if (open_anywhere(FileId{st.st_dev, st.st_ino})) return fail(ERROR_SHARING_VIOLATION);
    if (file_fault(path, "delete", call)) return fail(ERROR_ACCESS_DENIED);
    if (!(st.st_mode & S_IWUSR)) return fail(ERROR_ACCESS_DENIED);  // a read-only file
    before_lasting_change();
    if (::unlink(entry.host.c_str()) != 0) return fail(error_from_errno(errno));
    journal_file("delete", path, true);
    return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    FileStore::Entry entry;
    DWORD err = file_store().resolve(lpFileName, &entry);
    if (!err && !entry.exists) err = ERROR_FILE_NOT_FOUND;
    if (err) {
        SetLastError(err);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (entry.is_folder) return FILE_ATTRIBUTE_DIRECTORY;
    struct stat st;
    if (lstat(entry.host.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) return FILE_ATTRIBUTE_READONLY;
    return FILE_ATTRIBUTE_NORMAL;
}
