// The registry and file tests on the simulated device: a fresh state folder.
#include "storage_test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/filestore.h"
#include "kernel/kernel_objects.h"
#include "base/profile.h"
#include "registry/registry.h"
#include "scratch.h"
#include "files/state_folder.h"

namespace wintest {

namespace {

namespace fs = std::filesystem;

simtest::ScratchDir* g_scratch = nullptr;
sim::StateFolder* g_folder = nullptr;

std::string host(const char* name) {
    std::string rel = name;
    for (char& c : rel)
        if (c == '\\') c = '/';
    return g_folder->store_path() + "/" + rel;
}

}  // namespace

void StorageTest::SetUp() {
    g_scratch = new simtest::ScratchDir("storage");
    ASSERT_FALSE(g_scratch->path().empty()) << "no temporary folder";
    sim::profile().load_json(nlohmann::json::object());
    g_folder = new sim::StateFolder;
    std::string error;
    ASSERT_TRUE(g_folder->open(g_scratch->path() + "/state", false, &error)) << error;
}

void StorageTest::TearDown() {
    sim::clear_handles();
    sim::clear_registry_handles();
    sim::registry() = sim::Registry();
    sim::file_store().set_root("");
    delete g_folder;
    g_folder = nullptr;
    delete g_scratch;
    g_scratch = nullptr;
}

HKEY StorageTest::root() const { return HKEY_LOCAL_MACHINE; }

std::basic_string<WCHAR> StorageTest::path(const char* name) const {
    std::basic_string<WCHAR> out = u"\\";
    for (const char* c = name; *c; ++c) out += WCHAR(*c);
    return out;
}

std::string StorageTest::stored(const char* name) const {
    std::ifstream in(host(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool StorageTest::exists(const char* name) const { return fs::exists(host(name)); }

void StorageTest::put(const char* name, const std::string& bytes) {
    std::ofstream out(host(name), std::ios::binary);
    out << bytes;
}

void StorageTest::make_folder(const char* name) { fs::create_directories(host(name)); }

}  // namespace wintest
