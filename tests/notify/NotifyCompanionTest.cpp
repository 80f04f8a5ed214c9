#include <gtest/gtest.h>

#include <memory>

#include "common/Assertions.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "settings/ConfigWindow.h"
#include "tests/notify/ExpectedScripts.h"
#include "tests/notify/NotifyTestSupport.h"

namespace {

constexpr DWORD kNoConnectionWithinMs = 300;

constexpr CompanionNotice kAllKinds[] = {CompanionNotice::Start, CompanionNotice::RunEnd, CompanionNotice::Version,
                                         CompanionNotice::Settings};

// The companion is running and listening on 9801; the settings object is the program's,
// with "#Use SSTP" on and no power-off after the run.
class CompanionNotification : public testing::Test {
protected:
    void SetUp() override {
        previousHandler_ = SetAssertionHandler(RecordAssertion);
        ClearRecordedAssertions();
        ASSERT_EQ(ConfigWindow(), nullptr);
        config_ = std::make_unique<TConfigWindow>();
        config_->EditValues().UseSSTP = true;
        ASSERT_NE(companion_.Handle(), nullptr);
    }
    void TearDown() override {
        EXPECT_TRUE(RecordedAssertions().empty());
        SetAssertionHandler(previousHandler_);
    }

    // Sends every kind of notification to one listener on 9801; true when none arrived.
    bool NothingArrives(const TConfigWindow* config) {
        LoopbackListener listener(9801);
        EXPECT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";
        for (CompanionNotice kind : kAllKinds) NotifyCompanion(sstp_, config, kind);
        return !listener.Wait(kNoConnectionWithinMs).accepted;
    }

    CompanionWindow companion_;
    std::unique_ptr<TConfigWindow> config_;
    TSSTP sstp_;

private:
    AssertionHandler previousHandler_;
};

}  // namespace

TEST_F(CompanionNotification, EachNotificationArrivesByteForByte) {
    const struct {
        CompanionNotice kind;
        const char* script;
    } cases[] = {
        {CompanionNotice::Start, kStartScriptBytes},
        {CompanionNotice::RunEnd, kRunEndScriptBytes},
        {CompanionNotice::Version, kVersionScriptBytes},
        {CompanionNotice::Settings, kSettingsScriptBytes},
    };
    for (const auto& notification : cases) {
        SCOPED_TRACE(static_cast<int>(notification.kind));
        LoopbackListener listener(9801);
        ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";

        NotifyCompanion(sstp_, config_.get(), notification.kind);

        const ListenerResult received = listener.Wait();
        EXPECT_TRUE(received.peerClosed);
        EXPECT_EQ(received.bytes, ExpectedRequest(notification.script));
    }
}

TEST_F(CompanionNotification, NothingIsSentWithSstpOff) {
    config_->EditValues().UseSSTP = false;
    EXPECT_TRUE(NothingArrives(config_.get()));
}

TEST_F(CompanionNotification, NothingIsSentWhenThePowerOffFollowsTheRun) {
    config_->EditValues().PowerOffAfterRun = true;
    EXPECT_TRUE(NothingArrives(config_.get()));
}

TEST_F(CompanionNotification, NothingIsSentWithoutASettingsObject) {
    EXPECT_TRUE(NothingArrives(nullptr));

    config_.reset();
    ASSERT_EQ(ConfigWindow(), nullptr);
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";
    for (CompanionNotice kind : kAllKinds) NotifyCompanion(sstp_, kind);
    EXPECT_FALSE(listener.Wait(kNoConnectionWithinMs).accepted);
}

TEST_F(CompanionNotification, TheProgramsSettingsObjectDecides) {
    ASSERT_EQ(ConfigWindow(), config_.get());
    {
        LoopbackListener listener(9801);
        ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";
        NotifyCompanion(sstp_, CompanionNotice::RunEnd);
        EXPECT_EQ(listener.Wait().bytes, ExpectedRequest(kRunEndScriptBytes));
    }
    config_->EditValues().UseSSTP = false;
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";
    NotifyCompanion(sstp_, CompanionNotice::RunEnd);
    EXPECT_FALSE(listener.Wait(kNoConnectionWithinMs).accepted);
}

TEST_F(CompanionNotification, KindOutsideTheFourSendsNothing) {
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";
    NotifyCompanion(sstp_, config_.get(), static_cast<CompanionNotice>(4));
    EXPECT_FALSE(listener.Wait(kNoConnectionWithinMs).accepted);
}
