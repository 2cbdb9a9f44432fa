// The device's own folders, as its factory image has them, and the one way
// to make a device path from a folder and a name.
#pragma once

#include <string>
#include <string_view>

namespace sim {

inline constexpr char16_t kWindowsFolder[] = u"\\Windows";
inline constexpr char16_t kStartupFolder[] = u"\\Windows\\StartUp";
inline constexpr char16_t kMyDocumentsFolder[] = u"\\My Documents";
// The program, where it is installed.
inline constexpr char16_t kProgramPath[] = u"\\Windows\\Dravik.exe";

// The path of `name` inside `folder`: "\Windows" and "Alarm3.WAV" give
// "\Windows\Alarm3.WAV"; "" (or "\") is the root folder, so "" and
// "Windows" give "\Windows".
inline std::u16string device_path(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += name;
    return path;
}

}  // namespace sim
