// What the tests of one part of the device start from: a scratch folder, an
// empty profile, the journal written to journal.jsonl in that folder, and
// for the parts that keep state, a state folder in it (the registry and the
// file store live there).  The drivers start as at power-on when a test asks.
// All of it is undone when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/journal.h"
#include "base/profile.h"
#include "drivers/drivers.h"
#include "files/filestore.h"
#include "files/state_folder.h"
#include "registry/registry.h"
#include "scratch.h"

namespace simtest {

class DeviceTest : public ::testing::Test {
protected:
    enum class State { None, Folder };
    explicit DeviceTest(const std::string& tag, State state = State::None)
        : scratch_(tag), with_state_(state == State::Folder) {}

    void SetUp() override {
        ASSERT_FALSE(tmp_.empty()) << "no temporary folder";
        sim::profile().load_json(nlohmann::json::object());
        std::string error;
        if (with_state_) ASSERT_TRUE(folder_.open(tmp_ + "/state", false, &error)) << error;
        ASSERT_TRUE(sim::journal().open(journal_path(), &error)) << error;
    }
    void TearDown() override {
        if (drivers_on_) sim::stop_drivers();
        sim::journal().close();
        if (with_state_) {
            sim::registry() = sim::Registry();
            sim::file_store().set_root("");
        }
        sim::profile().load_json(nlohmann::json::object());
    }

    // The drivers start from the profile, as at boot.
    void power_on(const nlohmann::json& profile) {
        sim::profile().load_json(profile);
        sim::start_drivers();
        drivers_on_ = true;
    }

    std::string journal_path() const { return tmp_ + "/journal.jsonl"; }
    std::vector<nlohmann::json> events(const char* ev, bool drop_time = false) const {
        return journal_events(journal_path(), ev, drop_time);
    }

    ScratchDir scratch_;
    std::string tmp_ = scratch_.path();
    sim::StateFolder folder_;

private:
    bool with_state_;
    bool drivers_on_ = false;
};

}  // namespace simtest
