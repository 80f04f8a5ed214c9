#include "settings/ConfigWindow.h"

#include <mmsystem.h>

#include <utility>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "settings/IniFile.h"
#include "ui/Window.h"

namespace {

constexpr wchar_t kSection[] = L"TIDEMARROW";

TConfigWindow* g_configWindow = nullptr;

SoundPlayer& Player() {
    static SoundPlayer player = [](const std::wstring& path, UINT flags) {
        return ::sndPlaySoundW(path.c_str(), flags) != FALSE;
    };
    return player;
}

// An index read from the file that is no position in its list leaves nothing chosen.
int IndexWithin(int value, int count) { return value >= 0 && value < count ? value : -1; }

// True when the file can be opened for reading (another program may hold it shut).
bool CanOpenForReading(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

constexpr wchar_t kConfigName[] = L"Config.ini";

}  // namespace

TConfigWindow* ConfigWindow() { return g_configWindow; }

SoundPlayer SetSoundPlayer(SoundPlayer player) { return std::exchange(Player(), std::move(player)); }

TConfigWindow::TConfigWindow() : OpenWebAddress(ui::ShellOpenWebAddress) {
    ApplyAllDefaults();
    if (!g_configWindow) g_configWindow = this;
}

TConfigWindow::~TConfigWindow() {
    try {
        SaveSettings();
    } catch (...) {
        // The report of the failing step has been made; the program is ending.
    }
    // The window goes while the pictures and icons its controls show still exist.
    if (Handle()) ::DestroyWindow(Handle());
    if (g_configWindow == this) g_configWindow = nullptr;
}

void TConfigWindow::SetProfileFolder(const std::wstring& folder) {
    profileFolder_ = folder;
    // Kept without a trailing backslash, so that "\Config.ini" can be appended.
    while (profileFolder_.size() > 3 && profileFolder_.back() == L'\\') profileFolder_.pop_back();
}

void TConfigWindow::SetProfileName(const std::wstring& name) { profileName_ = name; }

std::wstring TConfigWindow::ConfigPath() const { return profileFolder_ + L"\\Config.ini"; }

std::wstring TConfigWindow::DataFolder() const { return profileFolder_ + L"\\Savedat"; }

void TConfigWindow::LoadSettings() {
    if (profileFolder_.empty() || !DirectoryExists(profileFolder_)) return;
    if (!FileExists(ConfigPath())) return;
    if (!CanOpenForReading(ConfigPath())) {
        // The fields keep what they hold; the file is not written over this session.
        MarkUnreadable(kConfigName, ConfigPath());
    } else {
        MarkReadable(kConfigName);
    }
    // After a failed save the values of this session are newer than the file's.
    if (!Unreadable(kConfigName) && !Unsaved(kConfigName)) {
        try {
            const IniSection ini(ConfigPath(), kSection);
            Settings read = values_;
            read.Erase = IndexWithin(ini.ReadInteger(L"#Erase", 0), kEraseModeCount);
            read.Dropfile = ini.ReadBool(L"#Dropfile", true);
            read.WarningClose = ini.ReadBool(L"#Warning close", true);
            read.RemoveEnable = ini.ReadBool(L"#Remove enable", false);
            read.EraseHighspeed = ini.ReadBool(L"#Erase highspeed", false);
            read.ErrorReport = ini.ReadBool(L"#Error report", true);
            read.UseExitFunction = ini.ReadBool(L"#UseExitFunction", true);
            read.UseSSTP = ini.ReadBool(L"#Use SSTP", false);
            read.SSTPPort = static_cast<std::uint16_t>(ini.ReadInteger(L"#SSTP_Port", 9801) & 0xFFFF);
            read.ShowGrid = ini.ReadBool(L"#ShowGrid", false);
            read.Sound = ini.ReadBool(L"#Sound", false);
            read.SoundFile = ini.ReadString(L"#SoundFile", L"");
            read.IETool01 = IndexWithin(ini.ReadInteger(L"#IE_TOOL_01", 0), kEraseLevelCount);
            read.IETools02 = IndexWithin(ini.ReadInteger(L"#IE_TOOLS_02", 1), kEraseLevelCount);
            read.ETools01 = IndexWithin(ini.ReadInteger(L"#E_TOOLS_01", 0), kEraseLevelCount);
            read.CustomMode = IndexWithin(ini.ReadInteger(L"#CustomMode", 0), kEraseLevelCount);
            read.ShowUserName = ini.ReadBool(L"#ShowUserName", false);
            read.AutoIn = ini.ReadBool(L"#AutoIn", false);
            read.RemoveReadOnly = ini.ReadBool(L"#RemoveReadOnly", false);
            read.Verify = ini.ReadBool(L"#Verify", false);
            values_ = std::move(read);
        } catch (...) {
            RaiseAssertion(AssertSite::ConfigIniWrite);
            return;
        }
    }
    LoadLists();
    UpdateSoundControls();
    ShowValues();
}

void TConfigWindow::MarkUnreadable(const std::wstring& name, const std::wstring& path) {
    unreadable_.insert(name);
    if (!told_.insert(name).second) return;
    const std::wstring text = L"設定ファイル \"" + path + L"\" を読み込めませんでした。\r\n" +
                              L"このファイルには今回の起動中は保存しません（この部分の設定の変更も保存されません）。";
    ::MessageBoxW(owner_, text.c_str(), L"エラー", MB_OK | MB_ICONEXCLAMATION);
}

void TConfigWindow::SaveSettings() {
    if (profileFolder_.empty() || !DirectoryExists(profileFolder_)) return;
    // A file that could not be read is left as it is.
    if (!Unreadable(kConfigName)) {
        bool written = false;
        try {
            written = WriteSettingsFile();
        } catch (...) {
            written = false;
        }
        if (!written) {
            RaiseAssertion(AssertSite::ConfigIniWrite,
                           saveFailureNotice_ == SaveFailureNotice::ReportWithPath ? L" " + ConfigPath() : L"");
            MarkUnsaved(kConfigName, ConfigPath());
            // The lists are not written after it; they too stay as this session has them.
            unsaved_.insert(L"remove.txt");
            unsaved_.insert(L"customerase.txt");
            unsaved_.insert(L"keepcookie.txt");
            return;
        }
        unsaved_.erase(kConfigName);
    }
    SaveLists();
}

void TConfigWindow::MarkUnsaved(const std::wstring& name, const std::wstring& path) {
    unsaved_.insert(name);
    if (saveFailureNotice_ != SaveFailureNotice::MessageBox || !toldUnsaved_.insert(name).second) return;
    const std::wstring text = L"設定ファイル \"" + path + L"\" に保存できませんでした。\r\n" +
                              L"変更した設定は今回の起動中は有効ですが、ファイルには残りません。";
    ::MessageBoxW(owner_, text.c_str(), L"エラー", MB_OK | MB_ICONEXCLAMATION);
}

// Writes the keys in their order; stops at the first that cannot be written.
bool TConfigWindow::WriteSettingsFile() {
    const IniSection ini(ConfigPath(), kSection);
    // The private-profile service does not always tell a refused write; a file that cannot be
    // opened for writing stops the save at its first key.
    if (!ini.Writable()) return false;
    const Settings& v = values_;
    return ini.WriteString(L"#SoftVersion", L"2.01") && ini.WriteString(L"#Config ver", L"00 01 C0") &&
           ini.WriteInteger(L"#Erase", v.Erase) && ini.WriteBool(L"#Dropfile", v.Dropfile) &&
           ini.WriteBool(L"#Warning close", v.WarningClose) && ini.WriteBool(L"#Remove enable", v.RemoveEnable) &&
           ini.WriteBool(L"#Erase highspeed", v.EraseHighspeed) && ini.WriteBool(L"#Error report", v.ErrorReport) &&
           ini.WriteBool(L"#UseExitFunction", v.UseExitFunction) && ini.WriteBool(L"#Use SSTP", v.UseSSTP) &&
           ini.WriteBool(L"#ShowGrid", v.ShowGrid) && ini.WriteBool(L"#Sound", v.Sound) &&
           ini.WriteString(L"#SoundFile", v.SoundFile) && ini.WriteInteger(L"#IE_TOOL_01", v.IETool01) &&
           ini.WriteInteger(L"#IE_TOOLS_02", v.IETools02) && ini.WriteInteger(L"#E_TOOLS_01", v.ETools01) &&
           ini.WriteInteger(L"#CustomMode", v.CustomMode) && ini.WriteBool(L"#ShowUserName", v.ShowUserName) &&
           ini.WriteBool(L"#AutoIn", v.AutoIn) && ini.WriteBool(L"#RemoveReadOnly", v.RemoveReadOnly) &&
           ini.WriteBool(L"#Verify", v.Verify) && ini.WriteString(L"#END_CONFIG", L"00 2A");
}

void TConfigWindow::SetActivePage(int page) {
    if (page < 0 || page >= kPageCount) return;
    activePage_ = page;
    if (pageControl_ && Handle()) {
        ::SendMessageW(pageControl_, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
        PagesChange();
    }
}

void TConfigWindow::ApplyPageDefaults(int page) {
    Settings& v = values_;
    switch (page) {
        case 0:
            v.Dropfile = false;
            v.WarningClose = true;
            v.RemoveEnable = false;
            v.ShowGrid = false;
            v.EraseHighspeed = false;
            v.ErrorReport = true;
            v.UseSSTP = false;
            v.PowerOffAfterRun = false;
            v.UseExitFunction = true;
            v.ShowUserName = false;
            v.AutoIn = false;
            v.Verify = false;
            break;
        case 1:
            v.RemoveReadOnly = false;
            exclusionBox_.clear();
            ResetExclusionList();
            break;
        case 2:
            v.Erase = 0;
            break;
        case 3:
            ResetCustomTable();
            customBox_.clear();
            v.CustomMode = 0;
            break;
        case 4:
            v.IETool01 = 0;
            v.IETools02 = 1;
            v.ETools01 = 0;
            break;
        case 5:
            v.Sound = false;
            v.SoundFile.clear();
            UpdateSoundControls();
            break;
        default:
            break;
    }
    ShowValues();
}

void TConfigWindow::ApplyAllDefaults() {
    const int shown = activePage_;
    for (int page = 0; page < kPageCount - 1; ++page) {
        SetActivePage(page);
        ApplyPageDefaults(page);
    }
    SetActivePage(shown);
}

int TConfigWindow::LevelFromIndex(int index) { return (index >= 1 && index <= 3) ? index : 0; }

EraseMode TConfigWindow::CurrentEraseMode() const { return static_cast<EraseMode>(LevelFromIndex(values_.Erase)); }

void TConfigWindow::SetEraseMode(EraseMode mode) {
    const int value = static_cast<int>(mode);
    values_.Erase = (value >= 1 && value <= 3) ? value : 0;
}

std::array<EraseLevel, 3> TConfigWindow::HistoryToolLevels() const {
    // Level indexes hold 0..2 or -1, so LevelFromIndex gives a level.
    return {static_cast<EraseLevel>(LevelFromIndex(values_.IETools02)),
            static_cast<EraseLevel>(LevelFromIndex(values_.IETool01)),
            static_cast<EraseLevel>(LevelFromIndex(values_.ETools01))};
}

bool TConfigWindow::ExclusionActive() const { return values_.RemoveEnable; }

void TConfigWindow::PlayCompletionSound() const {
    if (!values_.Sound || values_.SoundFile.empty() || !FileExists(values_.SoundFile)) return;
    if (const auto& player = Player()) player(values_.SoundFile, SND_ASYNC);
}
