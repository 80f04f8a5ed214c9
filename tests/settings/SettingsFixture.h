#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "settings/ConfigWindow.h"
#include "tests/support/TempFolder.h"

// A profile folder of its own for every test, with assertion reports kept in memory.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        previousHandler_ = SetAssertionHandler(RecordAssertion);
        ClearRecordedAssertions();
        profile_ = root_ / L"DefaultUser";
        ::CreateDirectoryW(profile_.c_str(), nullptr);
    }
    void TearDown() override { SetAssertionHandler(previousHandler_); }

    std::wstring ConfigPath() const { return profile_ + L"\\Config.ini"; }
    std::wstring DataPath(const std::wstring& name) const { return profile_ + L"\\Savedat\\" + name; }
    void MakeDataFolder() const { ::CreateDirectoryW((profile_ + L"\\Savedat").c_str(), nullptr); }

    // A store pointed at the test's profile, with Config.ini (when given) written first.
    void WriteConfig(const std::string& text) const { ASSERT_TRUE(WriteBytes(ConfigPath(), text)); }

    std::vector<std::wstring> ReportMessages() const {
        std::vector<std::wstring> messages;
        for (const auto& report : RecordedAssertions()) messages.push_back(report.message);
        return messages;
    }

    TempFolder root_;
    std::wstring profile_;

private:
    AssertionHandler previousHandler_;
};
