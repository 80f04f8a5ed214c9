#include <windows.h>

#include <algorithm>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics/LogWindow.h"
#include "diagnostics/SystemInfo.h"
#include "common/FileSystem.h"
#include "engine/EraseSeams.h"
#include "engine/Verify.h"
#include "notify/SSTP.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/support/Csv.h"
#include "tests/notify/ExpectedScripts.h"
#include "tests/notify/NotifyTestSupport.h"

namespace {

const wchar_t kConfirmCaption[] = L"確認";
const wchar_t kErased[] = L"をディスクから抹消しました。";
const wchar_t kFailed[] = L"を正しく処理出来ませんでした。";

class EraseRunTest : public WorkflowTest {
protected:
    // Presses Start and answers its confirmation with `answer`; the run (when there is one)
    // is over when this returns. Gives the confirmation's text.
    std::wstring Start(int answer = IDYES) {
        DialogAnswerer confirm(kConfirmCaption, answer);
        SendCommand(Command::StartRun);
        EXPECT_TRUE(confirm.Wait()) << "the run asks first";
        return confirm.Text();
    }

    std::vector<std::wstring> Log() { return window->EraseLogLines(); }

    // The log's lines after the eight of the header, up to the footer's five.
    std::vector<std::wstring> FileLines() {
        const std::vector<std::wstring> log = Log();
        if (log.size() < 13) return {};
        return {log.begin() + 8, log.end() - 5};
    }

    // Checks the header for `rows` rows, `ticked` ticked and the status text `mode`, and the
    // footer for `processed` files; `completed` tells which ending.
    void ExpectFrame(int rows, int ticked, const std::wstring& mode, int processed, bool completed) {
        const std::vector<std::wstring> log = Log();
        ASSERT_GE(log.size(), 13u);
        TESysteminfo system(true);
        EXPECT_EQ(log[0], L"******************** TIDEMARROW32 SE ********************");
        EXPECT_EQ(log[1].rfind(L"開始日時:", 0), 0u) << log[1];
        EXPECT_GT(log[1].size(), 6u);
        EXPECT_EQ(log[2], L"OS:" + system.OSDescription);
        EXPECT_EQ(log[3], L"CPU:" + system.CPUName + L" " +
                              (system.CPUSpeed.empty() ? L"" : L"(" + system.CPUSpeed + L")"));
        EXPECT_EQ(log[4], L"ファイル総数:" + std::to_wstring(rows) + L" 選択数:" + std::to_wstring(ticked));
        EXPECT_EQ(log[5], mode);
        EXPECT_EQ(log[6], L"これらの内容で処理を開始します。");
        EXPECT_EQ(log[7], L"");
        const std::size_t n = log.size();
        EXPECT_EQ(log[n - 5], L"");
        EXPECT_EQ(log[n - 4], completed ? L"処理が終了しました。" : L"処理を中止しました。");
        EXPECT_EQ(log[n - 3], L"処理数:" + std::to_wstring(processed) + L"ファイル");
        EXPECT_EQ(log[n - 2].rfind(L"終了日時:", 0), 0u) << log[n - 2];
        EXPECT_EQ(log[n - 1], std::wstring(57, L'*'));
    }

    void Finish() { Click(window->FinishButton); }

    // The lines the log's view shows, each with CR LF, as the control gives them.
    std::wstring ShownLog() {
        std::wstring text;
        HWND view = window->EraseLog.Handle();
        const int count = static_cast<int>(::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            wchar_t buffer[1024] = {};
            ListView_GetItemText(view, row, 0, buffer, 1024);
            text += buffer + std::wstring(L"\r\n");
        }
        return text;
    }
};

// --- runs in each mode ---

TEST_F(EraseRunTest, EachModeErasesTheTickedRowsAndLogsEveryFile) {
    Make();
    const std::pair<EraseMode, const wchar_t*> modes[] = {
        {EraseMode::Speed, L"モード:Speed"}, {EraseMode::Normal, L"モード:Normal"}, {EraseMode::High, L"モード:High"}};
    for (const auto& [mode, status] : modes) {
        SCOPED_TRACE(status);
        Config().SetEraseMode(mode);
        window->ShowEraseMode(true, true);
        const std::wstring first = File(L"first.txt", 1000);
        const std::wstring kept = File(L"kept.doc", 10);
        const std::wstring third = File(L"third", 3001);
        for (const std::wstring& path : {first, kept, third}) Add(path);
        List().SetTicked(1, false);

        EXPECT_EQ(Start(), L"処理を開始します\u3000よろしいですか？\u3000");
        EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::Result);
        EXPECT_TRUE(window->Busy) << "the result panel keeps the lock until Finish";
        ExpectFrame(3, 2, status, 2, true);
        EXPECT_EQ(FileLines(), (std::vector<std::wstring>{L"ファイル名:first.txt" + std::wstring(kErased),
                                                          L"ファイル名:third" + std::wstring(kErased)}));
        EXPECT_FALSE(FileExists(first));
        EXPECT_FALSE(FileExists(third));
        EXPECT_TRUE(FileExists(kept)) << "an unticked row is left alone";
        EXPECT_EQ(ReadBytes(kept), std::string(10, 'x'));
        EXPECT_EQ(window->StatusBar.Text(1), L"全体の経過(2/2)");

        Finish();
        EXPECT_FALSE(window->Busy);
        EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
        EXPECT_EQ(Paths(), std::vector<std::wstring>{kept});
        EXPECT_TRUE(List().IsTicked(0)) << "rows come back ticked";
        window->ClearFileList();
        ::DeleteFileW(kept.c_str());
    }
    EXPECT_TRUE(RecordedAssertions().empty());
}

TEST_F(EraseRunTest, WithVerifyOnlyFilesReadBackAsWrittenGoAndTheFooterCountsThem) {
    WriteConfig({L"#Verify=1"});
    Make();
    const auto named = [](HANDLE file, const wchar_t* name) { return FinalPathOf(file).find(name) != std::wstring::npos; };
    EraseSeams seams = SteppingClockSeams();
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        std::string bytes(static_cast<const char*>(data), size);
        if (named(file, L"bad.txt")) bytes[0] ^= 1;  // lost on its way
        return ::WriteFile(file, bytes.data(), size, written, nullptr);
    };
    SetEraseSeams(seams);
    const ReadBackSeams previous = SetReadBackSeams({[&](const ReadBackRequest& r, DWORD* got) {
        return named(r.file, L"unread.txt") ? (::SetLastError(ERROR_CRC), FALSE) : ReadBackFromDisk(r, got);
    }, {}});
    const std::wstring good = File(L"good.txt", 5000), bad = File(L"bad.txt", 5000), unread = File(L"unread.txt", 7);
    for (const std::wstring& path : {good, bad, unread}) Add(path);
    Start();
    SetReadBackSeams(previous);
    const std::vector<std::wstring> log = Log();
    ASSERT_EQ(log.size(), 17u);
    EXPECT_EQ(std::vector<std::wstring>(log.begin() + 8, log.begin() + 15),
              (std::vector<std::wstring>{
                  L"ファイル名:good.txt" + std::wstring(kErased),
                  L"ファイル名:bad.txtは読み戻した内容が書き込んだ内容と一致しなかったため、削除しませんでした。",
                  L"ファイル名:unread.txtは書き込んだ内容を読み戻せなかったため、削除しませんでした。", L"",
                  L"処理が終了しました。", L"処理数:3ファイル", L"確認数:1ファイル"}));
    EXPECT_EQ(ReadBytes(bad), "\x01" + std::string(4999, '\0')) << "uncut under its own name";
    Finish();
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{bad, unread}));
}

TEST_F(EraseRunTest, NoneTickedLogsNoFileAndAZeroCount) {
    Make();
    const std::wstring file = File(L"a.txt");
    Add(file);
    window->SetAllTicks(false);
    Start();
    ExpectFrame(1, 0, L"モード:Speed", 0, true);
    EXPECT_TRUE(FileLines().empty());
    EXPECT_TRUE(FileExists(file));
}

TEST_F(EraseRunTest, AnsweringNoChangesNothingAndAnEmptyListAsksNothing) {
    Make();
    DialogAnswerer none(kConfirmCaption, IDYES, 500);
    SendCommand(Command::StartRun);
    EXPECT_FALSE(none.Wait()) << "no rows: no question";

    const std::wstring file = File(L"a.txt");
    Add(file);
    Start(IDNO);
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
    EXPECT_FALSE(window->Busy);
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(Log().empty());
}

TEST_F(EraseRunTest, AFileHeldOpenElsewhereFailsTheRunGoesOnAndItStaysListed) {
    Make();
    const std::wstring held = File(L"held.txt", 600);
    const std::wstring free = File(L"free.txt", 600);
    Add(held);
    Add(free);
    {
        UniqueFileLock lock(held);
        ASSERT_TRUE(lock.Held());
        Start();
    }
    EXPECT_EQ(FileLines(), (std::vector<std::wstring>{L"ファイル名:held.txt" + std::wstring(kFailed),
                                                      L"ファイル名:free.txt" + std::wstring(kErased)}));
    ExpectFrame(2, 2, L"モード:Speed", 2, true);
    Finish();
    EXPECT_EQ(Paths(), std::vector<std::wstring>{held});
    EXPECT_TRUE(List().IsTicked(0));
}

TEST_F(EraseRunTest, ARefusedWriteLeavesTheFileListedAndOddNamesFromAFolderAreErased) {
    Make();
    // Names the plain path forms cannot reach, and one outside code page 932, from a folder.
    for (const wchar_t* name : {L"trail.", L"blank ", L"한글.txt"})
        ASSERT_TRUE(WriteBytes(SystemPathOf(Data() + L"\\" + name), "secret"));
    {
        DialogAnswerer no(App().Title(), IDNO);
        window->AddFolderFiles(Data());
        ASSERT_TRUE(no.Wait());
    }
    ASSERT_EQ(Rows(), 3);
    const std::wstring refused = File(L"full-disk.bin", 4000);
    Add(refused);
    EraseSeams seams;
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) -> BOOL {
        LARGE_INTEGER length{};
        if (::GetFileSizeEx(file, &length) && length.QuadPart >= 4000) {  // only the large file
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return ::WriteFile(file, data, size, written, nullptr);
    };
    const EraseSeams previous = SetEraseSeams(seams);
    Start();
    SetEraseSeams(previous);
    const std::vector<std::wstring> lines = FileLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"ファイル名:full-disk.bin" + std::wstring(kFailed)), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"ファイル名:한글.txt" + std::wstring(kErased)), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"ファイル名:trail." + std::wstring(kErased)), 1);

    // The saved log keeps the name code page 932 has no form for.
    const std::wstring target = folder / L"saved log.txt";
    {
        FileDialogAnswerer save(target);
        Click(window->SaveLogButton.Handle());
        ASSERT_TRUE(save.Wait());
    }
    std::vector<std::wstring> saved;
    ASSERT_TRUE(ReadTextFile(target, saved));
    EXPECT_EQ(saved, Log());
    EXPECT_EQ(ReadBytes(target).substr(0, 3), "\xEF\xBB\xBF");

    Finish();
    EXPECT_EQ(Paths(), std::vector<std::wstring>{refused}) << "back in the list for another try";
    EXPECT_EQ(ReadBytes(refused), std::string(4000, 'x'));
}

// --- the erasure report ---

TEST_F(EraseRunTest, TheReportOfAStoppedRunListsEachFileAsItFaredInBothForms) {
    std::vector<std::wstring> files;
    bool pressed = false;
    Make({}, [&](int percent) {
        if (!pressed && percent >= 10 && ui::WindowText(window->CurrentFileLabel) == files[2]) {
            pressed = true;
            ::PostMessageW(window->StopButton.Handle(), BM_CLICK, 0, 0);
        }
    });
    for (const auto& [name, size] : std::vector<std::pair<std::wstring, std::size_t>>{
             {L"a&b,'c.txt", 701}, {L"held.txt", 700}, {L"big.bin", 400000}, {L"last.txt", 700}})
        files.push_back(File(name, size));
    for (const std::wstring& path : files) Add(path);
    {
        UniqueFileLock lock(files[1]);
        ASSERT_TRUE(lock.Held());
        Start();
    }
    ASSERT_TRUE(pressed);

    // Right to left: Finish, Save log, Save report.
    RECT finish{}, log{}, report{};
    ::GetWindowRect(window->FinishButton, &finish);
    ::GetWindowRect(window->SaveLogButton.Handle(), &log);
    ::GetWindowRect(window->SaveReportButton.Handle(), &report);
    EXPECT_EQ(finish.left - log.left, 124);
    EXPECT_EQ(log.left - report.left, 124);
    EXPECT_EQ(ui::WindowText(window->SaveReportButton.Handle()), L"\u3000レポートの保存");

    const std::wstring csv = folder / L"report.csv", html = folder / L"report.html";
    for (const std::wstring& target : {csv, html}) {
        FileDialogAnswerer save(target);
        Click(window->SaveReportButton.Handle());
        ASSERT_TRUE(save.Wait());
        EXPECT_EQ(save.ProposedName(), L"TIDEMARROW32 SE抹消レポート.html");
        EXPECT_EQ(save.FileTypeText(), L"抹消レポート (*.html)");
    }
    const auto records = ParseCsv(ReadUtf8WithMark(csv));
    ASSERT_EQ(records.size(), 5u);
    const std::vector<std::wstring> lines = FileLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::wstring results[] = {L"抹消済み", L"処理できませんでした", L"中止（上書きの途中、削除していません）",
                                    L"未処理（中止のため処理していません）"};
    // Bytes the passes wrote, the cluster's tip included: at least the file, none, part of it, none.
    const long long writtenAtLeast[] = {702, 0, 1, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::vector<std::wstring>& row = records[i + 1];
        ASSERT_EQ(row.size(), 23u);
        EXPECT_EQ(row[0] + L" " + row[1] + L" " + row[5] + L" " + row[9] + L" " + row[11],
                  L"TIDEMARROW32 SE 2.01 DefaultUser Speed はい");
        EXPECT_EQ(row[6], TESysteminfo(false).OSDescription);
        EXPECT_EQ(row[12], std::wstring(1, files[i][0]) + L":\\");
        EXPECT_EQ(row[16], files[i]);
        EXPECT_GE(std::stoll(row[18]), writtenAtLeast[i]) << i;
        if (writtenAtLeast[i] == 0) {
            EXPECT_EQ(row[18], L"0") << i;
        }
        EXPECT_EQ(row[19], L"Speed: 1 回 (0x0000)");
        EXPECT_EQ(row[20], results[i]);
        EXPECT_EQ(row[21], i < 3 ? lines[i] : L"") << "the log line is the reason";
    }
    const std::wstring page = ReadUtf8WithMark(html);
    EXPECT_LT(page.find(L"中止されました"), page.find(L"a&amp;b,&#39;c.txt"));
    EXPECT_NE(page.find(L"<tr><th>抹消できなかったファイル</th><td>3</td></tr>"), std::wstring::npos);
    Finish();
}

// --- while the run works ---

TEST_F(EraseRunTest, StopDuringTheSecondOfFiveEndsThatFileAndSkipsTheRest) {
    std::vector<std::wstring> files;
    bool pressed = false;
    Make({}, [&](int percent) {
        // The Stop button is clicked while the second file is a tenth done; the click
        // arrives with the engine's next servicing of the window's messages.
        if (!pressed && percent >= 10 && ui::WindowText(window->CurrentFileLabel) == files[1]) {
            pressed = true;
            ::PostMessageW(window->StopButton.Handle(), BM_CLICK, 0, 0);
        }
    });
    for (int i = 1; i <= 5; ++i) files.push_back(File(L"file" + std::to_wstring(i) + L".bin", i == 2 ? 400000 : 700));
    for (const std::wstring& path : files) Add(path);

    Start();
    EXPECT_TRUE(pressed);
    ExpectFrame(5, 5, L"モード:Speed", 2, false);
    EXPECT_EQ(FileLines(), (std::vector<std::wstring>{L"ファイル名:file1.bin" + std::wstring(kErased),
                                                      L"ファイル名:file2.bin" + std::wstring(kFailed)}));
    EXPECT_EQ(ReadBytes(files[1]).substr(399998), "xx") << "a stopped file is not cut";
    EXPECT_TRUE(window->AbortRequested);
    Finish();
    EXPECT_FALSE(window->AbortRequested);
    EXPECT_EQ(Paths(), (std::vector<std::wstring>{files[1], files[2], files[3], files[4]}));
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(List().IsTicked(row));
    for (int i = 2; i < 5; ++i) EXPECT_EQ(ReadBytes(files[static_cast<std::size_t>(i)]), std::string(700, 'x'));
}

TEST_F(EraseRunTest, StopDuringALargeFileEndsItAtOnceWithTheRealClock) {
    // The display and the servicing come only every few milliseconds here, as in the
    // program: a Stop pressed while a large file is written still ends that file early.
    SetEraseSeams({});
    WriteConfig({L"#Erase=2"});
    std::wstring large;
    bool pressed = false;
    Make({}, [&](int percent) {
        if (!pressed && percent > 0 && percent < 100 && ui::WindowText(window->CurrentFileLabel) == large) {
            pressed = true;
            ::PostMessageW(window->StopButton.Handle(), BM_CLICK, 0, 0);
        }
    });
    large = File(L"large.bin", 64u << 20);
    int passesDone = 0;
    EraseSeams seams;
    seams.observer = [&](const OverwriteEvent& event) {
        if (event.kind == OverwriteEvent::PassEnd) passesDone = event.passesDone;
    };
    SetEraseSeams(seams);
    Add(large);

    Start();
    EXPECT_TRUE(pressed);
    EXPECT_LT(passesDone, 3) << "the third pass never ended";
    EXPECT_EQ(FileSizeOf(large), 64 << 20) << "left uncut under its own name";
    EXPECT_EQ(FileLines(), std::vector<std::wstring>{L"ファイル名:large.bin" + std::wstring(kFailed)});
    EXPECT_EQ(ui::WindowText(window->PercentLabel), L"100%");
    Finish();
    EXPECT_EQ(Paths(), std::vector<std::wstring>{large}) << "listed again for another try";
}

TEST_F(EraseRunTest, WhileAWriteWaitsTheWindowStillPaintsAndTakesStop) {
    // The files are written off the window's thread: a write the disk holds up holds up
    // neither the window's painting nor its Stop button.
    Make();
    const std::wstring big = File(L"big.bin", 1 << 20);
    Add(big);
    Add(File(L"next.txt"));
    // Waits here, on the writing thread, without servicing any window.
    const auto waitFor = [](const std::function<bool()>& condition) {
        for (const ULONGLONG end = ::GetTickCount64() + 5000; ::GetTickCount64() < end; ::Sleep(5))
            if (condition()) return true;
        return false;
    };
    bool asked = false, painted = false, stopped = false;
    EraseSeams seams;
    seams.writeFile = [&](HANDLE file, const void* data, DWORD size, DWORD* written) {
        if (!asked) {
            asked = true;
            ::InvalidateRect(window->FileProgress, nullptr, TRUE);
            painted = waitFor([&] {
                RECT left{};
                return !::GetUpdateRect(window->FileProgress, &left, FALSE);
            });
            ::PostMessageW(window->StopButton.Handle(), BM_CLICK, 0, 0);
            stopped = waitFor([&] { return window->AbortRequested.load(); });
        }
        return ::WriteFile(file, data, size, written, nullptr);
    };
    SetEraseSeams(seams);
    Start();
    EXPECT_TRUE(painted) << "the progress bar was painted while the write waited";
    EXPECT_TRUE(stopped) << "Stop was taken while the write waited";
    EXPECT_EQ(FileLines(), std::vector<std::wstring>{L"ファイル名:big.bin" + std::wstring(kFailed)});
    EXPECT_EQ(FileSizeOf(big), 1 << 20) << "left uncut under its own name";
}

TEST_F(EraseRunTest, ManySmallFilesLogEveryLineInOrderAndStopEndsTheRunAtOnce) {
    // The real clock: the display reaches the controls only every few tens of milliseconds.
    SetEraseSeams({});
    ULONGLONG stopPostedAt = 0;
    int started = 0;
    Make({}, [&](int percent) {
        // Stop is clicked as the 60th file of the second run begins.
        if (percent == 0 && ++started == 260) {
            stopPostedAt = ::GetTickCount64();
            ::PostMessageW(window->StopButton.Handle(), BM_CLICK, 0, 0);
        }
    });
    std::vector<std::wstring> files, expected;
    for (int i = 0; i < 200; ++i) {
        files.push_back(File(L"f" + std::to_wstring(1000 + i) + L".txt", 12));
        expected.push_back(L"ファイル名:f" + std::to_wstring(1000 + i) + L".txt" + kErased);
    }
    window->AddFilesToList(files, false, false);
    Start();
    ExpectFrame(200, 200, L"モード:Speed", 200, true);
    EXPECT_EQ(FileLines(), expected);
    EXPECT_TRUE(::IsWindowVisible(window->EraseLog.Handle())) << "the log shows with the result";
    EXPECT_EQ(ShownLog(), [&] {
        std::wstring all;
        for (const std::wstring& line : Log()) all += line + L"\r\n";
        return all;
    }()) << "the view shows every line";
    EXPECT_EQ(window->StatusBar.Text(1), L"全体の経過(200/200)");
    EXPECT_EQ(ui::WindowText(window->CurrentFileLabel), files.back());
    Finish();

    files.clear();
    for (int i = 0; i < 200; ++i) files.push_back(File(L"g" + std::to_wstring(1000 + i) + L".txt", 12));
    window->AddFilesToList(files, false, false);
    Start();
    ASSERT_NE(stopPostedAt, 0u);
    EXPECT_LT(::GetTickCount64() - stopPostedAt, 1000u) << "the run ends within a second of Stop";
    const std::vector<std::wstring> lines = FileLines();
    ASSERT_LT(lines.size(), 200u);
    ASSERT_GE(lines.size(), 60u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::wstring lead = L"ファイル名:g" + std::to_wstring(1000 + i) + L".txt";
        // The file being written when Stop came stays, and says so; one stopped while the rest
        // of its last cluster was written is gone, and its line says something may be left.
        const bool last = i + 1 == lines.size();
        const bool stopped = last && lines[i] == lead + kFailed;
        if (last && lines[i].rfind(lead + L"を抹消しましたが、", 0) == 0) {
            EXPECT_FALSE(FileExists(files[i]));
            continue;
        }
        EXPECT_EQ(lines[i], lead + (stopped ? kFailed : kErased));
        EXPECT_EQ(FileExists(files[i]), stopped);
    }
    ExpectFrame(200, 200, L"モード:Speed", static_cast<int>(lines.size()), false);
    for (std::size_t i = lines.size(); i < files.size(); ++i) EXPECT_TRUE(FileExists(files[i])) << i;
}

TEST_F(EraseRunTest, WhileRunningTheErasePanelShowsProgressAndTheInterfaceIsLocked) {
    struct Seen {
        bool sampled = false;
        TMainWindow::ContentPanel panel{};
        bool busy = false;
        bool taskbarShown = true;
        bool closeGreyed = false;
        std::wstring path;
        std::wstring overall;
        int barMax = -1;
        int barPosition = -1;
    } seen;
    Make({}, [&](int percent) {
        // The bar catches up at the servicing that follows a report: it is read at the next one.
        if (seen.sampled && seen.barPosition < 0)
            seen.barPosition = static_cast<int>(::SendMessageW(window->FileProgress, PBM_GETPOS, 0, 0));
        if (seen.sampled || percent < 50 || percent >= 100) return;
        seen.sampled = true;
        seen.panel = window->VisibleContentPanel();
        seen.busy = window->Busy;
        seen.taskbarShown = ::IsWindowVisible(App().Handle()) != FALSE;
        const UINT state = ::GetMenuState(::GetSystemMenu(window->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
        seen.closeGreyed = state != static_cast<UINT>(-1) && (state & MF_GRAYED);
        seen.path = ui::WindowText(window->CurrentFileLabel);
        seen.overall = window->StatusBar.Text(1);
        seen.barMax = static_cast<int>(::SendMessageW(window->OverallProgress, PBM_GETRANGE, FALSE, 0));
    });
    App().ShowTaskbarButton(true);
    TTIDEMARROW_LOG* report = ObtainErrorLogWindow();
    ASSERT_NE(report, nullptr);
    ::ShowWindow(report->Handle(), SW_SHOWNOACTIVATE);
    // An empty file shows no progress between 0 and 100 (it has no tip past its end either).
    const std::wstring small = File(L"small.txt", 0);
    const std::wstring large = File(L"large.txt", 60000);
    Add(small);
    Add(large);
    Start();
    ASSERT_TRUE(seen.sampled);
    EXPECT_EQ(seen.panel, TMainWindow::ContentPanel::Running);
    EXPECT_TRUE(seen.busy);
    EXPECT_FALSE(seen.taskbarShown) << "the taskbar button is gone during the run";
    EXPECT_TRUE(seen.closeGreyed);
    EXPECT_EQ(seen.path, large);
    EXPECT_EQ(seen.overall, L"全体の経過(1/2)");
    EXPECT_EQ(seen.barMax, 2);
    EXPECT_GE(seen.barPosition, 50);
    EXPECT_TRUE(::IsWindowVisible(App().Handle())) << "and back after it";
    EXPECT_EQ(ui::WindowText(window->PercentLabel), L"100%");
    EXPECT_FALSE(::IsWindowVisible(report->Handle())) << "the run put the error report away";
    FreeErrorLogWindow();
}

TEST_F(EraseRunTest, AMaximizedWindowRunsRestoredAndIsMaximizedAgainByFinish) {
    bool zoomedDuringRun = true;
    Make({}, [&](int) { zoomedDuringRun = ::IsZoomed(window->Handle()) != FALSE; });
    Add(File(L"a.txt", 3000));
    ::SendMessageW(window->Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ::IsZoomed(window->Handle()) != FALSE; }));
    Start();
    EXPECT_EQ(window->SavedWindowState, 2);
    EXPECT_FALSE(zoomedDuringRun);
    Finish();
    EXPECT_TRUE(PumpUntil([&] { return ::IsZoomed(window->Handle()) != FALSE; }));
}

TEST_F(EraseRunTest, CustomRunsShowEachFilesLevelAndEraseAtIt) {
    ::CreateDirectoryW(Savedat().c_str(), nullptr);
    ASSERT_TRUE(WriteTextFile(Savedat() + L"\\customerase.txt", {L"dat [High]", L"txt [Speed]", L"bin [Normal]"}));
    WriteConfig({L"#Erase=3", L"#CustomMode=1"});
    std::vector<std::pair<std::wstring, std::wstring>> shown;  // path, status text
    std::vector<int> passes;
    Make({}, [&](int) {
        const std::wstring path = ui::WindowText(window->CurrentFileLabel);
        if (shown.empty() || shown.back().first != path) shown.emplace_back(path, window->StatusBar.Text(0));
    });
    // The stepping clock: the display is due at every file, so each file's level shows.
    EraseSeams seams = SteppingClockSeams();
    seams.observer = [&](const OverwriteEvent& event) {
        if (event.kind == OverwriteEvent::BeforeCut) passes.push_back(event.passesDone);
    };
    const EraseSeams previous = SetEraseSeams(seams);
    const std::wstring high = File(L"a.DAT", 900);
    const std::wstring speed = File(L"b.txt", 900);
    const std::wstring normal = File(L"c.bin", 900);
    const std::wstring other = File(L"d.xyz", 900);
    for (const std::wstring& path : {high, speed, normal, other}) Add(path);
    Start();
    SetEraseSeams(previous);

    ExpectFrame(4, 4, L"モード:Custom", 4, true);
    EXPECT_EQ(shown, (std::vector<std::pair<std::wstring, std::wstring>>{{high, L"モード:Custom[H]"},
                                                                         {speed, L"モード:Custom[S]"},
                                                                         {normal, L"モード:Custom[N]"},
                                                                         {other, L"モード:Custom[N]"}}));
    EXPECT_EQ(passes, (std::vector<int>{3, 1, 2, 2})) << "an unlisted extension takes the custom mode's level";
    EXPECT_EQ(FileLines()[0], L"ファイル名:a.DAT" + std::wstring(kErased)) << "the file lines carry no level";
    Finish();
    EXPECT_EQ(window->StatusBar.Text(0), L"モード:Custom");
}

// --- the end of the run ---

TEST_F(EraseRunTest, TheEndNotifiesTheCompanionAndPlaysTheSound) {
    const std::wstring sound = File(L"done.wav", 64);
    WriteConfig({L"#Sound=1", L"#SoundFile=" + sound});
    Make();
    std::vector<std::wstring> played;
    const SoundPlayer previous = SetSoundPlayer([&](const std::wstring& path, UINT) {
        played.push_back(path);
        return true;
    });
    Config().EditValues().UseSSTP = true;
    CompanionWindow companion;
    LoopbackListener listener(window->Notifier()->Port());
    ASSERT_TRUE(listener.Listening());
    Add(File(L"a.txt"));
    Start();
    const ListenerResult result = listener.Wait();
    SetSoundPlayer(previous);
    EXPECT_TRUE(result.accepted);
    EXPECT_EQ(result.bytes, ExpectedRequest(kRunEndScriptBytes));
    EXPECT_EQ(played, std::vector<std::wstring>{sound});
}

TEST_F(EraseRunTest, PowerOffAfterRunFinishesSwitchesOffAndSendsNothing) {
    static int exits = 0;
    static UINT exitFlags = 0;
    exits = 0;
    PowerOffCalls calls{};
    calls.platformId = [] { return static_cast<DWORD>(VER_PLATFORM_WIN32_NT); };
    calls.openProcessToken = [](DWORD, HANDLE* token) {
        *token = nullptr;
        return TRUE;
    };
    calls.lookupPrivilegeValue = [](const wchar_t*, LUID*) { return TRUE; };
    calls.adjustTokenPrivileges = [](HANDLE, const TOKEN_PRIVILEGES*) { return TRUE; };
    static HWND main = nullptr;  // the system asks, then tells the session ends
    static LRESULT answer = -1;
    calls.exitWindowsEx = [](UINT flags, DWORD) {
        ++exits;
        exitFlags = flags;
        answer = ::SendMessageW(main, WM_QUERYENDSESSION, 0, 0);
        if (answer) ::SendMessageW(main, WM_ENDSESSION, TRUE, 0);
        return TRUE;
    };
    calls.closeHandle = [](HANDLE) {};
    const PowerOffCalls previous = SetPowerOffCalls(calls);
    Make();
    main = window->Handle();
    Config().EditValues().UseSSTP = true;
    Config().EditValues().AutoIn = true;
    Config().EditValues().PowerOffAfterRun = true;
    CompanionWindow companion;
    LoopbackListener listener(window->Notifier()->Port());
    ASSERT_TRUE(listener.Listening());
    const std::wstring kept = File(L"kept.txt");
    Add(File(L"a.txt"));
    Add(kept);
    List().SetTicked(1, false);
    Start();
    SetPowerOffCalls(previous);
    EXPECT_EQ(exits, 1);
    EXPECT_NE(exitFlags & EWX_POWEROFF, 0u);
    EXPECT_FALSE(window->Busy) << "Finish was performed";
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::List);
    EXPECT_EQ(Paths(), std::vector<std::wstring>{kept});
    EXPECT_FALSE(listener.Wait(300).accepted) << "no notification before a power-off";
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(ReadBytes(Savedat() + L"\\ResList.txt"), "[TIDEMARROW32 SE]\r\n" + EncodeCp932(kept) + "\r\n[END TEXT]\r\n");
}

TEST_F(EraseRunTest, TheSessionEndIsRefusedOnlyWhileFilesAreWrittenAndThenSavesWithoutAWord) {
    WriteConfig({L"#Warning close=1", L"#AutoIn=1", L"#ShowGrid=0"});
    LRESULT duringRun = -1;
    BOOL minimizedDuringRun = TRUE;
    Make({}, [&](int) {
        if (duringRun != -1) return;
        duringRun = ::SendMessageW(App().Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        ::SendMessageW(App().Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the taskbar button
        minimizedDuringRun = ::IsIconic(App().Handle());
    });
    const std::wstring big = File(L"big.bin", 256 * 1024);
    Add(big);
    EXPECT_EQ(::SendMessageW(window->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE) << "at rest";
    Start();
    EXPECT_EQ(duringRun, FALSE);
    EXPECT_FALSE(minimizedDuringRun);
    EXPECT_EQ(::SendMessageW(window->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE) << "the result merely shows";
    Config().EditValues().ShowGrid = true;
    ::SendMessageW(window->Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);  // a box would block here
    EXPECT_EQ(ReadBytes(Savedat() + L"\\ResList.txt"), "[TIDEMARROW32 SE]\r\n" + EncodeCp932(big) + "\r\n[END TEXT]\r\n");
    EXPECT_NE(ReadBytes(Profile() + L"\\Config.ini").find("#ShowGrid=1\r\n"), std::string::npos);
}

// A window whose erasure fails unexpectedly at the second file.
class BreakingMainWindow : public TMainWindow {
public:
    using TMainWindow::TMainWindow;
    DWORD classDuringRun = 0;

protected:
    EraseOutcome EraseRowFile(const std::wstring& path, EraseLevel level, bool verify) override {
        classDuringRun = ::GetPriorityClass(::GetCurrentProcess());
        if (ExtractFileName(path) == L"second.txt") throw std::runtime_error("broken");
        return TMainWindow::EraseRowFile(path, level, verify);
    }
};

TEST_F(EraseRunTest, AnUnexpectedErrorEndsTheRunReportsItAndRestoresThePriority) {
    WriteConfig({L"#Erase highspeed=1"});
    auto* breaking = new BreakingMainWindow(App(), folder.Path());
    window.reset(breaking);
    MakeWith();
    ASSERT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    Add(File(L"first.txt"));
    Add(File(L"second.txt"));
    Add(File(L"third.txt"));
    Start();
    EXPECT_EQ(breaking->classDuringRun, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS))
        << "the run never leaves the process at the high class";
    const std::vector<std::wstring> log = Log();
    ASSERT_EQ(log.size(), 9u) << "the log as far as it got, without its footer";
    EXPECT_EQ(log[8], L"ファイル名:first.txt" + std::wstring(kErased));
    EXPECT_EQ(window->VisibleContentPanel(), TMainWindow::ContentPanel::Result);
    EXPECT_TRUE(Reported(L"処理時に不明なエラーが発生！"));
    Finish();
    EXPECT_EQ(Rows(), 2);
}

TEST_F(EraseRunTest, HighSpeedRunsAtTheHighClassAndReturnToNormal) {
    WriteConfig({L"#Erase highspeed=1"});
    DWORD during = 0;
    Make({}, [&](int) { during = ::GetPriorityClass(::GetCurrentProcess()); });
    Add(File(L"a.txt", 3000));
    Start();
    EXPECT_EQ(during, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
}

// --- the log ---

TEST_F(EraseRunTest, TheSavedLogIsTheMemoInShiftJisWithCrLf) {
    Make();
    Add(File(L"日本語の名前.txt"));
    Add(File(L"b.txt"));
    Start();
    const std::wstring target = folder / L"saved log.txt";
    {
        FileDialogAnswerer save(target);
        Click(window->SaveLogButton.Handle());
        ASSERT_TRUE(save.Wait());
        EXPECT_EQ(save.ProposedName(), L"TIDEMARROW32 SEログ.txt");
        EXPECT_EQ(save.FileTypeText(), L"テキストファイル");
    }
    const std::string expected = EncodeCp932(ShownLog());
    EXPECT_EQ(ReadBytes(target), expected);
    EXPECT_NE(expected.find("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x96\xbc\x91\x4f.txt"), std::string::npos)
        << "the name is in Shift_JIS";
    EXPECT_EQ(expected.substr(expected.size() - 59), std::string(57, '*') + "\r\n");

    // Saving again over the file asks first; Yes replaces it.
    ASSERT_TRUE(WriteBytes(target, "old"));
    {
        FileDialogAnswerer save(target, IDYES);
        Click(window->SaveLogButton.Handle());
        ASSERT_TRUE(save.Wait());
        EXPECT_TRUE(save.OverwriteAsked());
    }
    EXPECT_EQ(ReadBytes(target), expected);

    // A file that cannot be replaced is named in a message and keeps its bytes.
    ASSERT_TRUE(WriteBytes(target, "kept"));
    ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        DialogAnswerer failure(L"TIDEMARROW32 SE", IDOK);
        FileDialogAnswerer save(target, IDYES);
        Click(window->SaveLogButton.Handle());
        ASSERT_TRUE(failure.Wait());
        EXPECT_NE(failure.Text().find(L"ファイル \"" + target + L"\" を保存できませんでした。"), std::wstring::npos)
            << failure.Text();
    }
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(target), "kept");
}

TEST(EraseRunLog, DatesShowTheTimeExceptAtExactlyMidnight) {
    SYSTEMTIME midnight{};
    midnight.wYear = 2026;
    midnight.wMonth = 12;
    midnight.wDay = 8;
    wchar_t date[64] = {};
    ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &midnight, nullptr, date, 64), 0);
    EXPECT_EQ(TMainWindow::LogDateTime(midnight), date);

    SYSTEMTIME later = midnight;
    later.wSecond = 1;
    const std::wstring text = TMainWindow::LogDateTime(later);
    EXPECT_EQ(text.rfind(std::wstring(date) + L" ", 0), 0u) << text;
    EXPECT_NE(text.find(L"01"), std::wstring::npos) << text;
}

}  // namespace
