#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "resources/ProductInfo.h"
#include "resources/ResourceIds.h"
#include "settings/ConfigWindowIds.h"
#include "settings/CookieSiteDialogs.h"
#include "settings/ExplorerVerb.h"
#include "tests/history/BrowserFixture.h"
#include "tests/history/TraceFixture.h"
#include "tests/profiles/ModalScript.h"
#include "tests/settings/SettingsFixture.h"
#include "tests/support/Gui.h"
#include "tests/support/ProductAddresses.h"
#include "ui/Window.h"

namespace {

const BuildAddresses kConfiguredBuild;  // as a build given a web address shows the program


using Texts = std::vector<std::wstring>;

// The window made as start-up makes it: hidden, given the mode icons, then the profile loaded.
class SettingsWindow : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        icons_.reset(::ImageList_LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_MODE_ICONS),
                                            IDB_GLYPH_SIZE, 0, IDB_GLYPH_MASK_COLOUR, IMAGE_BITMAP,
                                            LR_CREATEDIBSECTION));
        ASSERT_NE(icons_.get(), nullptr);
    }
    void TearDown() override {
        if (config_) config_->SetProfileFolder(L"");  // the tests save explicitly
        config_.reset();
        SettingsTest::TearDown();
    }

    void Make() {
        config_ = std::make_unique<TConfigWindow>();
        config_->OpenWebAddress = [this](HWND, const std::wstring& address) { opened_.push_back(address); };
        ASSERT_TRUE(config_->Create(nullptr));
        config_->SetModeIcons(icons_.get());
        config_->SetProfileFolder(profile_);
        config_->SetProfileName(L"DefaultUser");
        config_->LoadSettings();
    }

    // Shows the window modally while `steps` run inside it, then presses "閉じる(&C)".
    bool ShowWhile(const std::function<void()>& steps) {
        ModalScript script;
        // Shown again soon after it was hidden, the window can lose the activation to the
        // display's late news of its hiding; it is activated again, as a click on it would.
        const HWND self = W().Handle();
        auto settled = std::make_shared<int>(0);
        script.Until([self, settled] {
            ::GetQueueStatus(QS_ALLINPUT);
            if (::IsWindowVisible(self) && ::GetForegroundWindow() != self) ::SetForegroundWindow(self);
            const bool shown = ::IsWindowVisible(self) && ::GetForegroundWindow() == self &&
                               !::GetUpdateRect(self, nullptr, FALSE);
            *settled = shown ? *settled + 1 : 0;
            return *settled >= 3;
        });
        script.Do(steps).Do([this] { Click(IDC_CONFIG_CLOSE); });
        const bool ran = script.Run(W().Handle(), [this] { W().ShowSettings(); });
        // The display takes in the hidden window before anything shows it again.
        PumpUntil([this] { return ::GetForegroundWindow() != W().Handle(); }, 3000);
        return ran;
    }

    TConfigWindow& W() { return *config_; }
    HWND C(int id) { return W().Control(id); }
    void Click(int id) { ::SendMessageW(C(id), BM_CLICK, 0, 0); }
    bool Checked(int id) { return ::SendMessageW(C(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) { return ::IsWindowEnabled(C(id)) != FALSE; }
    HWND Combo(int id) { return reinterpret_cast<HWND>(::SendMessageW(C(id), CBEM_GETCOMBOCONTROL, 0, 0)); }
    int Choice(int id) { return static_cast<int>(::SendMessageW(C(id), CB_GETCURSEL, 0, 0)); }
    void Key(HWND control, WPARAM key) { ::SendMessageW(control, WM_KEYDOWN, key, 0); }
    void Type(int id, const std::wstring& text) {
        ::SetWindowTextW(C(id), L"");
        for (wchar_t c : text) ::SendMessageW(C(id), WM_CHAR, c, 0);
    }
    void ClickAt(HWND control, int x, int y) {
        ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    Texts ListBoxTexts() {
        Texts texts;
        HWND list = C(IDC_CONFIG_EXCLUSION_LIST);
        for (int i = 0; i < ::SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[32] = {};
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
        }
        return texts;
    }
    // The custom view's rows: the level's image index, ":", the extension.
    Texts ViewRows() {
        Texts rows;
        HWND view = C(IDC_CONFIG_CUSTOM_VIEW);
        for (int i = 0; i < ::SendMessageW(view, LVM_GETITEMCOUNT, 0, 0); ++i) {
            wchar_t text[32] = {};
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            ::SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            item.iSubItem = 1;
            item.pszText = text;
            item.cchTextMax = 32;
            ::SendMessageW(view, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            rows.push_back(std::to_wstring(item.iImage) + L":" + text);
        }
        return rows;
    }

    ui::ImageList icons_;
    std::unique_ptr<TConfigWindow> config_;
    Texts opened_;
};

// The check boxes of page 基本設定 by caption, with the setting each holds.
struct CheckBinding {
    const wchar_t* caption;
    bool Settings::*field;
};
const CheckBinding kChecks[] = {
    {L"フォルダをドロップした際にサブフォルダも含める", &Settings::Dropfile},
    {L"終了時ファイルリストが0でない場合に警告する", &Settings::WarningClose},
    {L"除外設定を有効にする", &Settings::RemoveEnable},
    {L"抹消時にプライオリティを自動的に上げる", &Settings::EraseHighspeed},
    {L"エラーレポートを有効にする", &Settings::ErrorReport},
    {L"エラーレポート有効時強制終了を行えるようにする", &Settings::UseExitFunction},
    {L"ファイルリストにグリッドを表示", &Settings::ShowGrid},
    {L"作業終了後に自動的にコンピュータの電源を切る(*この設定は保存されません)", &Settings::PowerOffAfterRun},
    {L"メインウインドウにユーザー名を表示する", &Settings::ShowUserName},
    {L"中断時にオートインポートを行う", &Settings::AutoIn},
    {L"SSTPを使用する", &Settings::UseSSTP},
    {L"抹消後に書き込み内容を確認する", &Settings::Verify},
};

TEST_F(SettingsWindow, WindowShowsSevenPagesAndThePageDefaultButtonFollowsThePageShown) {
    Make();
    EXPECT_EQ(ui::WindowText(W().Handle()), L"TIDEMARROW32 SEの設定");
    RECT client{};
    ::GetClientRect(W().Handle(), &client);
    EXPECT_EQ(client.right, 583);
    EXPECT_EQ(client.bottom, 368);
    EXPECT_FALSE(::IsWindowVisible(W().Handle())) << "made hidden";
    Texts captions;
    for (int i = 0; i < 7; ++i) {
        wchar_t text[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        ::SendMessageW(C(IDC_CONFIG_PAGES), TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        captions.push_back(text);
    }
    EXPECT_EQ(captions, (Texts{L"基本設定", L"除外設定", L"抹消モードの選択", L"カスタムモードの設定", L"追加機能の設定",
                               L"サウンド設定", L"詳細"}));

    HWND button = C(IDC_CONFIG_PAGE_DEFAULTS);
    ASSERT_TRUE(ShowWhile([&] {
        EXPECT_TRUE(ui::FindThreadWindow(L"TConfigWindow", nullptr, true)) << "the close query finds it";
        for (int page = 0; page < 6; ++page) {
            W().ShowPage(page);
            EXPECT_EQ(::GetParent(button), C(IDC_CONFIG_PAGE_FIRST + page)) << page;
            EXPECT_TRUE(::IsWindowVisible(button)) << page;
        }
        ClickAt(C(IDC_CONFIG_PAGES), 560, 10);  // the last tab, 詳細, as the user clicks it
        EXPECT_EQ(W().ShownPage(), 6);
        EXPECT_EQ(::GetParent(button), C(IDC_CONFIG_PAGE_FIRST + 5)) << "stays on the page shown before";
        EXPECT_FALSE(::IsWindowVisible(button));
        EXPECT_TRUE(::IsWindowVisible(C(IDC_CONFIG_ALL_DEFAULTS)));
    }));
    ASSERT_TRUE(ShowWhile([&] {
        EXPECT_EQ(W().ShownPage(), 0) << "every show starts on 基本設定";
        EXPECT_TRUE(::IsWindowVisible(C(IDC_CONFIG_PAGE_FIRST)));
        EXPECT_FALSE(::IsWindowVisible(C(IDC_CONFIG_PAGE_FIRST + 6)));
        EXPECT_EQ(::GetParent(button), C(IDC_CONFIG_PAGE_FIRST));
    }));
}

TEST_F(SettingsWindow, EveryControlShowsItsSettingAndChangesIt) {
    WriteConfig("[TIDEMARROW]\r\n#Dropfile=1\r\n#Warning close=0\r\n#Remove enable=1\r\n#Erase highspeed=1\r\n"
                "#Error report=0\r\n#UseExitFunction=0\r\n#ShowGrid=1\r\n#ShowUserName=1\r\n#AutoIn=1\r\n"
                "#Use SSTP=1\r\n#RemoveReadOnly=1\r\n#Verify=1\r\n#Erase=1\r\n#CustomMode=2\r\n#IE_TOOL_01=2\r\n#IE_TOOLS_02=0\r\n"
                "#E_TOOLS_01=1\r\n#Sound=1\r\n#SoundFile=C:\\sounds\\end.wav\r\n");
    Make();
    ASSERT_TRUE(ShowWhile([&] {
        for (int i = 0; i < 12; ++i) {
            const int id = IDC_CONFIG_BASIC_FIRST + i;
            EXPECT_EQ(ui::WindowText(C(id)), kChecks[i].caption);
            EXPECT_EQ(Checked(id), W().Values().*(kChecks[i].field)) << i;
            Click(id);
            EXPECT_EQ(Checked(id), W().Values().*(kChecks[i].field)) << i;
        }
        EXPECT_FALSE(W().Dropfile());
        EXPECT_TRUE(W().WarningClose());
        EXPECT_TRUE(W().PowerOffAfterRun());
        EXPECT_TRUE(Checked(IDC_CONFIG_READ_ONLY));
        Click(IDC_CONFIG_READ_ONLY);
        EXPECT_FALSE(W().RemoveReadOnly());
        EXPECT_EQ(ui::WindowText(C(IDC_CONFIG_SOUND_FILE)), L"C:\\sounds\\end.wav");

        // The five choices: the items with their icons, the setting both ways, typing ignored.
        EXPECT_EQ(Choice(IDC_CONFIG_MODE_CHOICE), 1);
        EXPECT_EQ(::SendMessageW(C(IDC_CONFIG_MODE_CHOICE), CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(::SendMessageW(C(IDC_CONFIG_CACHE_LEVEL), CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(reinterpret_cast<HIMAGELIST>(::SendMessageW(C(IDC_CONFIG_MODE_CHOICE), CBEM_GETIMAGELIST, 0, 0)),
                  W().ModeIcons());
        EXPECT_EQ(::ImageList_GetImageCount(W().ModeIcons()), 4);
        Key(Combo(IDC_CONFIG_MODE_CHOICE), VK_DOWN);
        EXPECT_EQ(W().Erase(), 2);
        ::SendMessageW(Combo(IDC_CONFIG_MODE_CHOICE), WM_CHAR, L'S', 0);
        ::SendMessageW(Combo(IDC_CONFIG_MODE_CHOICE), WM_CHAR, L'C', 0);
        EXPECT_EQ(Choice(IDC_CONFIG_MODE_CHOICE), 2) << "typed keys are discarded";
        EXPECT_EQ(W().Erase(), 2);
        const std::pair<int, int Settings::*> levels[] = {{IDC_CONFIG_CUSTOM_LEVEL, &Settings::CustomMode},
                                                          {IDC_CONFIG_CACHE_LEVEL, &Settings::IETool01},
                                                          {IDC_CONFIG_COOKIE_LEVEL, &Settings::IETools02},
                                                          {IDC_CONFIG_HISTORY_LEVEL, &Settings::ETools01}};
        const int shownBefore[] = {2, 2, 0, 1};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(Choice(levels[i].first), shownBefore[i]) << i;
            Key(Combo(levels[i].first), shownBefore[i] == 2 ? VK_UP : VK_DOWN);
            EXPECT_EQ(W().Values().*(levels[i].second), shownBefore[i] == 2 ? 1 : shownBefore[i] + 1) << i;
        }
    }));
    W().SaveSettings();
    const std::string saved = ReadBytes(ConfigPath());
    for (const char* line : {"#Erase=2\r\n", "#Dropfile=0\r\n", "#RemoveReadOnly=0\r\n#Verify=0\r\n", "#IE_TOOLS_02=1\r\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;
}

TEST_F(SettingsWindow, DefaultButtonsAskFirstAndKeepThePortAndThePageShown) {
    WriteConfig("[TIDEMARROW]\r\n#SSTP_Port=12345\r\n#ShowGrid=1\r\n#RemoveReadOnly=1\r\n#Erase=2\r\n"
                "#CustomMode=2\r\n#IE_TOOL_01=2\r\n#Sound=1\r\n");
    Make();
    const auto answer = [this](int button, int reply) {
        DialogAnswerer box(L"確認", reply);
        Click(button);
        EXPECT_TRUE(box.Wait());
        return box.Text();
    };
    // One changed setting per page, 基本設定 to サウンド設定.
    const std::function<bool()> changed[] = {[&] { return W().ShowGrid(); },      [&] { return W().RemoveReadOnly(); },
                                             [&] { return W().Erase() == 2; },    [&] { return W().CustomMode() == 2; },
                                             [&] { return W().IETool01() == 2; }, [&] { return W().Sound(); }};
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(1);
        EXPECT_NE(answer(IDC_CONFIG_PAGE_DEFAULTS, IDNO).find(L"このページの設定を初期値へ戻しますか？　"),
                  std::wstring::npos);
        EXPECT_TRUE(W().RemoveReadOnly()) << "No changes nothing";
        for (int page = 0; page < 6; ++page) {
            W().ShowPage(page);
            answer(IDC_CONFIG_PAGE_DEFAULTS, IDYES);
            EXPECT_FALSE(changed[page]()) << page;
            if (page < 5) {
                EXPECT_TRUE(changed[page + 1]()) << "the next page is untouched " << page;
            }
        }
        EXPECT_FALSE(Checked(IDC_CONFIG_SOUND));
        EXPECT_FALSE(Enabled(IDC_CONFIG_SOUND_OPEN));

        Click(IDC_CONFIG_BASIC_FIRST + 6);  // grid lines on again
        W().ShowPage(2);
        EXPECT_NE(answer(IDC_CONFIG_ALL_DEFAULTS, IDNO).find(L"すべての設定を初期値に戻します。よろしいですか？　"),
                  std::wstring::npos);
        EXPECT_TRUE(W().ShowGrid());
        answer(IDC_CONFIG_ALL_DEFAULTS, IDYES);
        EXPECT_FALSE(W().ShowGrid());
        EXPECT_FALSE(Checked(IDC_CONFIG_BASIC_FIRST + 6));
        EXPECT_EQ(W().SSTPPort(), 12345);
        EXPECT_EQ(W().ShownPage(), 2);
        EXPECT_EQ(W().PageDefaultButtonPage(), 2);
        EXPECT_TRUE(::IsWindowVisible(C(IDC_CONFIG_PAGE_FIRST + 2)));
    }));
}

TEST_F(SettingsWindow, ListPagesAddRemoveAndSortThroughTheirButtonsAndHeaders) {
    WriteConfig("[TIDEMARROW]\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), "zz\r\naa\r\n"));
    ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), "zip [Speed]\r\nbmp [Normal]\r\n"));
    Make();
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(1);
        EXPECT_EQ(ListBoxTexts(), (Texts{L"zz", L"aa"})) << "in the file's order";
        ClickAt(C(IDC_CONFIG_EXCLUSION_HEADER), 400, 8);  // 追加と削除: nothing
        EXPECT_EQ(ListBoxTexts(), (Texts{L"zz", L"aa"}));
        ClickAt(C(IDC_CONFIG_EXCLUSION_HEADER), 20, 8);  // 除外
        EXPECT_EQ(ListBoxTexts(), (Texts{L"aa", L"zz"}));
        Type(IDC_CONFIG_EXCLUSION_BOX, L"abcdefg");
        EXPECT_EQ(ui::WindowText(C(IDC_CONFIG_EXCLUSION_BOX)), L"abcde") << "at most 5 characters";
        Click(IDC_CONFIG_EXCLUSION_ADD);
        EXPECT_EQ(ListBoxTexts(), (Texts{L"aa", L"abcde", L"zz"}));
        Type(IDC_CONFIG_EXCLUSION_BOX, L"t?t");
        {
            DialogAnswerer box(L"Error", IDOK);
            Click(IDC_CONFIG_EXCLUSION_ADD);
            ASSERT_TRUE(box.Wait());
            EXPECT_NE(box.Text().find(L"不正な文字があります　 ( ? )"), std::wstring::npos);
        }
        EXPECT_EQ(ListBoxTexts(), (Texts{L"aa", L"abcde", L"zz"}));
        ::SendMessageW(C(IDC_CONFIG_EXCLUSION_LIST), LB_SETCURSEL, 2, 0);
        Click(IDC_CONFIG_EXCLUSION_REMOVE);
        EXPECT_EQ(ListBoxTexts(), (Texts{L"aa", L"abcde"}));

        W().ShowPage(3);
        EXPECT_EQ(ViewRows(), (Texts{L"0:zip", L"1:bmp"}));
        ClickAt(C(IDC_CONFIG_CUSTOM_HEADER), 20, 8);  // カスタム
        EXPECT_EQ(ViewRows(), (Texts{L"1:bmp", L"0:zip"}));
        Key(Combo(IDC_CONFIG_CUSTOM_LEVEL), VK_DOWN);
        Key(Combo(IDC_CONFIG_CUSTOM_LEVEL), VK_DOWN);
        EXPECT_EQ(W().CustomMode(), 2);
        Type(IDC_CONFIG_CUSTOM_BOX, L"qq");
        Click(IDC_CONFIG_CUSTOM_ADD);
        EXPECT_EQ(ViewRows(), (Texts{L"1:bmp", L"2:qq", L"0:zip"}));
        Type(IDC_CONFIG_CUSTOM_BOX, L"BMP");
        Click(IDC_CONFIG_CUSTOM_ADD);
        EXPECT_EQ(ViewRows().size(), 3u) << "an extension is listed once";
        LVITEMW select{};
        select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(C(IDC_CONFIG_CUSTOM_VIEW), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
        Click(IDC_CONFIG_CUSTOM_REMOVE);
        EXPECT_EQ(ViewRows(), (Texts{L"2:qq", L"0:zip"}));
        EXPECT_EQ(W().Entries(ExtensionList::Custom), (Texts{L"qq [High]", L"zip [Speed]"}));
    }));
}

TEST_F(SettingsWindow, SoundSwitchEnablesItsControlsAndTheDialogSetsThePath) {
    const std::wstring wave = root_ / L"終了.wav";
    ASSERT_TRUE(WriteBytes(wave, "RIFF"));
    Make();
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(5);
        const int sound[] = {IDC_CONFIG_SOUND_FILE_LABEL, IDC_CONFIG_SOUND_FILE, IDC_CONFIG_SOUND_OPEN};
        for (int id : sound) EXPECT_FALSE(Enabled(id)) << id;
        Click(IDC_CONFIG_SOUND);
        EXPECT_TRUE(W().Sound());
        for (int id : sound) EXPECT_TRUE(Enabled(id)) << id;
        {
            FileDialogAnswerer dialog(wave);
            Click(IDC_CONFIG_SOUND_OPEN);
            ASSERT_TRUE(dialog.Wait());
            EXPECT_NE(dialog.FileTypeText().find(L"サウンドファイル(*.wav)"), std::wstring::npos);
        }
        EXPECT_EQ(W().SoundFile(), wave);
        EXPECT_EQ(ui::WindowText(C(IDC_CONFIG_SOUND_FILE)), wave);
        Click(IDC_CONFIG_SOUND);
        for (int id : sound) EXPECT_FALSE(Enabled(id)) << id;
        EXPECT_EQ(W().SoundFile(), wave) << "the path is kept";
    }));
}

// The pixels of a bitmap, as 32-bit values, read through a device context.
std::vector<COLORREF> Pixels(HBITMAP bitmap, int width, int height) {
    std::vector<COLORREF> pixels;
    ui::MemoryDC dc(nullptr);
    ui::ScopedSelect select(dc.get(), bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(::GetPixel(dc.get(), x, y));
    return pixels;
}

TEST_F(SettingsWindow, PicturesAreDrawnOnEveryShowAndTheBannerOpensTheWebAddress) {
    Make();
    std::vector<COLORREF> firstDetails;
    ASSERT_TRUE(ShowWhile([&] {
        BITMAP info{};
        ASSERT_TRUE(::GetObjectW(W().ModePicture(), sizeof(info), &info));
        EXPECT_EQ(info.bmBitsPixel, 16);
        EXPECT_EQ(info.bmWidth, 425);
        const auto mode = Pixels(W().ModePicture(), 425, 121);
        const COLORREF key = mode[0];
        EXPECT_EQ(GetGValue(key) >= 120 && GetRValue(key) == 0 && GetBValue(key) == 0, true) << std::hex << key;
        // One icon per row at (12, 10 + 22 i); nothing below the fourth row.
        for (int row = 0; row < 5; ++row) {
            bool drawn = false;
            for (int y = 10 + 22 * row; y < 26 + 22 * row && y < 121; ++y)
                for (int x = 12; x < 28; ++x) drawn = drawn || mode[static_cast<std::size_t>(y * 425 + x)] != key;
            EXPECT_EQ(drawn, row < 4) << row;
        }
        ASSERT_TRUE(::GetObjectW(W().DetailsPicture(), sizeof(info), &info));
        EXPECT_EQ(info.bmBitsPixel, 24);
        firstDetails = Pixels(W().DetailsPicture(), 573, 310);
        W().ShowPage(6);
        ClickAt(C(IDC_CONFIG_BANNER), 10, 10);
    }));
    EXPECT_EQ(opened_, Texts{ProductWebAddress()});
    ui::Bitmap background(static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                             MAKEINTRESOURCEW(IDB_DETAILS_PAGE), IMAGE_BITMAP, 0, 0,
                                                             LR_CREATEDIBSECTION)));
    EXPECT_NE(Pixels(background.get(), 573, 310), firstDetails) << "the lines are drawn on the background";
    ASSERT_TRUE(ShowWhile([] {}));
    EXPECT_EQ(Pixels(W().DetailsPicture(), 573, 310), firstDetails) << "each show writes the lines over themselves";
    EXPECT_TRUE(RecordedAssertions().empty());
}

// A value of HKEY_CURRENT_USER as text; "-" when it cannot be read.
std::wstring UserValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t text[512] = {};
    DWORD bytes = sizeof(text);
    const LSTATUS read = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes);
    return read == ERROR_SUCCESS ? text : L"-";
}

TEST_F(SettingsWindow, ExplorerMenuSwitchAddsAndRemovesTheEntriesOfTheCopyThatRuns) {
    Make();
    const std::wstring ours = L"C:\\tm verb\\TIDEMARROW32SE.exe";
    const std::wstring key = L"Software\\Classes\\Directory\\shell\\TIDEMARROW32SE";
    W().SetExplorerVerbProgram(ours);
    ASSERT_TRUE(RegisterExplorerVerb(L"C:\\other\\TIDEMARROW32SE.exe"));
    // The user's own setting of the Recycle Bin stays when our entry goes.
    const std::wstring binClass = kRecycleBinClassKey, bin = binClass + L"\\shell\\TIDEMARROW32SE";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (binClass + L"\\DefaultIcon").c_str(), L"Full", REG_SZ, L"x", 4), ERROR_SUCCESS);
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(6);
        EXPECT_FALSE(Checked(IDC_CONFIG_EXPLORER_VERB)) << "the entries run another copy";
        Click(IDC_CONFIG_EXPLORER_VERB);
        EXPECT_EQ(UserValue(key), L"TIDEMARROW32 SEで抹消");
        EXPECT_EQ(UserValue(key, L"Icon"), L"\"" + ours + L"\",0");
        EXPECT_EQ(UserValue(key + L"\\command"), L"\"" + ours + L"\" /ExplorerVerb \"%1\"");
        EXPECT_EQ(UserValue(bin), L"TIDEMARROW32 SEで抹消");
        EXPECT_EQ(UserValue(bin + L"\\command"), L"\"" + ours + L"\" /RecycleBin");
        EXPECT_TRUE(Checked(IDC_CONFIG_EXPLORER_VERB));
        Click(IDC_CONFIG_EXPLORER_VERB);
    }));
    EXPECT_EQ(UserValue(key), L"-");
    EXPECT_EQ(UserValue(L"Software\\Classes\\*\\shell\\TIDEMARROW32SE"), L"-");
    HKEY shell = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, (binClass + L"\\shell").c_str(), 0, KEY_READ, &shell), ERROR_SUCCESS)
        << "the emptied shell key goes";
    if (shell) ::RegCloseKey(shell);
    EXPECT_EQ(UserValue(binClass + L"\\DefaultIcon", L"Full"), L"x");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, binClass.c_str());
}

TEST_F(SettingsWindow, ExplorerMenuSwitchTurnedOffLeavesTheEntryOfAnotherCopy) {
    Make();
    const std::wstring ours = L"C:\\tm verb\\TIDEMARROW32SE.exe", other = ExplorerVerbCommand(L"C:\\other\\TIDEMARROW32SE.exe");
    const std::wstring files = L"Software\\Classes\\*\\shell\\TIDEMARROW32SE";
    const std::wstring folders = L"Software\\Classes\\Directory\\shell\\TIDEMARROW32SE";
    W().SetExplorerVerbProgram(ours);
    ASSERT_TRUE(RegisterExplorerVerb(ours));
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(6);
        EXPECT_TRUE(Checked(IDC_CONFIG_EXPLORER_VERB));
        // Meanwhile another copy takes the folders' entry.
        EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (folders + L"\\command").c_str(), nullptr, REG_SZ, other.c_str(),
                                    static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        Click(IDC_CONFIG_EXPLORER_VERB);
        EXPECT_FALSE(Checked(IDC_CONFIG_EXPLORER_VERB));
    }));
    EXPECT_EQ(UserValue(files), L"-");
    EXPECT_EQ(UserValue(folders + L"\\command"), other);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, folders.c_str());
}

TEST_F(SettingsWindow, UnreadableFilesAreToldOnceAndNeverWrittenOverThisSession) {
    WriteConfig("[TIDEMARROW]\r\n#ShowGrid=1\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), "zz\r\n"));
    ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), "abc [High]\r\n"));
    {
        UniqueFileLock lock(DataPath(L"customerase.txt"));
        DialogAnswerer box(L"エラー", IDOK);
        Make();
        ASSERT_TRUE(box.Wait());
        EXPECT_NE(box.Text().find(DataPath(L"customerase.txt")), std::wstring::npos);
        EXPECT_TRUE(W().Unreadable(L"customerase.txt"));
        EXPECT_EQ(W().Entries(ExtensionList::Custom).size(), 33u) << "the built-in table";
        EXPECT_EQ(W().Entries(ExtensionList::Exclusion), Texts{L"zz"}) << "the other list is read";
        EXPECT_TRUE(W().ShowGrid());
        DialogAnswerer noSecondBox(L"エラー", IDOK, 1500);
        W().LoadSettings();
        EXPECT_FALSE(noSecondBox.Wait()) << "told once";
    }
    // Even once the other program lets go, this session leaves the file alone.
    W().AddCustomEntry(L"new");
    W().AddExclusion(L"yy");
    W().SetProfileFolder(profile_);
    W().SaveSettings();
    EXPECT_EQ(ReadBytes(DataPath(L"customerase.txt")), "abc [High]\r\n");
    EXPECT_EQ(ReadBytes(DataPath(L"remove.txt")), "yy\r\nzz\r\n");
    // A load that reads it lifts the rule.
    W().LoadSettings();
    EXPECT_EQ(W().Entries(ExtensionList::Custom), Texts{L"abc [High]"});
    W().AddCustomEntry(L"new");
    W().SaveSettings();
    EXPECT_EQ(ReadBytes(DataPath(L"customerase.txt")), "abc [High]\r\nnew [Speed]\r\n");
}

TEST_F(SettingsWindow, UnreadableConfigKeepsTheInitialValuesAndIsNotWrittenOver) {
    const std::string text = "[TIDEMARROW]\r\n#ShowGrid=1\r\n#SSTP_Port=4000\r\n";
    WriteConfig(text);
    {
        UniqueFileLock lock(ConfigPath());
        DialogAnswerer box(L"エラー", IDOK);
        Make();
        ASSERT_TRUE(box.Wait());
        EXPECT_NE(box.Text().find(ConfigPath()), std::wstring::npos);
    }
    EXPECT_FALSE(W().ShowGrid());
    EXPECT_EQ(W().SSTPPort(), 9801);
    W().EditValues().ShowGrid = true;
    W().SaveSettings();
    EXPECT_EQ(ReadBytes(ConfigPath()), text);
    EXPECT_TRUE(RecordedAssertions().empty()) << "nothing failed: the file was left alone";
}

// The kept sites through the page's buttons, the input window and the choice among the sites of
// the browsers' cookies (fixture profiles in the prefix, one database held shut).
TEST_F(SettingsWindow, KeptSitesAreAddedPickedRemovedAndSavedWhole) {
    using namespace traces;
    TraceGuard guard;
    BrowserLayout browsers;
    CommitEntry(L"Cookie:tester@www.tm-ie.example/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, L"txt");
    ASSERT_TRUE(Sql(BrowserDataFolder(Browser::Chrome) + L"\\Default\\Network\\Cookies",
                    "DROP TABLE cookies; CREATE TABLE cookies(host_key, name, value); INSERT INTO cookies VALUES"
                    "('.www.tm-pick.example', 'sid', 'tm-secret'), ('tm-pick.example', 'a', 'b'),"
                    "('.login.TM-pick.example', 'c', 'd')"));
    const std::wstring firefox = BrowserDataFolder(Browser::Firefox);
    ASSERT_TRUE(Sql(firefox + L"\\Elsewhere\\tm2\\cookies.sqlite",
                    "CREATE TABLE moz_cookies(host, value); INSERT INTO moz_cookies VALUES('.tm-fox.example', 'v')"));
    UniqueFileLock held(firefox + L"\\Profiles\\tm1\\cookies.sqlite");
    ASSERT_TRUE(held.Held());
    Make();
    const auto form = [](const wchar_t* className) { return FindOwnWindow(className, nullptr); };
    const auto post = [this](int id) { ::PostMessageW(C(id), BM_CLICK, 0, 0); };
    const auto enter = [&](const std::wstring& text) {
        HWND input = form(TCookieSiteInput::kClassName);
        ::SetWindowTextW(::GetDlgItem(input, IDC_COOKIE_SITE_BOX), text.c_str());
        ::SendMessageW(::GetDlgItem(input, IDOK), BM_CLICK, 0, 0);
    };
    const auto shown = [&](const wchar_t* className) { return [&form, className] { return form(className) != nullptr; }; };
    Texts picks, refusal;
    std::wstring note;
    ModalScript script(30000);
    script.Until([this] { return ::IsWindowVisible(W().Handle()) != FALSE; }).Do([this] { W().ShowPage(4); });
    script.Do([&] { post(IDC_CONFIG_KEPT_SITE_ADD); }).Until(shown(TCookieSiteInput::kClassName));
    script.Do([&] { enter(L"  WWW.Example.CO.JP "); }).Until([&] { return !form(TCookieSiteInput::kClassName); });
    script.Do([&] { post(IDC_CONFIG_KEPT_SITE_ADD); }).Until(shown(TCookieSiteInput::kClassName)).Do([&] {
        DialogAnswerer box(L"エラー", IDOK);
        enter(L"bad site/x");
        EXPECT_TRUE(box.Wait());
        refusal.push_back(box.Text());
        enter(L".example.co.jp");  // already listed
    });
    script.Do([&] { post(IDC_CONFIG_KEPT_SITE_PICK); }).Until(shown(TCookieSitePicker::kClassName)).Do([&] {
        HWND picker = form(TCookieSitePicker::kClassName), list = ::GetDlgItem(picker, IDC_COOKIE_SITE_PICKS);
        note = ui::WindowText(::GetDlgItem(picker, IDC_COOKIE_SITE_NOTE));
        for (int row = 0; row < ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++row) {
            wchar_t text[256] = {};
            LVITEMW item{};
            item.pszText = text;
            item.cchTextMax = 256;
            ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            picks.push_back(text);
            if (picks.back() == L"tm-pick.example" || picks.back() == L"tm-fox.example") {
                item.stateMask = LVIS_STATEIMAGEMASK;
                item.state = INDEXTOSTATEIMAGEMASK(2);
                ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
            }
        }
        ::SendMessageW(::GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
    });
    script.Until([&] { return !form(TCookieSitePicker::kClassName); }).Do([&] {
        EXPECT_EQ(W().KeptCookieSites(), (Texts{L"example.co.jp", L"tm-fox.example", L"tm-pick.example"}));
        ::SendMessageW(C(IDC_CONFIG_KEPT_SITES), LB_SETSEL, TRUE, 1);
        Click(IDC_CONFIG_KEPT_SITE_REMOVE);
        for (int id : {IDC_CONFIG_PAGE_DEFAULTS, IDC_CONFIG_ALL_DEFAULTS}) {
            DialogAnswerer yes(L"確認", IDYES);
            Click(id);
            EXPECT_TRUE(yes.Wait());
        }
        EXPECT_EQ(::SendMessageW(C(IDC_CONFIG_KEPT_SITES), LB_GETCOUNT, 0, 0), 2) << "the defaults leave the list";
        Click(IDC_CONFIG_CLOSE);
    });
    ASSERT_TRUE(script.Run(W().Handle(), [this] { W().ShowSettings(); }));

    ASSERT_EQ(refusal.size(), 1u);
    EXPECT_NE(refusal[0].find(L"「bad site/x」はサイト名として使えません。"), std::wstring::npos) << refusal[0];
    EXPECT_EQ(note, L"Firefox: 使用中のため読めませんでした\r\n") << "the held database is named, not waited for";
    for (const wchar_t* site : {L"tm-pick.example", L"login.tm-pick.example", L"tm-fox.example", L"tm-ie.example"})
        EXPECT_NE(std::find(picks.begin(), picks.end(), site), picks.end()) << site;
    EXPECT_TRUE(std::is_sorted(picks.begin(), picks.end()));
    EXPECT_EQ(std::adjacent_find(picks.begin(), picks.end()), picks.end()) << "each once";
    for (const std::wstring& pick : picks)
        EXPECT_TRUE(pick.front() != L'.' && pick.rfind(L"www.", 0) != 0 && pick.find(L"secret") == std::wstring::npos)
            << pick;
    W().SaveSettings();
    EXPECT_EQ(ReadBytes(DataPath(L"keepcookie.txt")), "example.co.jp\r\ntm-pick.example\r\n");
    // Emptied, the list stays empty: the file is written without entries, not removed.
    W().RemoveKeptCookieSites({0, 1});
    W().SaveSettings();
    W().LoadSettings();
    EXPECT_TRUE(FileExists(DataPath(L"keepcookie.txt")));
    EXPECT_EQ(ReadBytes(DataPath(L"keepcookie.txt")), "");
    EXPECT_TRUE(W().KeptCookieSites().empty());
}

TEST_F(SettingsWindow, AnUnreadableKeptSitesFileIsShownAndNeverWrittenOver) {
    WriteConfig("[TIDEMARROW]\r\n");
    MakeDataFolder();
    ASSERT_TRUE(WriteBytes(DataPath(L"keepcookie.txt"), "mine.example\r\n"));
    {
        UniqueFileLock lock(DataPath(L"keepcookie.txt"));
        DialogAnswerer box(L"エラー", IDOK);
        Make();
        ASSERT_TRUE(box.Wait());
    }
    ASSERT_TRUE(ShowWhile([&] {
        W().ShowPage(4);
        EXPECT_NE(ui::WindowText(C(IDC_CONFIG_KEPT_SITES_PROBLEM)).find(L"keepcookie.txt を読めなかった"), std::wstring::npos);
        EXPECT_FALSE(Enabled(IDC_CONFIG_KEPT_SITE_ADD));
        EXPECT_FALSE(Enabled(IDC_CONFIG_KEPT_SITE_PICK));
    }));
    EXPECT_FALSE(W().AddKeptCookieSite(L"other.example"));
    W().SaveSettings();
    EXPECT_EQ(ReadBytes(DataPath(L"keepcookie.txt")), "mine.example\r\n");
}

}  // namespace
