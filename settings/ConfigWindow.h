#pragma once

// The settings of the profile in use and the two extension lists. The single instance of
// TConfigWindow holds them for the whole program: the settings window shows and edits this
// state, and every other part asks it through the accessors below.

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/Types.h"
#include "settings/Settings.h"

// One row of the custom view: the level's icon and the extension.
struct CustomViewRow {
    EraseLevel level;
    std::wstring extension;
};

enum class ExtensionList { Exclusion, Custom };
enum class EntryMode { Add, Lookup };

class TConfigWindow {
public:
    static constexpr int kPageCount = 7;

    TConfigWindow();
    // Saves the settings and lists.
    ~TConfigWindow();
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
    void SaveSettings();

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

    // The window that owns message boxes (the settings window once it is shown).
    void SetOwnerWindow(HWND owner) { owner_ = owner; }

private:
    std::vector<std::wstring>& ListOf(ExtensionList list);
    int& SelectionOf(ExtensionList list);
    // Enables or disables the sound file controls after the Sound setting.
    void UpdateSoundControls() {}
    bool WriteSettingsFile();

    Settings values_;
    std::wstring profileFolder_;
    std::wstring profileName_;
    int activePage_ = 0;

    std::vector<std::wstring> exclusionList_;
    std::vector<std::wstring> customTable_;
    std::vector<CustomViewRow> customView_;
    int exclusionSelected_ = -1;
    int customSelected_ = -1;
    std::wstring exclusionBox_;
    std::wstring customBox_;
    HWND owner_ = nullptr;
};

// The program's single settings object; null before it is created and after it is freed.
TConfigWindow* ConfigWindow();

// Plays a WAV file asynchronously; replaced by tests.
using SoundPlayer = std::function<bool(const std::wstring& path, UINT flags)>;
SoundPlayer SetSoundPlayer(SoundPlayer player);
