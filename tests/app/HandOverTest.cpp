// The paths a later start hands to the running main window: taken at once, added afterwards,
// refused with a reason when the list is not showing; data that is not a hand-over is refused.

#include <algorithm>

#include "app/HandOver.h"
#include "tests/app/WorkflowFixture.h"

namespace {

class HandOverTest : public WorkflowTest {
protected:
    // Hands `paths` over as a later start does; what the window answered.
    LRESULT HandOver(const std::vector<std::wstring>& paths) {
        std::vector<wchar_t> block = PackHandOver(paths);
        return Send(kHandOverTag, block.data(), block.size() * sizeof(wchar_t));
    }
    LRESULT Send(ULONG_PTR tag, const void* bytes, std::size_t size) {
        COPYDATASTRUCT data{};
        data.dwData = tag;
        data.cbData = static_cast<DWORD>(size);
        data.lpData = const_cast<void*>(bytes);
        return ::SendMessageW(window->Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
};

TEST_F(HandOverTest, PathsAreTakenAtOnceAndAddedAfterwardsAsADropAddsThem) {
    WriteConfig({L"#Dropfile=1"});
    Make();
    const std::wstring single = File(L"single.txt");
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\folder").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\folder\\inner").c_str(), nullptr));
    const std::wstring top = File(L"folder\\top.txt");
    const std::wstring inner = File(L"folder\\inner\\inner.txt");

    EXPECT_EQ(HandOver({single, Data() + L"\\folder", Data() + L"\\missing.txt"}), TRUE);
    EXPECT_EQ(Rows(), 0) << "the later start does not wait for the rows";
    ASSERT_TRUE(PumpUntil([&] { return Rows() == 3; }));
    // The file first, then the folder's files in the order the folder scan gives them.
    std::vector<std::wstring> listed = Paths();
    ASSERT_EQ(listed.front(), single);
    std::sort(listed.begin() + 1, listed.end());
    EXPECT_EQ(listed, (std::vector<std::wstring>{single, inner, top}));

    // Not a hand-over: another tag, an odd number of bytes, a block without its end.
    const wchar_t unended[] = {L'a', L'b'};
    EXPECT_EQ(Send(kHandOverTag + 1, single.c_str(), (single.size() + 1) * sizeof(wchar_t)), FALSE);
    EXPECT_EQ(Send(kHandOverTag, single.c_str(), 3), FALSE);
    EXPECT_EQ(Send(kHandOverTag, unended, sizeof(unended)), FALSE);
    EXPECT_EQ(Send(kHandOverTag, nullptr, 0), FALSE);
    ui::ProcessMessages();
    EXPECT_EQ(Rows(), 3);
    EXPECT_TRUE(window->HandedOverPaths.empty());
}

TEST_F(HandOverTest, WhileTheListIsHiddenTheUserIsToldWhyNothingIsAdded) {
    Make();
    const std::wstring file = File(L"file.txt");
    const struct {
        TMainWindow::ContentPanel panel;
        const wchar_t* reason;
    } cases[] = {{TMainWindow::ContentPanel::Tools, L"履歴抹消ツールの表示中は、ファイルを追加できません。"},
                 {TMainWindow::ContentPanel::Result, L"作業結果の表示中は、ファイルを追加できません。"},
                 {TMainWindow::ContentPanel::Running, L"抹消処理中のため、ファイルを追加できません。"}};
    for (const auto& test : cases) {
        window->ShowContentPanel(test.panel);
        DialogAnswerer box(App().Title(), IDOK);
        EXPECT_EQ(HandOver({file}), TRUE);
        EXPECT_TRUE(PumpUntil([&] { return window->HandedOverPaths.empty(); }));
        ASSERT_TRUE(box.Wait());
        EXPECT_NE(box.Text().find(test.reason), std::wstring::npos) << box.Text();
    }
    window->ShowContentPanel(TMainWindow::ContentPanel::List);
    EXPECT_EQ(Rows(), 0) << "refused paths are not kept for later";
    EXPECT_EQ(HandOver({file}), TRUE);
    EXPECT_TRUE(PumpUntil([&] { return Rows() == 1; }));
}

TEST_F(HandOverTest, AFolderAloneOnTheCommandLineListsItsFilesAsADroppedFolder) {
    WriteConfig({L"#Dropfile=0"});
    const std::wstring top = File(L"top.txt");
    ASSERT_TRUE(::CreateDirectoryW((Data() + L"\\inner").c_str(), nullptr));
    File(L"inner\\inner.txt");
    Make({L"\"" + Data() + L"\\\""});
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{top})) << "with #Dropfile off, no subfolder's files";
}

TEST(CommandLinePath, QuotesGoAndARelativeNameBecomesFull) {
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring base = current;
    if (base.back() != L'\\') base += L'\\';
    EXPECT_EQ(CommandLinePath(L"\"a b.txt\""), base + L"a b.txt");
    EXPECT_EQ(CommandLinePath(L"C:\\x\\..\\y.txt"), L"C:\\y.txt");
    EXPECT_EQ(CommandLinePath(L"\"\""), L"");
    EXPECT_EQ(CommandLinePath(L"C:\\data\\\\"), L"C:\\data");
    EXPECT_EQ(CommandLinePath(L"C:\\"), L"C:\\");
}

}  // namespace
