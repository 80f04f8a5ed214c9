#pragma once

// The settings of the profile in use and the two extension lists. The single instance of
// TConfigWindow holds them for the whole program: its window (made once, hidden, and shown
// only modally) shows and edits this state, and every other part asks it through the
// accessors below. Without its window the object is the plain store.
//
//   TConfigWindow config;
//   config.Create(mainWindow);            // the hidden window (CreateWhenShown: at its first showing)
//   config.SetModeIcons(modeIcons);       // Speed, Normal, High, Custom
//   config.SetProfileFolder(folder); config.LoadSettings();
//   config.ShowSettings();                // modal; every change is in force at once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/Types.h"
#include "settings/Settings.h"
#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/Gdi.h"

// One row of the custom view: the level's icon and the extension.
struct CustomViewRow {
    EraseLevel level;
    std::wstring extension;
};

enum class ExtensionList { Exclusion, Custom };

// Who hears of a settings file that a save could not write (the error report always does):
// nobody more, the user in an "エラー" box once per file, or the error report with the file's
// path (at the end of the session, when nothing may be shown).
enum class SaveFailureNotice { ReportOnly, MessageBox, ReportWithPath };
enum class EntryMode { Add, Lookup };

class TConfigWindow : public ui::Form {
public:
    static constexpr int kPageCount = 7;
    static constexpr const wchar_t* kClassName = L"TConfigWindow";
    static constexpr int kClientWidth = 583;
    static constexpr int kClientHeight = 368;
    static constexpr int kModePictureWidth = 425;
    static constexpr int kModePictureHeight = 121;
    static constexpr int kDetailsWidth = 573;
    static constexpr int kDetailsHeight = 310;

    TConfigWindow();
    // Saves the settings and lists.
    ~TConfigWindow() override;
    TConfigWindow(const TConfigWindow&) = delete;
    TConfigWindow& operator=(const TConfigWindow&) = delete;

    // --- profile and file ---
    void SetProfileFolder(const std::wstring& folder);
    void SetProfileName(const std::wstring& name);
    const std::wstring& ProfileFolder() const { return profileFolder_; }
    const std::wstring& ProfileName() const { return profileName_; }
    std::wstring ConfigPath() const;
    std::wstring DataFolder() const;
    void LoadSettings();
    // Writes Config.ini and the lists. A file that cannot be written keeps the values of this
    // session in force: the next load leaves them as they are, and every save tries again.
    void SaveSettings();
    void SetSaveFailureNotice(SaveFailureNotice notice) { saveFailureNotice_ = notice; }
    // True for a settings file whose last save failed (or was not reached after a failure).
    bool Unsaved(const std::wstring& name) const { return unsaved_.count(name) != 0; }

    // --- defaults ---
    void ApplyPageDefaults(int page);
    void ApplyAllDefaults();
    int ActivePage() const { return activePage_; }
    void SetActivePage(int page);

    // --- questions from the other parts ---
    EraseMode CurrentEraseMode() const;
    void SetEraseMode(EraseMode mode);
    static int LevelFromIndex(int index);
    // Cookie level, cache level, recent-documents level.
    std::array<EraseLevel, 3> HistoryToolLevels() const;
    bool ExclusionActive() const;
    void PlayCompletionSound() const;

    // --- read accessors, one per field ---
    int Erase() const { return values_.Erase; }
    bool Dropfile() const { return values_.Dropfile; }
    bool WarningClose() const { return values_.WarningClose; }
    bool RemoveEnable() const { return values_.RemoveEnable; }
    bool EraseHighspeed() const { return values_.EraseHighspeed; }
    bool ErrorReport() const { return values_.ErrorReport; }
    bool UseExitFunction() const { return values_.UseExitFunction; }
    bool UseSSTP() const { return values_.UseSSTP; }
    std::uint16_t SSTPPort() const { return values_.SSTPPort; }
    bool ShowGrid() const { return values_.ShowGrid; }
    bool Sound() const { return values_.Sound; }
    const std::wstring& SoundFile() const { return values_.SoundFile; }
    int IETool01() const { return values_.IETool01; }
    int IETools02() const { return values_.IETools02; }
    int ETools01() const { return values_.ETools01; }
    int CustomMode() const { return values_.CustomMode; }
    bool ShowUserName() const { return values_.ShowUserName; }
    bool AutoIn() const { return values_.AutoIn; }
    bool RemoveReadOnly() const { return values_.RemoveReadOnly; }
    bool Verify() const { return values_.Verify; }
    bool PowerOffAfterRun() const { return values_.PowerOffAfterRun; }

    // The settings as the settings window edits them; a change is in force at once.
    const Settings& Values() const { return values_; }
    Settings& EditValues() { return values_; }

    // --- extension lists ---
    bool IsExcludedExtension(const std::wstring& extension);
    EraseLevel CustomLevelFor(const std::wstring& extension);
    bool FindOrAddEntry(ExtensionList list, const std::wstring& text, EntryMode mode);
    void LoadLists();
    void SaveLists();
    void ResetExclusionList();
    void ResetCustomTable();
    // The page's extension box holds `text`.
    void AddExclusion(const std::wstring& text);
    void AddCustomEntry(const std::wstring& text);
    void RemoveEntryAt(ExtensionList list, int index);
    void SortList(ExtensionList list);
    void RebuildCustomView();

    const std::vector<std::wstring>& Entries(ExtensionList list) const;
    std::vector<std::wstring>& EditEntries(ExtensionList list);
    // Selected entry of the exclusion list box or row of the custom view; -1 for none.
    int SelectedIndex(ExtensionList list) const;
    const std::vector<CustomViewRow>& CustomView() const { return customView_; }
    // Texts of the extension boxes of the exclusion and custom pages.
    const std::wstring& EntryBoxText(ExtensionList list) const;

    // --- the sites whose cookies stay ("Savedat\keepcookie.txt", saved with the lists) ---
    const std::vector<std::wstring>& KeptCookieSites() const { return keptCookieSites_; }
    // Adds the site as the list keeps it (`CookieSiteName`) and sorts the list; false when it is no
    // site name or already listed.
    bool AddKeptCookieSite(const std::wstring& text);
    // Removes the rows at these indexes of the list.
    void RemoveKeptCookieSites(std::vector<int> rows);

    // The window that owns message boxes (the settings window once it is shown).
    void SetOwnerWindow(HWND owner) { owner_ = owner; }

    // --- the window ---
    // Makes the hidden window with its seven pages, centred on `owner` (FormCreate), showing
    // what the store holds. False when it cannot be made; the store works without it.
    bool Create(HWND owner);
    // Puts the window off until it is first shown: the store works at once, and a start that
    // never opens the settings never pays for their window.
    void CreateWhenShown(HWND owner) {
        laterOwner_ = owner;
        createLater_ = true;
    }
    // Makes the window that CreateWhenShown put off; true when the window exists.
    bool EnsureWindow();
    // Start-up hands over the four mode icons (Speed, Normal, High, Custom); they are copied.
    void SetModeIcons(HIMAGELIST icons);
    HIMAGELIST ModeIcons() const { return modeIcons_.get(); }
    // Shows the window modally on page 基本設定 (FormShow); returns when it closes.
    int ShowSettings();
    // The page shown; showing another as a click on its tab does.
    int ShownPage() const;
    void ShowPage(int page);
    // The page the page-default button sits on.
    int PageDefaultButtonPage() const { return pageDefaultButtonPage_; }
    // A control of the window or its pages by identifier (ConfigWindowIds.h); null when none.
    HWND Control(int id) const;
    HBITMAP ModePicture() const { return modePicture_.get(); }
    HBITMAP DetailsPicture() const { return detailsPicture_.get(); }
    // Opens the banner's web address; tests replace it so that no browser starts.
    std::function<void(HWND owner, const std::wstring& address)> OpenWebAddress;
    // The program the switch of Explorer's right-click menu (page 詳細) adds or removes: the
    // copy that runs unless set.
    const std::wstring& ExplorerVerbProgram();
    void SetExplorerVerbProgram(std::wstring program) { explorerVerbProgram_ = std::move(program); }

    // True for a settings file ("Config.ini", "remove.txt", "customerase.txt", "keepcookie.txt") that a load of
    // this session could not read and no load has read since: no save writes it.
    bool Unreadable(const std::wstring& name) const { return unreadable_.count(name) != 0; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<std::wstring>& ListOf(ExtensionList list);
    int& SelectionOf(ExtensionList list);
    // Enables or disables the sound file controls after the Sound setting.
    void UpdateSoundControls();
    bool WriteSettingsFile();
    // A file that exists but cannot be read: remembered, so that no save writes over it, and
    // the user told once per file.
    void MarkUnreadable(const std::wstring& name, const std::wstring& path);
    // A file the save could not write: the values stay in force, and whoever must hear of it
    // is told (the user once per file).
    void MarkUnsaved(const std::wstring& name, const std::wstring& path);
    void MarkReadable(const std::wstring& name) {
        unreadable_.erase(name);
        told_.erase(name);
    }

    // --- the window (ConfigWindowForm.cpp, ConfigWindowPages.cpp, ConfigWindowPictures.cpp) ---
    bool CreatePages();
    void CreateBasicPage(HWND page);
    void CreateExclusionPage(HWND page);
    void CreateModePage(HWND page);
    void CreateCustomPage(HWND page);
    void CreateToolsPage(HWND page);
    // The group "クッキーを残すサイト" of page 追加機能の設定 (ConfigWindowKeptSites.cpp).
    void CreateKeptSitesGroup(HWND page);
    void ShowKeptCookieSites();
    void KeptSiteAddClick();
    void KeptSiteRemoveClick();
    void KeptSitePickClick();
    bool HandleKeptSitesCommand(int id, int code);
    void LoadKeptCookieSites(const std::wstring& folder);
    void CreateSoundPage(HWND page);
    void CreateDetailsPage(HWND page);
    // The switch of Explorer's right-click menu (ConfigWindowExplorerVerb.cpp).
    void CreateExplorerVerbCheck(HWND page);
    void ShowExplorerVerb();
    void ExplorerVerbClick();
    HWND AddChild(HWND page, const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                  int width, int height, int id, DWORD exStyle = 0);
    void FillChoices();
    // Gives the mode icons to the level choices and the custom view.
    void ShowModeIcons();
    // Shows the settings and lists in the controls (the store is the truth).
    void ShowValues();
    void ShowExclusionList();
    void ShowCustomView();
    void FormShow();
    void PagesChange();
    void MovePageDefaultButton(int page);
    bool HandleCommand(WPARAM wParam, LPARAM lParam);
    bool HandleNotify(const NMHDR& header, LRESULT& result);
    void BasicCheckClick(int index);
    void ChoiceChange(int id);
    void CloseClick();
    void AllDefaultsClick();
    void PageDefaultsClick();
    void ExclusionAddClick();
    void ExclusionRemoveClick();
    void CustomAddClick();
    void CustomRemoveClick();
    void SoundClick();
    void SoundOpenClick();
    void BannerClick();
    void CustomViewClick();
    std::wstring BoxText(int id) const;
    // Pictures.
    void LoadDetailsBackground();
    void DrawModeInfo();
    void DrawDetails();
    void DrawBanner();
    void DrawSoundIcon();
    bool DrawModePictureItem(const DRAWITEMSTRUCT& item) const;

    ui::ImageList modeIcons_;
    ui::Font windowFont_;
    HWND pageControl_ = nullptr;
    std::array<std::unique_ptr<ui::Panel>, kPageCount> pages_;
    HWND closeButton_ = nullptr;
    HWND allDefaultsButton_ = nullptr;
    HWND pageDefaultButton_ = nullptr;
    int pageDefaultButtonPage_ = 0;
    std::array<HWND, 12> basicChecks_{};
    HWND exclusionListBox_ = nullptr;
    HWND exclusionEdit_ = nullptr;
    HWND readOnlyCheck_ = nullptr;
    ui::ComboBoxEx eraseModeChoice_;
    ui::ComboBoxEx customLevelChoice_;
    ui::ComboBoxEx cacheLevelChoice_;
    ui::ComboBoxEx cookieLevelChoice_;
    ui::ComboBoxEx historyLevelChoice_;
    HWND modePictureControl_ = nullptr;
    HWND customViewControl_ = nullptr;
    HWND customEdit_ = nullptr;
    HWND soundCheck_ = nullptr;
    HWND soundFileLabel_ = nullptr;
    HWND soundPathBox_ = nullptr;
    HWND soundOpenButton_ = nullptr;
    HWND soundIconControl_ = nullptr;
    HWND detailsControl_ = nullptr;
    HWND bannerControl_ = nullptr;
    HWND explorerVerbCheck_ = nullptr;
    HWND keptSitesList_ = nullptr;
    HWND keptSitesProblem_ = nullptr;
    std::wstring explorerVerbProgram_;
    ui::Bitmap modePicture_;
    ui::Bitmap detailsPicture_;
    ui::Bitmap bannerPicture_;
    ui::Bitmap soundIconPicture_;
    bool showingValues_ = false;
    ui::FocusKeeper focus_;
    std::set<std::wstring> unreadable_;
    std::set<std::wstring> told_;
    std::set<std::wstring> unsaved_;
    std::set<std::wstring> toldUnsaved_;
    SaveFailureNotice saveFailureNotice_ = SaveFailureNotice::ReportOnly;

    Settings values_;
    std::wstring profileFolder_;
    std::wstring profileName_;
    int activePage_ = 0;

    std::vector<std::wstring> exclusionList_;
    std::vector<std::wstring> customTable_;
    std::vector<CustomViewRow> customView_;
    std::vector<std::wstring> keptCookieSites_;
    int exclusionSelected_ = -1;
    int customSelected_ = -1;
    std::wstring exclusionBox_;
    std::wstring customBox_;
    HWND owner_ = nullptr;
    HWND laterOwner_ = nullptr;
    bool createLater_ = false;
};

// The program's single settings object; null before it is created and after it is freed.
TConfigWindow* ConfigWindow();

// Plays a WAV file asynchronously; replaced by tests.
using SoundPlayer = std::function<bool(const std::wstring& path, UINT flags)>;
SoundPlayer SetSoundPlayer(SoundPlayer player);
