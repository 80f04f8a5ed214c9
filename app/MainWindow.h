#pragma once

// The main window: the frame of the program (menu bar, control bar with the two tool bars,
// the mode selector and the busy animation, the four content panels and the status bar), its
// start-up sequence (profile, settings, notifier, command line), the user-interface lock used
// while jobs run, the filtering of system commands, and closing.
//
//   TMainWindow mainWindow(Application(), ProgramFolder(), arguments);
//   if (mainWindow.Create(Application().Handle(), SW_SHOWNORMAL)) Application().Run();
//
// The file list's behaviour, the erase run, list transfer, shell commands and the history
// tools are their own parts; their entry points here are the handlers marked as call sites.

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Commands.h"
#include "app/PendingList.h"
#include "common/Paths.h"
#include "common/Types.h"
#include "engine/EraseFunc.h"
#include "resources/ProductInfo.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Gdi.h"
#include "ui/LogView.h"
#include "ui/Window.h"

class TApplication;
class TSSTP;
class TOsterlanActionImage;
class TImageControl;
class FreeSpaceJob;
class ErasureRecorder;
struct RecycleBinDrive;

class TMainWindow : public ui::Window {
public:
    static constexpr const wchar_t* kClassName = L"TMainWindow";
    static constexpr const wchar_t* kTitle = kProductTitle;
    static constexpr int kClientWidth = 686;
    static constexpr int kClientHeight = 444;
    static constexpr int kControlBarHeight = 34;

    // Control identifiers (the actions use ui::kFirstActionCommand and up).
    enum ControlId : int {
        IDC_MAIN_TOOLBAR = 1001,
        IDC_HELP_TOOLBAR,
        IDC_CONTROL_BAR,
        IDC_MODE_PANEL,
        IDC_BUSY_PANEL,
        IDC_MODE_SELECTOR,
        IDC_APPLY_MODE,
        IDC_MAINPANEL,
        IDC_ERASEPANEL,
        IDC_RESULTPANEL,
        IDC_TOOLSPANEL,
        IDC_FILELIST,
        IDC_START_RUN,
        IDC_STOP_RUN,
        IDC_ADD_FILES,
        IDC_SAVE_LOG,
        IDC_EXIT,
        IDC_RUN_TOOLS,
        IDC_FINISH_RUN,
        IDC_ERASELOG,
        IDC_FILE_PROGRESS,
        IDC_OVERALL_PROGRESS,
        IDC_STATUS_BAR,
        IDC_CURRENT_FILE,
        IDC_PERCENT,
        IDC_TOOLS_TITLE,
        IDC_SAVE_REPORT,
        IDC_ERASE_AT_NEXT_START,
        IDC_OFFER_FREESPACE,
    };

    // The controls of the history tools panel.
    enum ToolsControlId : int {
        IDC_SELECT_TRACES = 1101,
        IDC_TRACE_LIST,
        IDC_TOOLS_PROGRESS_GROUP,
        IDC_TOOLS_WAIT,
        IDC_TOOLS_PROGRESS,
        IDC_CLOSE_TOOLS,
        IDC_PREVIEW_TRACES,
        IDC_SCHEDULE_TRACES,
    };

    // The controls of the free-space erase panel.
    enum FreeSpaceControlId : int {
        IDC_FREESPACE_PANEL = 1201,
        IDC_FREESPACE_DRIVES,
        IDC_CHOOSE_FREESPACE_FOLDER,
        IDC_FREESPACE_FOLDER,
        IDC_FREESPACE_LEVEL,
        IDC_FREESPACE_NOTE,
        IDC_FREESPACE_HELP_LINK,
        IDC_FREESPACE_PROGRESS,
        IDC_FREESPACE_STATUS,
        IDC_FREESPACE_RESULT,
        IDC_START_FREESPACE,
        IDC_STOP_FREESPACE,
        IDC_CLOSE_FREESPACE,
    };

    // The content panel that shows.
    enum class ContentPanel { List, Running, Result, Tools, FreeSpace };

    // The window reads its profiles under `programFolder` + "User" and takes `arguments` as
    // the program's command-line arguments (without the program's own name).
    explicit TMainWindow(TApplication& application, std::wstring programFolder = ProgramFolder(),
                         std::vector<std::wstring> arguments = {});
    ~TMainWindow() override;

    // Builds the window and runs the start-up sequence; then shows it with `showCommand`.
    // A failure shows "初期化エラー", tells the application to end and gives false. When no
    // profile is chosen the window is made but the application is told to end.
    bool Create(HWND owner, int showCommand);

    // --- state ---
    // The profile chosen at start; empty when none was chosen.
    std::wstring ProfileName;
    // Set by the Stop command; read by the engine at every progress tick.
    std::atomic<bool> AbortRequested{false};
    // A run or a tools job is in progress.
    bool Busy = false;
    // 0 normal, 1 minimized, 2 maximized: the state kept while a job or the tools panel shows.
    int SavedWindowState = 0;
    // The file list's pop-up menu is showing.
    bool PopupBusy = false;

    // --- the end of the Windows session (MainWindowSession.cpp) ---
    // Held while a job writes files or erases traces (a run's erasing, a tools job); any job
    // of that kind joins the same way. While one is held the end of the session is refused
    // and the system is told why.
    class WritingJob {
    public:
        explicit WritingJob(TMainWindow& window);
        ~WritingJob();
        WritingJob(const WritingJob&) = delete;
        WritingJob& operator=(const WritingJob&) = delete;

    private:
        TMainWindow& window_;
    };
    bool WritingJobInProgress() const { return writingJobs_ > 0; }
    // The answer to WM_QUERYENDSESSION: true when the session may end.
    bool QueryEndSession() const;
    // WM_ENDSESSION: when the session ends, saves the settings and leaves the list for the next
    // start as a confirmed close does, showing nothing. Once per session.
    void EndSession(bool ending);
    // The existing file named on the command line, waiting for the file list's add gate;
    // empty when there is none.
    std::wstring PendingCommandLineFile;

    // --- operations other parts use ---
    void ShowEraseMode(bool selectInCombo, bool showInStatus);
    void ApplyDisplaySettings();
    void FitToolBars();
    void ShowOverallProgress(int done, int total);
    void UpdateListActions();
    void LockUserInterface(bool locked);
    // Stores the window state in SavedWindowState and brings the window back to normal.
    void SaveWindowState();
    void RestoreWindowState(int state);
    // Gives the button image `imageIndex` of `images` as its glyph unless it has one already;
    // false (after the report) when it could not be drawn.
    bool SetButtonGlyph(ui::BitmapButton& button, int imageIndex, HIMAGELIST images);
    void ShowContentPanel(ContentPanel panel);
    ContentPanel VisibleContentPanel() const { return visiblePanel_; }
    // The close query: true when the window may close.
    bool FormCloseQuery();
    // Empties the file list and its icons; the list actions follow, the progress shows 0/0.
    void ClearFileList();

    // --- the file list ---
    // A file on its way into the list, with what a folder's listing already said of it.
    struct ListedFile {
        std::wstring path;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;  // not known: read from the file
        std::int64_t size = -1;                      // not known: read from the file
    };
    // The one way into the list: appends a ticked row for an existing file on a fixed disk
    // unless the exclusions refuse it (read-only files when both flags are set, excluded
    // extensions when `useExclusions` is set). A file whose size cannot be read gets no row.
    // The attributes and size a folder's listing gave are taken as they are; the file is not
    // opened for them.
    void AddFileToList(const ListedFile& file, bool excludeReadOnly, bool useExclusions);
    void AddFileToList(const std::wstring& path, bool excludeReadOnly, bool useExclusions);
    // Each file through AddFileToList; the list is drawn and the list actions follow once, at
    // the end.
    void AddFilesToList(const std::vector<ListedFile>& files, bool excludeReadOnly, bool useExclusions);
    void AddFilesToList(const std::vector<std::wstring>& paths, bool excludeReadOnly, bool useExclusions);
    void SetAllTicks(bool ticked);
    // Removes every row whose tick state is `ticked`.
    void RemoveRowsByTick(bool ticked);
    // Rebuilds the list from the rows whose files still exist, through the add gate.
    void ReloadFileList();
    int CountTicked() const;
    // Re-sorts the rows by SortColumn and SortAscending.
    void SortFileList();
    // The text shown for a row's extension: upper case without dots; "ファイル" when none.
    static std::wstring ExtensionText(const std::wstring& path);
    // The size as "%40.0n" shows it: the user's thousands separator, right-aligned in 40.
    static std::wstring SizeText(std::int64_t size);
    // A file (not a folder) under a drive letter that is a fixed local disk.
    static bool IsOnFixedDisk(const std::wstring& path);
    // The path is under a drive letter that is a fixed local disk (the path is not looked at).
    static bool OnFixedDrive(const std::wstring& path);
    // Appends the file's small icon (image and mask, 16 × 16) to `images`; its index.
    static int AddSmallIcon(const std::wstring& path, HIMAGELIST images);
    // Makes the shell's store of icons ready (its first use fills it), on the calling thread.
    static void PrepareShellIcons();
    // Adds the files of `folder` after asking whether its subfolders count too.
    void AddFolderFiles(const std::wstring& folder);
    // Says how many files a folder held that the list could not take (none: nothing is shown).
    void TellUnreachable(int count);
    // Takes the files of a drop from the shell (ignored while Busy); releases the drop.
    void FormDropFiles(HDROP drop);
    // Files and folders from the shell (a drop, the command line, a later start): each existing
    // file as it is, each existing folder's files (its subfolders by #Dropfile), through the gate.
    // Gives how many files of those folders the list could not take (for TellUnreachable).
    int AddShellPaths(const std::vector<std::wstring>& names);

    // --- the command line and later starts (MainWindowCommandLine.cpp) ---
    // Posted to itself when a later start has handed its paths over.
    static constexpr UINT kHandOverMessage = WM_APP + 0x160;
    // Takes the paths a later start hands over (WM_COPYDATA); the reply (a HandOverReply): taken,
    // not a hand-over, or refused while the free-space panel shows. The paths are only kept: the
    // work is posted, so the sender never waits on it.
    LRESULT ReceiveHandOver(const COPYDATASTRUCT& data);
    // Adds the paths handed over, or tells the user why the window cannot take them now.
    void AddHandedOverPaths();
    // The paths handed over and not yet added.
    std::vector<std::wstring> HandedOverPaths;
    // Some of them came from Explorer's right-click menu: those wait while the profile is
    // being chosen, since the starts of one selection hand their items over meanwhile.
    bool HandOverWaitsForProfile = false;
    // Started with /RecycleBin: the Recycle Bin's question opens once the start is over.
    bool EraseRecycleBinAtStart = false;
    // A later start's /RecycleBin: true when the question will open (the list shows, no job runs).
    bool ReceiveRecycleBinHandOver();
    // --- files erased at the next start (MainWindowPending.cpp) ---
    // Posted to itself at the end of the start when the profile's pending list is not empty:
    // wParam 1 erases them at once (a /Pending start), 0 asks first.
    static constexpr UINT kPendingMessage = WM_APP + 0x161;
    // Started with /Pending: the profile taken without the chooser, whose pending files are
    // erased at once; empty for any other start.
    std::wstring PendingStartProfile;
    // The profile's list of files to erase at the next start; empty without settings.
    std::wstring PendingListPath() const;
    // Called once the window exists (before the profile is chosen), so that later starts
    // can find it from then on.
    std::function<void()> WindowMade;
    // The column header `column` was clicked.
    void FileListColumnClick(int column);
    // Asks and removes the first selected row.
    void RemoveSelectedRow();
    // Sort state: the column last clicked and the direction.
    int SortColumn = 0;
    bool SortAscending = false;

    // --- the erase run ---
    // Asks, then erases the ticked rows from top to bottom into the run log (the Start
    // command). Nothing happens with an empty list.
    void StartRun();
    // The lines of the run log, in order.
    std::vector<std::wstring> EraseLogLines() const;
    // A date and time as the run log shows them: the user's short date and long time; the
    // time is left out at exactly midnight.
    static std::wstring LogDateTime(const SYSTEMTIME& time);

    // --- the history tools on a schedule (MainWindowSchedule.cpp) ---
    // The schedule window for the entries ticked in the tools panel now, with this profile and
    // the program beside this one.
    void OpenTraceSchedule();

    // --- list import and export ---
    enum class TransferDirection { Import, Export };
    enum class ListFile { FileList, ResList };  // "FileList.txt", "ResList.txt" in Savedat
    // Reads the list file into the file list, or writes the file list to it; with `announce`
    // the count and the result are shown.
    void TransferFileList(TransferDirection direction, bool announce, ListFile which);
    // The path of a list file in the current profile; empty without settings.
    std::wstring ListFilePath(ListFile which) const;

    // --- shell commands ---
    // Opens a web address in the user's browser (the web page command and the about box's
    // link); tests put something else here so that no browser starts.
    std::function<void(HWND owner, const std::wstring& address)> OpenWebAddress = ui::ShellOpenWebAddress;
    // Hands the file properties request to the shell (ShellExecuteExW by default).
    std::function<BOOL(SHELLEXECUTEINFOW& request)> ExecuteShell = [](SHELLEXECUTEINFOW& request) {
        return ::ShellExecuteExW(&request);
    };
    // The help file: the program's folder, the application title and ".chm".
    std::wstring HelpFilePath() const;
    // True while the profile manager opened by its command is up.
    static bool ProfileManagerOpen();
    // A double click on the logo picture: with Shift held, the error report's test entry.
    void LogoDblClick();

    // The apply button shows that a mode change is pending.
    bool ModeChangePending() const { return modeChangePending_; }
    const std::wstring& ProgramFolderPath() const { return programFolder_; }
    TSSTP* Notifier() const { return notifier_.get(); }
    TOsterlanActionImage* BusyAnimation() const { return busyAnimation_.get(); }

    // --- controls ---
    ui::ActionList Actions;
    HMENU MenuBar = nullptr;
    ui::UniqueMenu FileListPopup;
    ui::Panel ControlBar;
    HWND MainToolBar = nullptr;
    HWND HelpToolBar = nullptr;
    ui::Panel ModePanel;
    HWND ModeLabel = nullptr;
    ui::ComboBoxEx ModeSelector;
    HWND ApplyModeButton = nullptr;
    ui::Panel BusyPanel;
    HWND BusyFrame = nullptr;

    ui::Panel MainPanel;
    ui::CheckListView FileList;
    std::unique_ptr<TImageControl> Logo;
    ui::BitmapButton AddFilesButton;
    ui::BitmapButton StartButton;
    ui::BitmapButton ExitButton;

    ui::Panel ErasePanel;
    std::unique_ptr<TImageControl> ErasePicture;
    HWND EraseFrame = nullptr;
    HWND CurrentFileCaption = nullptr;
    HWND CurrentFileLabel = nullptr;
    HWND ProgressCaption = nullptr;
    HWND PercentLabel = nullptr;
    HWND FileProgress = nullptr;
    ui::BitmapButton StopButton;

    ui::Panel ResultPanel;
    HWND ResultIcon = nullptr;
    HWND ResultLabel = nullptr;
    ui::LogView EraseLog;
    ui::BitmapButton SaveLogButton;
    ui::BitmapButton SaveReportButton;
    HWND FinishButton = nullptr;
    HWND EraseAtNextStartButton = nullptr;  // shown after a run that met files in use
    // Shown when the run's files left old data in free clusters (and no power-off follows):
    // ends the result and opens the free-space panel for those drives.
    HWND OfferFreeSpaceButton = nullptr;

    // The history tools' panel and its controls exist once it was first shown.
    ui::Panel Toolspanel;
    std::unique_ptr<TImageControl> ToolsHeader;
    HWND ToolsTitle = nullptr;
    HWND RunToolsButton = nullptr;
    HWND SelectTracesLabel = nullptr;
    ui::CheckListView TraceList;  // the kinds of traces, in their order
    // The trace eraser's target bit of each row of TraceList.
    std::vector<std::uint16_t> TraceTargets;
    HWND ToolsProgressGroup = nullptr;
    HWND ToolsWaitLabel = nullptr;
    HWND ToolsProgress = nullptr;
    HWND CloseToolsButton = nullptr;
    HWND PreviewTracesButton = nullptr;   // "内容を確認": fills the list's "内容" column
    HWND ScheduleTracesButton = nullptr;  // "スケジュール...": OpenTraceSchedule()
    // The number of ticked kinds in TraceList.
    int CountToolsTicked() const;

    // The free-space erase panel (MainWindowFreeSpace.cpp).
    ui::Panel FreeSpacePanel;
    HWND FreeSpaceDrives = nullptr;  // the fixed drives: letter, free space, size, file system
    HWND ChooseFreeSpaceFolderButton = nullptr;
    HWND FreeSpaceFolderLabel = nullptr;
    HWND FreeSpaceLevel = nullptr;  // Speed, Normal, High
    HWND FreeSpaceNote = nullptr;
    HWND FreeSpaceHelpLink = nullptr;
    HWND FreeSpaceProgress = nullptr;  // 0..1000 of the free space at the start times the passes
    HWND FreeSpaceStatus = nullptr;    // bytes written and the time left
    HWND FreeSpaceResultLabel = nullptr;
    HWND StartFreeSpaceButton = nullptr;
    HWND StopFreeSpaceButton = nullptr;
    HWND CloseFreeSpaceButton = nullptr;
    // The folders the run works in, one after another: the drives the result panel's offer
    // chose, else the folder chosen, else the selected drive's root; empty when none is chosen.
    std::vector<std::wstring> FreeSpaceTargets() const;
    // Takes a folder instead of a drive (what the folder button does after asking).
    void SetFreeSpaceFolder(const std::wstring& folder);
    // Opens the panel with `drives` chosen, to be filled one after another at `level` (what the
    // result panel's offer does after Finish).
    void OpenFreeSpaceFor(const std::vector<std::wstring>& drives, EraseLevel level);
    // A free-space erase is writing or cleaning up (the end of the session is refused then).
    bool FreeSpaceRunning() const;
    // Ends a free-space erase at once and deletes what it made, before returning (for the end
    // of the session). Nothing happens when none runs.
    void StopFreeSpaceAndCleanUp();

    // The tool tips of the mode selector and the Apply button.
    HWND Hints = nullptr;
    // The tool tip text of a control; empty when it has none.
    std::wstring HintOf(HWND control) const;

    ui::StatusBar StatusBar;
    HWND OverallProgress = nullptr;

    ui::ImageList FileIcons;  // the file list's small icons
    // The shell's icons are made ready on a thread of their own while the window is built, so
    // that the first file listed does not wait for them; joined when the window goes.
    std::thread shellIconsReady_;
    ui::ImageList ModeIcons;  // the erase mode icons

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Shows the profile chooser and gives the name chosen; empty when none was.
    virtual std::wstring ChooseProfile();
    // Erases one file of the run with the erase panel's progress bar and percentage label.
    // With `verify`, the file's last pass is read back before the cut.
    virtual EraseOutcome EraseRowFile(const std::wstring& path, EraseLevel level, bool verify);

private:
    // Construction, in its steps.
    void BuildFrame(HWND owner);
    void BuildActions();
    void BuildBars();
    void BuildPanels();
    void BuildStatusBar();
    void FormCreate();
    void DrawToolsHeader();
    void TakeCommandLineArgument();
    void FormShow();
    void FormClose();
    // Call sites of the file list and the list transfer.
    void AddCommandLineFile();
    // Every argument of the command line: files and folders as AddShellPaths takes them.
    void AddCommandLinePaths();
    void ImportLeftList();
    void ExportListForNextStart();

    // The commands' handlers (see Command), with the part each belongs to.
    void AddFiles();            // file list
    void ExitProgram();         // closes the main window
    void ClearList();           // file list
    void TickAll();             // file list
    void UntickAll();           // file list
    void OpenSettings();        // shell commands
    void StopRun();             // erase run
    void AddFolder();           // file list
    void ShowHelp();            // shell commands
    void RemoveUnticked();      // file list
    void RemoveTicked();        // file list
    void ShowAbout();           // shell commands
    void OpenWebSite();         // shell commands
    void ApplyMode();           // applies the chosen erase mode
    void RunHistoryTools();     // tools panel
    void OpenHistoryTools();    // tools panel
    void ManageProfiles();      // shell commands
    void ShowFileProperties();  // shell commands
    void ImportList();          // list transfer
    void ExportList();          // list transfer
    void RemoveSelected();      // file list
    void OpenFreeSpace();       // free-space panel
    void EraseRecycleBin();     // the question, then a run over the Recycle Bin
    // The history tools panel: its controls (made when it is first shown), the tick handler
    // and closing it.
    void BuildToolsPanel();
    void ListTraceKinds();  // Internet Explorer's four, then the installed browsers' and Explorer's
    // The target bits of the ticked rows.
    std::uint16_t TickedTraceTargets() const;
    // A row's tick changed (-1: every row's): the run and look buttons follow, the row's "内容" empties.
    void TraceTicksChanged(int row);
    void CloseHistoryTools();
    // "内容を確認": what each ticked row would erase, in the list's second column; nothing changes.
    void PreviewHistoryTools();
    // Sets Busy and disables the panel's controls while a run or a look works; false gives them back.
    void SetToolsBusy(bool busy);
    static LRESULT CALLBACK ToolsPanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self);

    // The free-space erase panel: building, the target, the run, closing, leftovers at start.
    void BuildFreeSpacePanel();
    void ListFreeSpaceDrives();
    void ShowFreeSpaceTarget();
    void ChooseFreeSpaceFolder();
    void StartFreeSpace();
    void StopFreeSpace();
    void CloseFreeSpace();
    void CheckFreeSpaceLeftovers();
    std::wstring FreeSpaceRecordFile() const;
    static LRESULT CALLBACK FreeSpacePanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR self);
    // The erase run after its confirmation; the finish and save-log buttons of its result.
    void RunErase();
    // The start shared by the runs of the list and of the Recycle Bin: the error report window
    // closes, the window state is kept, the Stop flag clears, `Busy` and `writing` are taken,
    // the frame locks and the run panel shows with an empty log and display. A run that must
    // stay minimized (the pending erase at logon) keeps the window as it is.
    void BeginRun(std::optional<WritingJob>& writing, bool keepWindowState = true);
    void FinishRun();
    void SaveLog();
    // Asks where, then writes the last run's erasure report (HTML or CSV).
    void SaveReport();
    // Files erased at the next start: the result panel's button after a run that met files in
    // use, what it does, the question at an ordinary start and the pending erase itself.
    void OfferEraseAtNextStart();
    void MarkFilesForNextStart();
    void PostPendingWork();
    void ErasePendingFiles(bool atPendingStart);
    // Erases the entries with read-back, keeps those still held; writes the list, the log and
    // the report; false when something failed (then the result panel shows the log).
    bool RunPendingErase(const std::vector<PendingEntry>& entries);
    // Places the result panel's visible buttons in one row from the right.
    void LayOutResultButtons();
    // The free-space offer of the result panel: what a file of the run left on its drive, the
    // button shown (not when the power-off follows) and pressed.
    void NoteFreeSpaceOffer(EraseLevel level, bool leftSomething, const std::wstring& driveRoot);
    void ShowFreeSpaceOffer(bool powerOffFollows);
    void TakeFreeSpaceOffer();
    // A new report for the run that starts, with the mode's name and whether it reads back.
    void BeginRunReport(EraseMode mode, bool verify);
    // One file of the run into its report, as far as the run knows it.
    // (`outcome` null: the run was stopped before it came to the file.)
    void RecordRunFile(const std::wstring& path, EraseLevel level, const EraseOutcome* outcome,
                       const std::wstring& logLine);
    // Adds a line to the run's log; it reaches the view with the run's display.
    void AppendLogLine(const std::wstring& line);
    void WriteLogHeader(int ticked, int total = -1);
    // The run over the items of the Recycle Bin (MainWindowRecycleBin.cpp).
    void RunRecycleBinErase(const std::vector<RecycleBinDrive>& drives);
    // `verified`: the files whose read-back matched, when the run read back.
    void WriteLogFooter(int processed, std::optional<int> verified = std::nullopt);
    // Shows an open dialog and adds the files chosen.
    void ChooseFilesToAdd();
    // The list view's notifications; true when handled.
    bool FileListNotify(const NMHDR& header, LRESULT& result);
    void FileListDblClick();
    void FileListContextPopup();
    // The profile's #RemoveReadOnly and the exclusion gate; false without settings.
    bool RemoveReadOnlySetting() const;
    bool ExclusionSetting() const;

    void ModeSelectorChange();
    void SetApplyCaptionPending(bool pending);
    void AddHint(HWND control, const std::wstring& text);
    HWND AddChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                  int width, int height, int id = 0, DWORD exStyle = 0);
    bool SettingsOrProfileWindowOpen() const;
    // The last touches of construction: the logo takes double clicks, the file list's columns
    // keep their limits.
    void FinishFrame();
    // The label fills its whole area with the button face, whatever brush its parent gives it.
    static void MakeLabelOpaque(HWND label);
    bool ApplicationMinimized() const;
    // This is the application's main window: it minimizes and restores with the application.
    bool MinimizesWithApplication() const;

    TApplication& application_;
    std::wstring programFolder_;
    std::vector<std::wstring> arguments_;
    ContentPanel visiblePanel_ = ContentPanel::List;
    // While a batch goes into the list: the rows are drawn, and the list actions follow, at its end.
    bool addingBatch_ = false;
    // Appends the row's picture to FileIcons (see AddSmallIcon); its index. A placeholder of a
    // synchronised folder shows its type's picture, its data never read for it.
    int ListIcon(const std::wstring& path, DWORD attributes);
    bool modeChangePending_ = false;
    bool shownOnce_ = false;
    // The handed-over paths are being added (or refused with a message box showing).
    bool handingOver_ = false;
    int writingJobs_ = 0;
    HWND toolsFocus_ = nullptr;  // the tools panel's control with the focus when its job began
    bool sessionEnded_ = false;
    int contentTop_ = kControlBarHeight;
    int contentHeight_ = 0;
    SIZE minimumSize_{0, 0};

    // What a run shows next: kept here and brought to the controls at most every
    // kRunDisplayIntervalMs (between files, and by a timer while a long file is written) and
    // at the end, not for every file; each control costs a trip to the window system. The run's
    // worker fills it and the window shows it, each under `runDisplayLock_`.
    struct RunDisplay {
        std::optional<std::wstring> currentFile;
        std::optional<std::wstring> mode;  // status panel 0 in Custom runs
        std::optional<int> done;           // of `total`
        int total = 0;
        std::vector<std::wstring> logLines;
        ULONGLONG shownAt = 0;
        bool shownOnce = false;
    };
    static constexpr ULONGLONG kRunDisplayIntervalMs = 50;
    static constexpr UINT_PTR kRunDisplayTimer = 30;
    // True (and the interval starts again) when the run's display is due.
    bool RunDisplayDue();
    void ShowRunDisplay();
    void ShowFilePercent();
    void StartRunDisplayTimer(bool on);
    RunDisplay runDisplay_;
    mutable std::mutex runDisplayLock_;
    // The current file's percentage as the worker's engine last told it (-1: nothing new), and
    // what the file's bar and label show.
    std::atomic<int> runFilePercent_{-1};
    int shownFilePercent_ = -1;
    ULONGLONG runDisplayShownTick_ = 0;  // when the display last reached the controls

    // The files of a run are erased on a worker thread while the window stays free to paint and
    // to answer Stop. At each servicing the worker asks the window (sent, so it waits) to take
    // what waits for the Stop button and to show the file's percentage, or the whole display
    // when it is due.
    static constexpr UINT kRunServiceMessage = WM_APP + 0x162;
    // A ticked row of the run, read from the list before the worker starts.
    struct RunRow {
        int row = 0;
        std::wstring path;
        EraseLevel level = EraseLevel::Speed;
    };
    struct RunTally {
        int processed = 0;
        int verified = 0;
    };
    std::vector<RunRow> TickedRunRows(EraseMode mode);
    // Starts the worker over `rows` and services the window until it ends; throws what it threw.
    void EraseRowsOnWorker(const std::vector<RunRow>& rows, bool custom, bool verify, RunTally& tally);
    // The worker's walk over the rows.
    void EraseRows(const std::vector<RunRow>& rows, bool custom, bool verify, RunTally& tally);
    // The window's side of a worker's servicing request.
    void ServiceRunRequest(bool showDisplay);
    // The worker's servicing at the engine's ticks.
    static void ServiceRunWindowFromWorker();

    // The files of the last run that failed because another program held them, at their level.
    std::vector<PendingEntry> filesInUse_;
    // Rows whose files the last run erased: Finish drops them without asking for files gone.
    std::vector<bool> erasedRows_;
    std::unique_ptr<FreeSpaceJob> freeSpaceJob_;
    // The record of the last run, for its erasure report.
    std::unique_ptr<ErasureRecorder> runReport_;
    std::wstring freeSpaceFolder_;  // chosen with the folder button; empty: the selected drive
    std::vector<std::wstring> freeSpaceQueue_;  // chosen by the offer; empty: the folder or drive
    // The drives whose free clusters the last run's files left old data in, and the highest
    // level the run used.
    struct FreeSpaceOffer {
        std::vector<std::wstring> drives;
        EraseLevel level = EraseLevel::Speed;
    } freeSpaceOffer_;
    std::unique_ptr<TSSTP> notifier_;
    std::unique_ptr<TOsterlanActionImage> busyAnimation_;
    ui::Font windowFont_;
    ui::Font windowBoldFont_;
    ui::Font listFont_;
};
