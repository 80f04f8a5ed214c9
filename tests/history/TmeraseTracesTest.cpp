// tmerase --traces on the browsers laid out in the prefix, from a copy of the program with a
// profile folder of its own.

#include <windows.h>

#include <gtest/gtest.h>

#include "common/Handles.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "tests/history/BrowserFixture.h"
#include "tests/history/TraceFixture.h"
#include "tests/support/Gui.h"
#include "tests/support/Tmerase.h"

using namespace traces;

namespace {

TEST(TmeraseTraces, EntriesRunWithTheProfileAndTheLinesSayWhatEachLeft) {
    BrowserLayout layout;
    TempFolder program;
    const std::wstring tmerase = program / L"tmerase.exe";
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"tmerase.exe").c_str(), tmerase.c_str(), FALSE));
    MakeFile(program / L"User\\tm\\Config.ini", "[TIDEMARROW]\r\n#IE_TOOLS_02=2\r\n");
    StandInBrowser edge(Browser::Edge);
    ASSERT_TRUE(edge.Started());
    ASSERT_TRUE(PumpUntil([] { return BrowserRunning(Browser::Edge); }));
    const std::wstring held = layout.files[static_cast<int>(Browser::Chrome)][2].front();
    UniqueFile holder(::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    const TmeraseOutcome run = RunTmerase(L"--traces chrome-history,EDGE-history,firefox-cookies --profile tm", tmerase);
    EXPECT_EQ(run.exitCode, 1u) << "something was left";
    EXPECT_EQ(run.out, EncodeCp932(L"Google Chrome\u3000履歴: " + held +
                                   L"\r\nedge-history: ブラウザーが動いているため抹消しませんでした\r\n"
                                   L"firefox-cookies: 抹消しました\r\n"));
    for (const std::wstring& file : layout.files[static_cast<int>(Browser::Firefox)][1]) EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(FileExists(layout.files[static_cast<int>(Browser::Edge)][2].front()));

    EXPECT_EQ(RunTmerase(L"--traces firefox-cookies --profile tm", tmerase).exitCode, 0u);
    EXPECT_EQ(RunTmerase(L"--traces recycle-bin --profile tm", tmerase).exitCode, 2u) << "no such entry";
    EXPECT_EQ(RunTmerase(L"--traces recent --profile elsewhere", tmerase).exitCode, 2u) << "no such profile";
}

}  // namespace
