// The registry and file tests' fixture: a registry key and a folder of
// their own, empty at the start.  On the simulated device they are a fresh
// state folder (the device's registry and the root of its file store);
// elsewhere a scratch key under HKEY_CURRENT_USER and a temporary folder,
// both removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace wintest {

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The key the tests make theirs under.
    HKEY root() const;
    // A path in the folder: `name` ("f.txt", "Sub\\f.txt") after its root.
    std::basic_string<WCHAR> path(const char* name) const;
    // What a file holds, read past the file functions ("" when absent), and
    // whether it is there; a file put there the same way.
    std::string stored(const char* name) const;
    bool exists(const char* name) const;
    void put(const char* name, const std::string& bytes);
    void make_folder(const char* name);
};

}  // namespace wintest
