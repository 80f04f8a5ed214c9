#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "common/Assertions.h"
#include "common/FileSystem.h"
#include "common/Paths.h"
#include "engine/EraseFunc.h"
#include "common/TextCodec.h"
#include "settings/ConfigWindow.h"
#include "tests/dialogs/TestPictures.h"
#include "tests/support/Gui.h"
#include "tests/dialogs/PickerDriver.h"
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
    int Icons() { return ::ImageList_GetImageCount(window->FileIcons.get()); }
    std::wstring PathAt(int row) { return List().Text(row, 4); }
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> names;
        for (int row = 0; row < Rows(); ++row) names.push_back(List().Text(row, 1));
        return names;
    }

    void Add(const std::wstring& path, bool readOnly = false, bool exclusions = false) {
        window->AddFileToList(path, readOnly, exclusions);
    }

    void SendCommand(int action) {
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
    EXPECT_TRUE(::IsWindowEnabled(window->StartButton.Handle())) << "the list actions follow";

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
    SendCommand(Command::RemoveUnticked);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    List().SetTicked(0, false);
    List().SetTicked(2, false);
    SendCommand(Command::RemoveTicked);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"c.txt"}));
    SendCommand(Command::UntickAll);
    EXPECT_EQ(window->CountTicked(), 0);
    SendCommand(Command::TickAll);
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

    // Double-byte names keep their byte order: the second bytes of カ and ニ differ as J and j do.
    window->ClearFileList();
    for (const wchar_t* name : {L"ニ.txt", L"ア.txt", L"ヂ.txt", L"カ.txt"}) Add(File(name));
    Notify(LVN_COLUMNCLICK, 1);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"ニ.txt", L"ヂ.txt", L"カ.txt", L"ア.txt"}));
    Notify(LVN_COLUMNCLICK, 4);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"ア.txt", L"カ.txt", L"ヂ.txt", L"ニ.txt"}));
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

TEST_F(FileListTest, AFolderGoesInWithTheSizesAndAttributesOfItsListingThroughTheSameRules) {
    WriteConfig({L"#Dropfile=0", L"#Remove enable=1", L"#RemoveReadOnly=1"});
    Make();
    Config().EditEntries(ExtensionList::Exclusion) = {L"log"};
    std::vector<std::wstring> files;
    for (std::size_t size : {1234567u, 0u, 999u, 1000u, 5u}) files.push_back(File(L"f" + std::to_wstring(size) + L".dat", size));
    const std::wstring readOnly = File(L"held.txt", 7);
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    File(L"skipped.LOG", 3);
    Drop({Data()});
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // The rows a file at a time through the gate would give, in the folder's order.
    std::vector<std::wstring> listed;
    CollectFolder(Data(), L"", listed, false);
    std::vector<std::wstring> expected;
    for (const std::wstring& path : listed)
        if (std::find(files.begin(), files.end(), path) != files.end()) expected.push_back(path);
    ASSERT_EQ(Rows(), 5) << "neither the read-only file nor the excluded extension";
    for (int row = 0; row < Rows(); ++row) {
        EXPECT_EQ(PathAt(row), expected[static_cast<std::size_t>(row)]);
        EXPECT_EQ(List().Text(row, 3), TMainWindow::SizeText(FileSizeOf(PathAt(row))));
        EXPECT_TRUE(List().IsTicked(row));
    }
    EXPECT_EQ(Icons(), 5);
    EXPECT_TRUE(window->Actions[Command::StartRun].Enabled()) << "the list actions follow the batch";
    Notify(LVN_COLUMNCLICK, 3);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"f0.dat", L"f5.dat", L"f999.dat", L"f1000.dat", L"f1234567.dat"}));
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

    // A folder whose path is beyond the classic limit is taken whole.
    window->ClearFileList();
    std::wstring deep = Data();
    while (deep.size() <= MAX_PATH) {
        deep += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(::CreateDirectoryW(SystemPathOf(deep).c_str(), nullptr));
    }
    ASSERT_TRUE(WriteBytes(SystemPathOf(deep + L"\\far.txt"), "x"));
    Drop({deep});
    EXPECT_EQ(Rows() == 1 ? PathAt(0) : L"", deep + L"\\far.txt");
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
        SendCommand(Command::ClearList);
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"ファイルリストをクリアします。よろしいですか？\u3000"), std::wstring::npos);
    }
    EXPECT_EQ(Rows(), 1);
    DialogAnswerer yes(L"リストクリアの確認", IDYES);
    SendCommand(Command::ClearList);
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
        SendCommand(Command::RemoveSelected);
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(no.Text().find(L"このファイルをリストから削除します。よろしいですか？"), std::wstring::npos);
    }
    EXPECT_EQ(Rows(), 3);
    {
        DialogAnswerer yes(L"確認", IDYES);
        SendCommand(Command::RemoveSelected);
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

// A stand-in for the system's redirection switch of 64-bit Windows (Wine's 32-bit prefix has
// none), telling whether it is off.
struct RedirectionSwitch {
    static inline bool off = false;
    static BOOL WINAPI Disable(PVOID* old) {
        *old = nullptr;
        off = true;
        return TRUE;
    }
    static BOOL WINAPI Revert(PVOID) {
        off = false;
        return TRUE;
    }
};

TEST_F(FileListTest, TheGateLooksAtTheFileWithTheSystemFolderRedirectionOff) {
    WriteConfig({L"#Remove enable=1", L"#RemoveReadOnly=1"});
    Make();
    const std::wstring file = File(L"x.dll");
    std::vector<std::pair<std::wstring, bool>> calls;
    FileSystemRedirectionCalls fake;
    fake.disable = RedirectionSwitch::Disable;
    fake.revert = RedirectionSwitch::Revert;
    fake.watchCall = [&](const std::wstring& path) { calls.emplace_back(path, RedirectionSwitch::off); };
    const FileSystemRedirectionCalls previous = SetFileSystemRedirectionCalls(fake);
    Add(file, true, true);
    SetFileSystemRedirectionCalls(previous);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(PathAt(0), file);
    // Attributes (existence and read-only at once) and size: each call on the file, each with
    // the redirection off.
    EXPECT_GE(std::count_if(calls.begin(), calls.end(), [&](const auto& call) { return call.first == SystemPathOf(file); }), 2);
    for (const auto& [path, off] : calls) EXPECT_TRUE(off);
    EXPECT_FALSE(RedirectionSwitch::off);
}

TEST_F(FileListTest, ADroppedFolderListsOddNamesAndSaysHowManyFilesNoPathReaches) {
    // The folder of odd names that tests/realfs/fixtures.sh makes natively (Windows cannot).
    const wchar_t* unix = _wgetenv(L"TM_REALFS");
    std::wstring odd = unix ? std::wstring(L"Z:") + unix + L"/odd" : L"";
    std::replace(odd.begin(), odd.end(), L'/', L'\\');
    if (odd.empty() || !DirectoryExists(odd)) GTEST_SKIP() << "needs the realfs fixture of ctest";
    int reachable = 0;
    CollectFolderEntries(odd, L"", [&](const FolderEntry& entry) { reachable += !entry.folder && entry.addressable; }, false);
    if (::GetDriveTypeW(L"Z:\\") != DRIVE_FIXED) reachable = 0;

    WriteConfig({L"#Dropfile=0"});
    Make();
    DialogAnswerer told(application.Title(), IDOK);
    Drop({odd});
    ASSERT_TRUE(told.Wait());
    // "back\slash", "q?.txt", "st*r" and "pi|pe" cannot be named by any path.
    EXPECT_NE(told.Text().find(L"リストに追加できないファイルが4個ありました。"), std::wstring::npos) << told.Text();
    EXPECT_EQ(Rows(), reachable);
    for (int row = 0; row < Rows(); ++row) {
        EXPECT_TRUE(FileExists(PathAt(row)));
        EXPECT_EQ(PathAt(row).rfind(odd + L"\\", 0), 0u) << "the plain path is listed";
    }
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


// ---- small icons: each row shows the picture the shell gives for its file ----


// The 16 x 16 picture an icon leaves on black, as 0xRRGGBB values row by row.
std::vector<std::uint32_t> PictureOf(HICON icon) {
    std::vector<std::uint32_t> pixels;
    if (!icon) return pixels;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    if (!bitmap || !memory) return pixels;
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    std::memset(bits, 0, 16 * 16 * 4);
    ::DrawIconEx(memory, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    const auto* words = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < 16 * 16; ++i) pixels.push_back(words[i] & 0xFFFFFF);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(bitmap);
    return pixels;
}

// What the shell itself gives for the file.
std::vector<std::uint32_t> ShellPicture(const std::wstring& path) {
    SHFILEINFOW info{};
    ::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON);
    std::vector<std::uint32_t> pixels = PictureOf(info.hIcon);
    if (info.hIcon) ::DestroyIcon(info.hIcon);
    return pixels;
}

// True when the pictures have the same size and differ by at most `tolerance` per channel.
bool SamePicture(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int tolerance = 3) {
    if (a.empty() || a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift <= 16; shift += 8)
            if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF)) >
                tolerance)
                return false;
    return true;
}

bool NearColour(std::uint32_t pixel, COLORREF colour) {
    const std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) |
                              GetBValue(colour);
    return SamePicture({pixel}, {rgb}, 12);
}

// A file type registered for this test, whose icon is "%1": the shell takes it from each file.
class RegisteredType {
public:
    RegisteredType() {
        extension_ = L".tmicon" + std::to_wstring(::GetCurrentProcessId());
        program_ = L"TidemarrowTestIcon" + std::to_wstring(::GetCurrentProcessId());
        ok_ = SetDefault(extension_, program_) && SetDefault(program_ + L"\\DefaultIcon", L"%1");
    }
    ~RegisteredType() {
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, (program_ + L"\\DefaultIcon").c_str());
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, program_.c_str());
        ::RegDeleteKeyW(HKEY_CLASSES_ROOT, extension_.c_str());
    }
    RegisteredType(const RegisteredType&) = delete;
    RegisteredType& operator=(const RegisteredType&) = delete;
    bool ok() const { return ok_; }
    const std::wstring& Extension() const { return extension_; }

private:
    static bool SetDefault(const std::wstring& name, const std::wstring& value) {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const bool set = ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        return set;
    }
    std::wstring extension_, program_;
    bool ok_ = false;
};

class SmallIconTest : public FileListTest {
protected:
    int ImageOf(int row) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ::SendMessageW(List().Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // The picture the row shows, taken from FileIcons.
    std::vector<std::uint32_t> RowPicture(int row) {
        HICON icon = ::ImageList_GetIcon(window->FileIcons.get(), ImageOf(row), ILD_NORMAL);
        std::vector<std::uint32_t> pixels = PictureOf(icon);
        if (icon) ::DestroyIcon(icon);
        return pixels;
    }
    std::wstring IconFile(const std::wstring& name, COLORREF colour) {
        const std::wstring path = Data() + L"\\" + name;
        EXPECT_TRUE(WriteBytes(path, MakeIco(colour, 16)));
        return path;
    }
};

TEST_F(SmallIconTest, RowsOfOneTypeAndFilesWithTheirOwnIconsShowTheShellsPictures) {
    Make();
    const std::wstring red = IconFile(L"red.ico", RGB(220, 0, 0));
    const std::wstring blue = IconFile(L"blue.ICO", RGB(0, 0, 220));
    const std::vector<std::wstring> paths{File(L"a.txt"), red, File(L"b.txt"), blue, File(L"noext"),
                                          File(L"picture.zzq")};
    for (const auto& path : paths) Add(path);
    ASSERT_EQ(Rows(), static_cast<int>(paths.size()));
    EXPECT_EQ(Icons(), Rows()) << "every row has an icon of its own";
    for (int row = 0; row < Rows(); ++row) {
        EXPECT_EQ(ImageOf(row), row);
        const std::vector<std::uint32_t> shown = RowPicture(row), shell = ShellPicture(paths[row]);
        ASSERT_EQ(shown.size(), 256u) << row;
        EXPECT_TRUE(SamePicture(shown, shell)) << "row " << row << " shows what the shell gives for its file";
    }
    // Icon files are asked for one by one: where the shell shows their own pictures, so do the
    // rows (which shell does is the platform's business; the registered type below always does).
    const bool ownPictures = NearColour(ShellPicture(red)[8 * 16 + 8], RGB(220, 0, 0));
    EXPECT_EQ(NearColour(RowPicture(1)[8 * 16 + 8], RGB(220, 0, 0)), ownPictures);
    EXPECT_EQ(NearColour(RowPicture(3)[8 * 16 + 8], RGB(0, 0, 220)), ownPictures);
    EXPECT_EQ(RowPicture(0), RowPicture(2)) << "two text files, one picture";
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(SmallIconTest, ProgramsShowThePictureTheShellGivesEachOfThem) {
    Make();
    // This test program carries the application's icon.
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring withIcon = Data() + L"\\with icon.exe";
    ASSERT_TRUE(::CopyFileW(self.c_str(), withIcon.c_str(), FALSE));
    const std::wstring bare = File(L"bare.exe", 64);
    const std::wstring second = File(L"second.EXE", 64);
    for (const auto& path : {withIcon, bare, second}) Add(path);
    ASSERT_EQ(Rows(), 3);
    EXPECT_TRUE(SamePicture(RowPicture(0), ShellPicture(withIcon))) << "the program's own icon";
    EXPECT_TRUE(SamePicture(RowPicture(1), ShellPicture(bare))) << "a program without icons";
    EXPECT_TRUE(SamePicture(RowPicture(2), ShellPicture(second)));
    EXPECT_EQ(RowPicture(0) != RowPicture(1), ShellPicture(withIcon) != ShellPicture(bare))
        << "the program's own icon where the shell shows it";
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(SmallIconTest, ATypeRegisteredWithPercentOneIconIsAskedForFileByFile) {
    RegisteredType type;
    ASSERT_TRUE(type.ok());
    Make();
    const std::wstring green = IconFile(L"green" + type.Extension(), RGB(0, 200, 0));
    const std::wstring violet = IconFile(L"violet" + type.Extension(), RGB(200, 0, 200));
    const std::wstring plain = File(L"plain" + type.Extension(), 40);  // holds no icon
    Add(green);
    Add(violet);
    Add(plain);
    ASSERT_EQ(Rows(), 3);
    EXPECT_TRUE(SamePicture(RowPicture(2), ShellPicture(plain))) << "without an icon in it, the shell's picture";
    EXPECT_TRUE(SamePicture(RowPicture(0), ShellPicture(green)));
    EXPECT_TRUE(SamePicture(RowPicture(1), ShellPicture(violet)));
    EXPECT_TRUE(NearColour(RowPicture(0)[8 * 16 + 8], RGB(0, 200, 0))) << "the shell shows each file's own picture";
    EXPECT_TRUE(NearColour(RowPicture(1)[8 * 16 + 8], RGB(200, 0, 200)));
}


// ---- the add commands through the platform's own dialogs ----

// Polls from a watcher thread; the dialog's own thread does the work meanwhile.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(20);
    }
    return true;
}

HWND OwnDialogWith(const wchar_t* childClass) {
    return FindOwnDialog(
        [childClass](HWND dialog) { return ::FindWindowExW(dialog, nullptr, childClass, nullptr) != nullptr; });
}

BOOL CALLBACK CollectTexts(HWND hwnd, LPARAM lParam) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    *reinterpret_cast<std::wstring*>(lParam) += std::wstring(text) + L"\n";
    return TRUE;
}

// Waits on a thread of its own for the folder browser, selects `folder` in it and presses
// `button` (IDOK or IDCANCEL); keeps the texts of the browser's controls.
class FolderBrowserAnswerer {
public:
    FolderBrowserAnswerer(std::wstring folder, int button) : folder_(std::move(folder)) {
        watcher_ = std::thread([this, button] {
            HWND browser = nullptr;
            if (!WaitFor([&] { return (browser = OwnDialogWith(WC_TREEVIEWW)) != nullptr; })) return;
            ::EnumChildWindows(browser, CollectTexts, reinterpret_cast<LPARAM>(&texts_));
            // The browser may still be filling its tree and choosing its first folder: the
            // folder is chosen until the tree shows it selected.
            HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
            const std::wstring name = folder_.substr(folder_.find_last_of(L'\\') + 1);
            WaitFor([&] {
                ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder_.c_str()));
                ::Sleep(50);
                wchar_t text[MAX_PATH] = {};
                TVITEMW item{};
                item.mask = TVIF_TEXT;
                item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
                item.pszText = text;
                item.cchTextMax = MAX_PATH;
                return item.hItem && ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
                       name == text;
            });
            ::PostMessageW(browser, WM_COMMAND, button, 0);
            answered_ = true;
        });
    }
    ~FolderBrowserAnswerer() {
        if (watcher_.joinable()) watcher_.join();
    }
    FolderBrowserAnswerer(const FolderBrowserAnswerer&) = delete;
    FolderBrowserAnswerer& operator=(const FolderBrowserAnswerer&) = delete;
    bool Wait() {
        if (watcher_.joinable()) watcher_.join();
        return answered_;
    }
    const std::wstring& Texts() const { return texts_; }

private:
    std::wstring folder_;
    std::wstring texts_;
    std::atomic<bool> answered_{false};
    std::thread watcher_;
};

TEST_F(FileListTest, AddFolderBrowsesThenAsksAboutSubfolders) {
    Make();
    File(L"top.txt");
    File(L"second.doc");
    ::CreateDirectoryW((Data() + L"\\sub").c_str(), nullptr);
    File(L"sub\\deep.txt");
    const std::wstring question = L"フォルダ内のファイルを追加します。\r\n\r\n\"" + Data() +
                                  L"\"\r\n のサブフォルダも検索し追加しますか？";
    {
        FolderBrowserAnswerer browser(Data(), IDOK);
        DialogAnswerer no(application.Title(), IDNO);
        SendCommand(Command::AddFolder);
        ASSERT_TRUE(browser.Wait());
        ASSERT_TRUE(no.Wait());
        EXPECT_NE(browser.Texts().find(L"フォルダを選択して下さい"), std::wstring::npos) << browser.Texts().size();
        EXPECT_EQ(no.Text(), question);
    }
    std::vector<std::wstring> names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"second.doc", L"top.txt"})) << "No: the top level only";
    EXPECT_EQ(window->CountTicked(), 2);

    window->ClearFileList();
    {
        FolderBrowserAnswerer browser(Data(), IDOK);
        DialogAnswerer yes(application.Title(), IDYES);
        SendCommand(Command::AddFolder);
        ASSERT_TRUE(browser.Wait());
        ASSERT_TRUE(yes.Wait());
    }
    names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"deep.txt", L"second.doc", L"top.txt"})) << "Yes: subfolders too";
    EXPECT_EQ(Rows(), 3) << "the subfolder itself is no row";
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(FileListTest, CancellingTheFolderBrowserAddsNothingAndAsksNothing) {
    Make();
    File(L"top.txt");
    FolderBrowserAnswerer browser(Data(), IDCANCEL);
    SendCommand(Command::AddFolder);
    ASSERT_TRUE(browser.Wait());
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(FindOwnWindow(L"#32770", application.Title().c_str()), nullptr) << "no question";
}

TEST_F(FileListTest, AddFilesTakesTheFilesChosenInThePicker) {
    Make();
    const std::wstring first = File(L"first.txt", 3), second = File(L"second.dat", 5);
    File(L"third.txt");
    std::vector<std::string> failures;
    std::thread watcher([&] {
        HWND picker = nullptr;
        if (!WaitFor([&] { return (picker = OwnDialogWith(L"SHELLDLL_DefView")) != nullptr; })) {
            failures.push_back("the picker did not show");
            return;
        }
        // Typing a folder's path and pressing OK opens that folder, as for a user.
        ::SendMessageW(picker, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(Data().c_str()));
        ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
        HWND list = nullptr;
        if (!WaitFor([&] {
                list = ShellFileList(picker);
                return list && ShellRowOf(list, L"first.txt") >= 0 && ShellRowOf(list, L"second.dat") >= 0;
            })) {
            failures.push_back("the data folder's files were not listed");
            ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (!SelectInShellList(list, {L"first.txt", L"second.dat"})) failures.push_back("selecting two files");
        ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
    });
    SendCommand(Command::AddFiles);
    watcher.join();
    for (const auto& failure : failures) ADD_FAILURE() << failure;
    std::vector<std::wstring> paths{Rows() > 0 ? PathAt(0) : L"", Rows() > 1 ? PathAt(1) : L""};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(paths, (std::vector<std::wstring>{first, second}));
    EXPECT_EQ(window->CountTicked(), 2);
    EXPECT_EQ(Icons(), 2);
}

}  // namespace
