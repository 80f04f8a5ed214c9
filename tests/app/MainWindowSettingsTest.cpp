#include <windows.h>
#include <commctrl.h>

#include "settings/ConfigWindowIds.h"
#include "notify/SSTP.h"
#include "tests/app/WorkflowFixture.h"
#include "tests/notify/ExpectedScripts.h"
#include "tests/notify/NotifyTestSupport.h"
#include "tests/profiles/ModalScript.h"
#include "ui/Window.h"

namespace {

using SettingsCommandTest = WorkflowTest;

TEST_F(SettingsCommandTest, NotifiesThenChangesApplyAtOnceAndAreSavedAfterTheCloseBox) {
    WriteConfig({L"#ShowGrid=0", L"#ShowUserName=0", L"#Use SSTP=1"});
    Make();
    CompanionWindow companion;
    LoopbackListener listener(window->Notifier()->Port());
    ASSERT_TRUE(listener.Listening());
    ASSERT_FALSE(List().GridLines());
    EXPECT_EQ(Config().Handle(), nullptr) << "made when first shown";
    HWND main = window->Handle();
    HWND settings = nullptr;
    ModalScript script;
    script.UntilShown([&] { return settings = Config().Handle(); }).Do([&] {
        EXPECT_EQ(Config().ShownPage(), 0);
        // The window made late shows what the profile loaded at start.
        EXPECT_EQ(::SendMessageW(Config().Control(IDC_CONFIG_BASIC_FIRST + 10), BM_GETCHECK, 0, 0), BST_CHECKED);
        const LRESULT icons = ::SendMessageW(Config().Control(IDC_CONFIG_MODE_CHOICE), CBEM_GETIMAGELIST, 0, 0);
        EXPECT_EQ(::ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(icons)), 4) << "with the mode icons";
        ::SendMessageW(Config().Control(IDC_CONFIG_BASIC_FIRST + 6), BM_CLICK, 0, 0);  // grid lines
        ::SendMessageW(Config().Control(IDC_CONFIG_BASIC_FIRST + 8), BM_CLICK, 0, 0);  // user name
        // The main window refuses to close while the settings window shows.
        ::SendMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(::IsWindow(main));
        ::SendMessageW(settings, WM_CLOSE, 0, 0);  // the close box
    });
    ASSERT_TRUE(script.Run(nullptr, [&] { SendCommand(Command::OpenSettings); }));
    EXPECT_EQ(listener.Wait().bytes, ExpectedRequest(kSettingsScriptBytes));
    EXPECT_FALSE(::IsWindowVisible(settings));
    EXPECT_TRUE(::IsWindow(settings)) << "kept for the next show";
    EXPECT_TRUE(List().GridLines());
    EXPECT_EQ(ui::WindowText(main), L"TIDEMARROW32 SE DefaultUser");
    const std::string saved = ReadBytes(Profile() + L"\\Config.ini");
    EXPECT_NE(saved.find("#ShowGrid=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("#ShowUserName=1\r\n"), std::string::npos);
}

TEST_F(SettingsCommandTest, UnreadableCustomTableAtStartIsTheSameAfterTheProgramEnds) {
    WriteConfig({L"#Warning close=0"});
    ::CreateDirectoryW(Savedat().c_str(), nullptr);
    const std::string table = "abc [High]\r\nxyz [Normal]\r\n";
    ASSERT_TRUE(WriteBytes(Savedat() + L"\\customerase.txt", table));
    {
        UniqueFileLock lock(Savedat() + L"\\customerase.txt");
        DialogAnswerer box(L"エラー", IDOK);
        Make();
        ASSERT_TRUE(box.Wait());
        EXPECT_NE(box.Text().find(L"customerase.txt"), std::wstring::npos);
    }
    EXPECT_EQ(Config().Entries(ExtensionList::Custom).size(), 33u);
    // The settings command saves and loads again, and the program's end saves once more.
    ModalScript script;
    script.UntilShown([&] { return Config().Handle(); }).Do([&] { ::SendMessageW(Config().Handle(), WM_CLOSE, 0, 0); });
    ASSERT_TRUE(script.Run(nullptr, [&] { SendCommand(Command::OpenSettings); }));
    EXPECT_EQ(ReadBytes(Savedat() + L"\\customerase.txt"), table);
    ASSERT_TRUE(CloseWindow());
    EXPECT_EQ(ReadBytes(Savedat() + L"\\customerase.txt"), table);
    EXPECT_TRUE(FileExists(Savedat() + L"\\remove.txt")) << "the rest is saved as usual";
}

TEST_F(SettingsCommandTest, EmptiedListsStayEmptyAndAnUnwritableConfigKeepsTheChangesTellingOnce) {
    WriteConfig({L"#Warning close=0", L"#ShowGrid=0"});
    const std::wstring config = Profile() + L"\\Config.ini";
    ASSERT_TRUE(::SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_READONLY));
    Make();
    const auto openSettings = [&](const std::function<void()>& edit) {
        ModalScript script;
        script.UntilShown([&] { return Config().Handle(); }).Do(edit).Do([&] {
            ::SendMessageW(Config().Handle(), WM_CLOSE, 0, 0);
        });
        return script.Run(nullptr, [&] { SendCommand(Command::OpenSettings); });
    };
    DialogAnswerer box(L"エラー", IDOK);
    ASSERT_TRUE(openSettings([&] {
        ::SendMessageW(Config().Control(IDC_CONFIG_BASIC_FIRST + 6), BM_CLICK, 0, 0);  // grid lines
        for (int id : {IDC_CONFIG_EXCLUSION_REMOVE, IDC_CONFIG_CUSTOM_REMOVE})
            for (int i = 0; i < 40; ++i) ::SendMessageW(Config().Control(id), BM_CLICK, 0, 0);
    }));
    ASSERT_TRUE(box.Wait());
    EXPECT_NE(box.Text().find(config), std::wstring::npos);
    DialogAnswerer noSecondBox(L"エラー", IDOK, 1500);
    ASSERT_TRUE(openSettings([] {}));
    EXPECT_FALSE(noSecondBox.Wait()) << "told once per file";
    EXPECT_TRUE(Config().ShowGrid() && List().GridLines()) << "the change stays in force";
    ::SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(openSettings([] {}));
    for (const wchar_t* name : {L"\\remove.txt", L"\\customerase.txt"})
        EXPECT_TRUE(FileExists(Savedat() + name) && ReadBytes(Savedat() + name).empty()) << "saved empty";
}

}  // namespace
