#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/Paths.h"
#include "common/TextCodec.h"
#include "settings/ConfigWindow.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"

namespace {

class FileListTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(application.Initialize());
        ::CreateDirectoryW((folder / L"User").c_str(), nullptr);
        ::CreateDirectoryW((folder / L"User\\DefaultUser").c_str(), nullptr);
        ::CreateDirectoryW(Data().c_str(), nullptr);
        ClearRecordedAssertions();
    }

    void TearDown() override {
        window.reset();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    std::wstring Data() const { return folder / L"data"; }

    // A file of `size` bytes under the data folder; its full path.
    std::wstring File(const std::wstring& name, std::size_t size = 4) {
        const std::wstring path = Data() + L"\\" + name;
        EXPECT_TRUE(WriteBytes(path, std::string(size, 'x'))) << "cannot write " << name.size();
        return path;
    }

    void WriteConfig(const std::vector<std::wstring>& keys) {
        std::vector<std::wstring> lines{L"[TIDEMARROW]"};
        lines.insert(lines.end(), keys.begin(), keys.end());
        ASSERT_TRUE(WriteTextFile(folder / L"User\\DefaultUser\\Config.ini", lines));
    }

    void Make(std::vector<std::wstring> arguments = {}) {
        window = std::make_unique<TMainWindow>(application, folder.Path(), std::move(arguments));
        ASSERT_TRUE(window->Create(application.Handle(), SW_SHOWNORMAL));
        application.SetMainWindow(window->Handle());
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(window->Handle()) != FALSE; }));
        ASSERT_NE(application.Config(), nullptr);
    }

    TConfigWindow& Config() { return *application.Config(); }
    ui::CheckListView& List() { return window->FileList; }
    int Rows() { return List().RowCount(); }
    int Icons() { return ::ImageList_GetImageCount(window->ImageList2.get()); }
    std::wstring PathAt(int row) { return List().Text(row, 4); }
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        for (int row = 0; row < Rows(); ++row) names.push_back(List().Text(row, 1));
        return names;
    }

    void Add(const std::wstring& path, bool readOnly = false, bool exclusions = false) {
        window->AddFileToList(path, readOnly, exclusions);
    }

    void Command(int action) {
        ::SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(ui::kFirstActionCommand + action, 0), 0);
    }

    void Notify(UINT code, int subItem = -1) {
        NMLISTVIEW info{};
        info.hdr.hwndFrom = List().Handle();
        info.hdr.idFrom = TMainWindow::IDC_FILELIST;
        info.hdr.code = code;
        info.iItem = -1;
        info.iSubItem = subItem;
        ::SendMessageW(window->Handle(), WM_NOTIFY, TMainWindow::IDC_FILELIST, reinterpret_cast<LPARAM>(&info));
    }

    void Select(int row) {
        ListView_SetItemState(List().Handle(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }

    // Drops `paths` on the window as the shell does: a DROPFILES block followed by the
    // NUL-separated wide names and a closing NUL.
    void Drop(const std::vector<std::wstring>& paths) {
        std::wstring names;
        for (const std::wstring& path : paths) names += path + L'\0';
        names += L'\0';
        const SIZE_T bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
        HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
        ASSERT_NE(memory, nullptr);
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory);
        ::SendMessageW(window->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
        // The window releases the drop; the handle is gone afterwards.
        EXPECT_EQ(::GlobalSize(memory), 0u) << "the drop was released";
    }

    bool Reported(const std::wstring& message) {
        for (const RecordedAssertion& report : RecordedAssertions())
            if (report.message == message) return true;
        return false;
    }

    TempFolder folder;
    TApplication application;
    std::unique_ptr<TMainWindow> window;
};

TEST_F(FileListTest, TheTempFolderIsOnAFixedDiskAndFoldersAreNot) {
    Make();
    const std::wstring file = File(L"a.txt");
    EXPECT_EQ(::GetDriveTypeW((folder.Path().substr(0, 2) + L"\\").c_str()), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_TRUE(TMainWindow::IsOnFixedDisk(file));
    EXPECT_FALSE(TMainWindow::IsOnFixedDisk(Data())) << "a folder";
    EXPECT_FALSE(TMainWindow::IsOnFixedDisk(Data() + L"\\missing.txt"));
    EXPECT_FALSE(TMainWindow::IsOnFixedDisk(L"a.txt")) << "no drive letter";
}

TEST_F(FileListTest, AnExistingFileBecomesOneTickedRowWithItsOwnIcon) {
    Make();
    const std::wstring file = File(L"report.doc", 10);
    Add(Data() + L"\\missing.txt");
    Add(Data());
    EXPECT_EQ(Rows(), 0) << "missing files and folders are skipped";
    Add(file);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(List().Text(0, 0), L"");
    EXPECT_EQ(List().Text(0, 1), L"report.doc");
    EXPECT_EQ(List().Text(0, 2), L"DOC");
    EXPECT_EQ(List().Text(0, 3), std::wstring(38, L' ') + L"10");
    EXPECT_EQ(PathAt(0), file);
    EXPECT_TRUE(List().IsTicked(0));
    EXPECT_EQ(Icons(), 1);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    ASSERT_TRUE(::SendMessageW(List().Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.iImage, 0);
    EXPECT_TRUE(::IsWindowEnabled(window->BitBtn1.Handle())) << "the list actions follow";

    Add(file);
    EXPECT_EQ(Rows(), 2) << "the same file twice gives two rows";
    EXPECT_EQ(Icons(), 2);
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(FileListTest, ExtensionTextsAreUpperCaseWithoutDots) {
    Make();
    Add(File(L"noext"));
    Add(File(L"archive.tar.gz"));
    Add(File(L"mixed.Txt"));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(List().Text(0, 2), L"ファイル");
    EXPECT_EQ(List().Text(1, 2), L"GZ");
    EXPECT_EQ(List().Text(2, 2), L"TXT");
}

TEST_F(FileListTest, SizesShowTheUsersThousandsSeparatorRightAlignedInForty) {
    Make();
    wchar_t separator[8] = {};
    ASSERT_GT(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8), 0);
    const std::wstring sep = separator;
    std::wstring expected = L"1" + sep + L"234" + sep + L"567";
    expected.insert(0, 40 - expected.size(), L' ');
    Add(File(L"big.bin", 1234567));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(List().Text(0, 3), expected);
    if (sep == L",") {
        EXPECT_EQ(List().Text(0, 3), std::wstring(31, L' ') + L"1,234,567");
    }
    EXPECT_EQ(TMainWindow::SizeText(0), std::wstring(39, L' ') + L"0");
}

TEST_F(FileListTest, ReadOnlyFilesAreRefusedOnlyWithExclusionsAndTheSettingBothOn) {
    Make();
    const std::wstring file = File(L"locked.txt");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    Add(file, true, true);
    EXPECT_EQ(Rows(), 0);
    Add(file, true, false);
    EXPECT_EQ(Rows(), 1) << "exclusions off admit it";
    Add(file, false, true);
    EXPECT_EQ(Rows(), 2) << "the setting off admits it";
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileListTest, ExcludedExtensionsAreRefusedInAnyCaseWhileExclusionsAreOn) {
    WriteConfig({L"#Remove enable=1"});
    Make();
    Config().EditEntries(ExtensionList::Exclusion) = {L"log"};
    Add(File(L"upper.LOG"), false, Config().ExclusionActive());
    Add(File(L"lower.log"), false, Config().ExclusionActive());
    EXPECT_EQ(Rows(), 0);
    Add(Data() + L"\\upper.LOG", false, false);
    EXPECT_EQ(Rows(), 1) << "without exclusions the extension does not matter";
    Add(File(L"other.txt"), false, true);
    EXPECT_EQ(Rows(), 2);
}

TEST_F(FileListTest, AFileHeldOpenElsewhereGetsNoRowAndIsReported) {
    Make();
    const std::wstring file = File(L"open.txt");
    HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Add(file);
    ::CloseHandle(held);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Icons(), 0) << "no icon is kept for a refused file";
    EXPECT_TRUE(Reported(L"Out of zero"));
}

TEST_F(FileListTest, NothingIsAddedWhileTheMainPanelIsHidden) {
    Make();
    const std::wstring file = File(L"a.txt");
    window->ShowContentPanel(TMainWindow::ContentPanel::Running);
    Add(file);
    EXPECT_EQ(Rows(), 0);
    window->ShowContentPanel(TMainWindow::ContentPanel::List);
    Add(file);
    EXPECT_EQ(Rows(), 1);
}

TEST_F(FileListTest, RemovingByTickStateTakesExactlyThoseRows) {
    Make();
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt"}) Add(File(name));
    List().SetTicked(3, false);
    EXPECT_EQ(window->CountTicked(), 3);
    Command(11);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    List().SetTicked(0, false);
    List().SetTicked(2, false);
    Command(12);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"c.txt"}));
    Command(6);
    EXPECT_EQ(window->CountTicked(), 0);
    Command(5);
    EXPECT_EQ(window->CountTicked(), 2);
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(FileListTest, ReloadKeepsTheFilesThatStillExistTickedWithFreshIcons) {
    Make();
    const std::wstring a = File(L"a.txt", 3), b = File(L"b.txt"), c = File(L"c.txt");
    for (const auto& path : {a, b, c}) Add(path);
    List().SetTicked(0, false);
    ASSERT_TRUE(::DeleteFileW(b.c_str()));
    ASSERT_TRUE(WriteBytes(a, "longer now"));
    window->ReloadFileList();
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(PathAt(0), a);
    EXPECT_EQ(PathAt(1), c);
    EXPECT_EQ(window->CountTicked(), 2);
    EXPECT_EQ(Icons(), 2);
    EXPECT_EQ(List().Text(0, 3), std::wstring(38, L' ') + L"10") << "the size is read again";
}

TEST_F(FileListTest, HeaderClicksSortAscendingThenReverse) {
    Make();
    Add(File(L"b.txt", 1000));
    Add(File(L"A.txt", 999));
    Add(File(L"c.txt", 5));
    EXPECT_EQ(window->SortColumn, 0);
    EXPECT_FALSE(window->SortAscending);
    Notify(LVN_COLUMNCLICK, 3);
    EXPECT_EQ(window->SortColumn, 3);
    EXPECT_TRUE(window->SortAscending);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt", L"A.txt", L"b.txt"})) << "999 before 1,000";
    Notify(LVN_COLUMNCLICK, 1);
    EXPECT_FALSE(window->SortAscending) << "any further click reverses";
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt", L"b.txt", L"A.txt"}));
    Notify(LVN_COLUMNCLICK, 1);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"A.txt", L"b.txt", L"c.txt"})) << "letters folded";
    EXPECT_EQ(window->CountTicked(), 3) << "ticks travel with their rows";
}

TEST_F(FileListTest, SortingByTheFirstColumnOrdersByTickState) {
    Make();
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) Add(File(name));
    List().SetTicked(0, false);
    Notify(LVN_COLUMNCLICK, 0);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"b.txt", L"c.txt", L"a.txt"}));
    EXPECT_FALSE(List().IsTicked(2));
    Notify(LVN_COLUMNCLICK, 0);
    EXPECT_EQ(Names().front(), L"a.txt");
    EXPECT_FALSE(List().IsTicked(0));
}

TEST_F(FileListTest, DroppedFoldersGiveTopLevelFilesUnlessDropfileIsOn) {
    WriteConfig({L"#Dropfile=0"});
    Make();
    const std::wstring top = File(L"top.txt");
    ::CreateDirectoryW((Data() + L"\\sub").c_str(), nullptr);
    File(L"sub\\deep.txt");
    const std::wstring single = folder / L"single.txt";
    ASSERT_TRUE(WriteBytes(single, "x"));
    Drop({single, Data()});
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"single.txt", L"top.txt"}));

    window->ClearFileList();
    Config().EditValues().Dropfile = true;
    Drop({Data()});
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(List().Text(0, 1) + L"|" + List().Text(1, 1) == L"deep.txt|top.txt" ||
                  List().Text(0, 1) + L"|" + List().Text(1, 1) == L"top.txt|deep.txt",
              true);
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(FileListTest, ADropWhileBusyIsIgnoredButReleased) {
    Make();
    const std::wstring file = File(L"a.txt");
    window->Busy = true;
    Drop({file});
    EXPECT_EQ(Rows(), 0);
    window->Busy = false;
    Drop({file});
    EXPECT_EQ(Rows(), 1);
}

TEST_F(FileListTest, ClearAllAsksFirst) {
    Make();
    Add(File(L"a.txt"));
    {
        DialogAnswerer no(L"リストクリアの確認", IDNO);
        Command(4);
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"ファイルリストをクリアします。よろしいですか？\u3000"), std::wstring::npos);
    }
    EXPECT_EQ(Rows(), 1);
    DialogAnswerer yes(L"リストクリアの確認", IDYES);
    Command(4);
    ASSERT_TRUE(yes.Wait());
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Icons(), 0);
}

TEST_F(FileListTest, RemovingTheSelectedRowAsksFirst) {
    Make();
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) Add(File(name));
    Select(1);
    {
        DialogAnswerer no(L"確認", IDNO);
        Command(22);
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"このファイルをリストから削除します。よろしいですか？"), std::wstring::npos);
    }
    EXPECT_EQ(Rows(), 3);
    {
        DialogAnswerer yes(L"確認", IDYES);
        Command(22);
        ASSERT_TRUE(yes.Wait());
    }
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"c.txt"}));
    Select(0);
    DialogAnswerer yes(L"確認", IDYES);
    Notify(NM_DBLCLK);
    ASSERT_TRUE(yes.Wait());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt"}));
}

TEST_F(FileListTest, TheRightButtonOpensThePopupOnlyWithASelectedRow) {
    Make();
    Add(File(L"a.txt"));
    std::atomic<bool> shown{false}, busyWhileShown{false}, returned{false};
    // Closes the menu when it shows; stops once the handler has returned.
    auto watch = [&] {
        const ULONGLONG deadline = ::GetTickCount64() + 5000;
        while (!returned && ::GetTickCount64() < deadline) {
            HWND menu = ::FindWindowW(L"#32768", nullptr);
            if (menu && ::IsWindowVisible(menu)) {
                shown = true;
                busyWhileShown = window->PopupBusy;
                ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                return;
            }
            ::Sleep(10);
        }
    };
    {
        std::thread watcher(watch);
        Notify(NM_RCLICK);  // no row selected: nothing opens
        returned = true;
        watcher.join();
        EXPECT_FALSE(shown);
    }
    Select(0);
    returned = false;
    std::thread watcher(watch);
    Notify(NM_RCLICK);
    returned = true;
    watcher.join();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(busyWhileShown);
    EXPECT_FALSE(window->PopupBusy) << "cleared when the menu closes";
}

TEST_F(FileListTest, AddingAFolderAsksAboutSubfolders) {
    Make();
    File(L"top.txt");
    ::CreateDirectoryW((Data() + L"\\sub").c_str(), nullptr);
    File(L"sub\\deep.txt");
    {
        DialogAnswerer no(application.Title(), IDNO);
        window->AddFolderFiles(Data());
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"フォルダ内のファイルを追加します。"), std::wstring::npos);
        EXPECT_NE(no.Text().find(L"\"" + Data() + L"\""), std::wstring::npos);
        EXPECT_NE(no.Text().find(L" のサブフォルダも検索し追加しますか？"), std::wstring::npos);
    }
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"top.txt"}));
    window->ClearFileList();
    DialogAnswerer yes(application.Title(), IDYES);
    window->AddFolderFiles(Data());
    ASSERT_TRUE(yes.Wait());
    EXPECT_EQ(Rows(), 2);
}

TEST_F(FileListTest, TheCommandLineFileIsAddedThroughTheGate) {
    const std::wstring file = File(L"secret file.txt");
    Make({L"\"" + file + L"\""});
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(PathAt(0), file);
    EXPECT_TRUE(window->PendingCommandLineFile.empty());
}

TEST_F(FileListTest, ARefusedCommandLineFileLeavesTheListEmpty) {
    WriteConfig({L"#Remove enable=1", L"#RemoveReadOnly=1"});
    const std::wstring file = File(L"ro.txt");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    Make({file});
    EXPECT_EQ(Rows(), 0);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
