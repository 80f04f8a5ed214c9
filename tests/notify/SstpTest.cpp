#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "common/Assertions.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "tests/notify/ExpectedScripts.h"
#include "tests/notify/NotifyTestSupport.h"

namespace {

// A connection that was going to come has come by the time SendScript returns; this only
// gives the listener's thread time to see it.
constexpr DWORD kNoConnectionWithinMs = 300;

BOOL CALLBACK CountOwnDialog(HWND window, LPARAM count) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    if (process == ::GetCurrentProcessId() && std::wstring(name) == L"#32770") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Top-level dialog boxes (message boxes among them) of this process.
int OwnDialogCount() {
    int count = 0;
    ::EnumWindows(CountOwnDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

class SstpSend : public testing::Test {
protected:
    void SetUp() override {
        previousHandler_ = SetAssertionHandler(RecordAssertion);
        ClearRecordedAssertions();
    }
    void TearDown() override {
        EXPECT_TRUE(RecordedAssertions().empty()) << "socket failures are never reported";
        SetAssertionHandler(previousHandler_);
    }

    TSSTP sstp_;

private:
    AssertionHandler previousHandler_;
};

}  // namespace

TEST(SstpNotifier, StartsOnPort9801OfLocalhostAsTamsel) {
    TSSTP sstp;
    EXPECT_EQ(sstp.Port(), 9801);
    EXPECT_EQ(sstp.Host(), L"localhost");
    EXPECT_EQ(sstp.Sender(), L"Tamsel");
    EXPECT_TRUE(sstp.Script().empty());
    EXPECT_EQ(sstp.Version(), L"OsterlanProject_SSTP_UNIT Version 1.01.60");
}

TEST(SstpNotifier, PortsAbove9999FallBackTo9801AndOthersStandAsGiven) {
    TSSTP sstp;
    sstp.SetPort(12000);
    EXPECT_EQ(sstp.Port(), 9801);
    sstp.SetPort(9821);
    EXPECT_EQ(sstp.Port(), 9821);
    sstp.SetPort(10000);
    EXPECT_EQ(sstp.Port(), 9801);
    sstp.SetPort(65535);
    EXPECT_EQ(sstp.Port(), 9801);
    sstp.SetPort(9999);
    EXPECT_EQ(sstp.Port(), 9999);
    sstp.SetPort(0);
    EXPECT_EQ(sstp.Port(), 0);
}

TEST(SstpListenerRunning, FollowsTheCompanionsTopLevelWindow) {
    TSSTP sstp;
    EXPECT_FALSE(sstp.ListenerRunning());
    {
        CompanionWindow companion;
        ASSERT_NE(companion.Handle(), nullptr);
        EXPECT_TRUE(sstp.ListenerRunning());
    }
    EXPECT_FALSE(sstp.ListenerRunning());
}

TEST(SstpListenerRunning, ChildWindowOfTheClassOrAWindowCalledSoDoNotCount) {
    TSSTP sstp;
    PlainWindow host(L"Tkeroform");
    ASSERT_NE(host.Handle(), nullptr);
    CompanionWindow child(host.Handle());
    ASSERT_NE(child.Handle(), nullptr);
    EXPECT_FALSE(sstp.ListenerRunning());
}

TEST_F(SstpSend, CompanionReceivesTheExactRequestAndTheConnectionIsClosed) {
    CompanionWindow companion;
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";

    sstp_.SendScript(CompanionScript(CompanionNotice::Settings));

    const ListenerResult received = listener.Wait();
    EXPECT_TRUE(received.accepted);
    EXPECT_TRUE(received.peerClosed) << "the notifier closes without waiting for a reply";
    EXPECT_EQ(received.bytes, ExpectedRequest(kSettingsScriptBytes));
    EXPECT_TRUE(sstp_.Script().empty());
}

TEST_F(SstpSend, NothingIsSentWithoutTheCompanionWindow) {
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";

    sstp_.SendScript(CompanionScript(CompanionNotice::Start));

    EXPECT_FALSE(listener.Wait(kNoConnectionWithinMs).accepted);
    EXPECT_TRUE(sstp_.Script().empty());
}

TEST_F(SstpSend, Port12000SendsTo9801) {
    CompanionWindow companion;
    LoopbackListener listener(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9801 of 127.0.0.1 is taken";

    sstp_.SetPort(12000);
    sstp_.SendScript(CompanionScript(CompanionNotice::RunEnd));

    const ListenerResult received = listener.Wait();
    EXPECT_TRUE(received.peerClosed);
    EXPECT_EQ(received.bytes, ExpectedRequest(kRunEndScriptBytes));
}

TEST_F(SstpSend, Port9821IsUsedAsGiven) {
    CompanionWindow companion;
    LoopbackListener listener(9821);
    LoopbackListener usual(9801);
    ASSERT_TRUE(listener.Listening()) << "port 9821 of 127.0.0.1 is taken";
    ASSERT_TRUE(usual.Listening()) << "port 9801 of 127.0.0.1 is taken";

    sstp_.SetPort(9821);
    sstp_.SendScript(CompanionScript(CompanionNotice::Start));

    const ListenerResult received = listener.Wait();
    EXPECT_TRUE(received.peerClosed);
    EXPECT_EQ(received.bytes, ExpectedRequest(kStartScriptBytes));
    EXPECT_FALSE(usual.Wait(kNoConnectionWithinMs).accepted);
}

TEST_F(SstpSend, ClosedPortFailsSilentlyAndTheNextMessageStillArrives) {
    CompanionWindow companion;
    sstp_.SetPort(9823);
    const int dialogsBefore = OwnDialogCount();
    {
        // Bound without listening: a connection to it is refused.
        ClosedPort closed(9823);
        ASSERT_TRUE(closed.Held()) << "port 9823 of 127.0.0.1 is taken";
        auto send = std::async(std::launch::async,
                               [this] { sstp_.SendScript(CompanionScript(CompanionNotice::Settings)); });
        EXPECT_EQ(send.wait_for(std::chrono::seconds(10)), std::future_status::ready)
            << "a refused connection ends the send";
        send.get();
    }
    EXPECT_TRUE(sstp_.Script().empty());
    EXPECT_EQ(OwnDialogCount(), dialogsBefore) << "nothing is shown";

    LoopbackListener listener(9823);
    ASSERT_TRUE(listener.Listening()) << "port 9823 of 127.0.0.1 is taken";
    sstp_.SendScript(CompanionScript(CompanionNotice::Settings));
    const ListenerResult received = listener.Wait();
    EXPECT_TRUE(received.peerClosed);
    EXPECT_EQ(received.bytes, ExpectedRequest(kSettingsScriptBytes));
}
