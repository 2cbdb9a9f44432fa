// The file the registry is kept in, registry editor text from start to end.
//
// It is written whole, atomically (a temporary file in the same folder,
// flushed to disk, then renamed over the old one), and after that every
// change is appended to it as a section of its own: the key's line and the
// value set or deleted ("[HKEY_LOCAL_MACHINE\SOFTWARE\Dravik]" and
// "\"Reboot\"=dword:00000001"), which the registry editor's format reads as
// that change.  The file so always reads as the registry is, and a change
// costs the same however large the registry has grown.  Power-off writes it
// whole again (compaction), and so do power-on and a change once the
// appended text outgrows the whole text.
//
// A pulled battery (the simulator killed) keeps every change appended
// before it.  The change being appended when the battery goes either lands
// whole or not at all: an appended section never crosses a 4 KiB page of
// the file (blank lines fill the rest of a page it would not fit in), and
// the host copies each page of a write at once, so a kill leaves no torn
// line.  A change too long for one page is saved by writing the file whole.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

class RegistryFile {
public:
    RegistryFile() = default;
    RegistryFile(RegistryFile&& other) noexcept;
    RegistryFile& operator=(RegistryFile&& other) noexcept;
    RegistryFile(const RegistryFile&) = delete;
    RegistryFile& operator=(const RegistryFile&) = delete;
    ~RegistryFile();

    // The file to keep the registry in ("" keeps none).
    void attach(const std::string& path);
    const std::string& path() const { return path_; }
    // The attached file, as it was read, holds this many bytes more than
    // the registry's whole text: changes appended before.
    void holds_appended(uint64_t bytes) { appended_ = bytes; }

    // Whether appended text of this length has outgrown a whole text of
    // that length (and 64 KiB), so that the file is better written whole.
    static bool outgrown(uint64_t appended, uint64_t whole);

    // Replaces the file by `text`, atomically.  On failure *error names the
    // file and the file is as it was.
    bool write_whole(const std::string& text, std::string* error);
    // Whether a change of this many bytes is saved by writing the file
    // whole: it cannot go into one page, or the appended changes outgrow
    // the whole text.
    bool needs_whole(size_t change_bytes) const;
    // Appends one change ("[KEY]\n" and its lines, ending with a blank
    // line); on failure *error names the file and the file is as it was.
    bool append(const std::string& change, std::string* error);
    // Whether changes have been appended since the file was last written whole.
    bool has_changes() const { return appended_ > 0; }

    static constexpr size_t kPage = 4096;

private:
    void close_file();

    std::string path_;
    int fd_ = -1;             // open for appending, once a change was appended
    uint64_t size_ = 0;       // the file's length while fd_ is open
    uint64_t whole_ = 0;      // the length of the last whole text
    uint64_t appended_ = 0;   // bytes appended since
};

}  // namespace sim
