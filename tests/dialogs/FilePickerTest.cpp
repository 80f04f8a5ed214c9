#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/TextCodec.h"
#include "dialogs/TidemarrowDialog.h"
#include "tests/dialogs/PickerDriver.h"
#include "tests/dialogs/PixelHelpers.h"
#include "tests/dialogs/TestPictures.h"
#include "tests/support/Gui.h"
#include "tests/support/TempFolder.h"
#include "ui/Window.h"

namespace {

constexpr COLORREF kRed = RGB(230, 20, 20);
constexpr COLORREF kBlue = RGB(20, 20, 230);

std::uint32_t Rgb(COLORREF colour) {
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// True when two 0xRRGGBB colours differ by at most `tolerance` in each channel.
bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 30) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(x - y) > tolerance) return false;
    }
    return true;
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

int BitsPerPixel(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(info), &info)) return 0;
    return info.bmBitsPixel;
}

std::uint32_t PixelAt(const std::vector<std::uint32_t>& pixels, int width, int x, int y) {
    return pixels.at(static_cast<std::size_t>(y) * width + x);
}

// A folder with one file of every kind the picker treats differently.
class PreviewFiles {
public:
    PreviewFiles() {
        jpeg_ = EncodeJpeg(48, 32, kRed, kBlue);
        WriteBytes(folder_ / L"photo.jpg", jpeg_);
        WriteBytes(folder_ / L"SHOUT.JPG", jpeg_);
        WriteBytes(folder_ / L"photo.jpeg", jpeg_);
        WriteBytes(folder_ / L"cut.jpg", jpeg_.substr(0, jpeg_.size() / 2));
        // Cut inside the picture data, after a complete header.
        const std::string large = EncodeJpeg(400, 300, kRed, kBlue);
        WriteBytes(folder_ / L"cut-scan.jpg", large.substr(0, large.size() * 4 / 5));
        std::string garbled = jpeg_;
        for (std::size_t i = 20; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
        WriteBytes(folder_ / L"garbled.jpg", garbled);
        WriteBytes(folder_ / L"empty.jpg", "");
        WriteBytes(folder_ / L"green.bmp", MakeBmp(20, 10, RGB(0, 200, 0)));
        WriteBytes(folder_ / L"notes.bmp", "this is text, not a picture\r\n");
        WriteBytes(folder_ / L"violet.ico", MakeIco(RGB(200, 0, 200)));
        WriteTextFile(folder_ / L"memo.txt", {L"一行目の文字", L"second line"});
        WriteTextFile(folder_ / L"run.log", {L"抹消ログ"});
        WriteTextFile(folder_ / L"letter.doc", {L"文書"});
        WriteBytes(folder_ / L"picture.png", jpeg_);
    }
    std::wstring operator/(const std::wstring& name) const { return folder_ / name; }
    const std::wstring& Path() const { return folder_.Path(); }

private:
    TempFolder folder_;
    std::string jpeg_;
};

TEST(FilePickerPreview, JpegDecodesAtItsOwnSizeWithItsColours) {
    PreviewFiles files;
    ui::Bitmap picture(DecodeJpeg(files / L"photo.jpg"));
    ASSERT_TRUE(picture);
    const SIZE size = BitmapSize(picture.get());
    EXPECT_EQ(size.cx, 48);
    EXPECT_EQ(size.cy, 32);
    EXPECT_EQ(BitsPerPixel(picture.get()), 24);
    const auto pixels = PixelsOf(picture.get());
    ASSERT_EQ(pixels.size(), 48u * 32u);
    EXPECT_TRUE(Near(PixelAt(pixels, 48, 6, 16), Rgb(kRed))) << std::hex << PixelAt(pixels, 48, 6, 16);
    EXPECT_TRUE(Near(PixelAt(pixels, 48, 42, 16), Rgb(kBlue))) << std::hex << PixelAt(pixels, 48, 42, 16);
    EXPECT_TRUE(Near(PixelAt(pixels, 48, 6, 0), Rgb(kRed))) << "rows run top-down";
}

TEST(FilePickerPreview, DamagedOrEmptyJpegGivesThePlaceholder) {
    PreviewFiles files;
    for (const wchar_t* name : {L"cut.jpg", L"cut-scan.jpg", L"garbled.jpg", L"empty.jpg", L"missing.jpg"}) {
        EXPECT_EQ(DecodeJpeg(files / name), nullptr) << name;
        const PreviewContent content = LoadPreview(files / name, RGB(1, 2, 3));
        EXPECT_EQ(content.kind, PreviewKind::Placeholder) << name;
        EXPECT_FALSE(content.bitmap) << name;
    }
}

TEST(FilePickerPreview, ExtensionIsComparedInLowerCaseAndJpegSpellingIsNotPreviewed) {
    PreviewFiles files;
    const PreviewContent upper = LoadPreview(files / L"SHOUT.JPG", RGB(1, 2, 3));
    ASSERT_EQ(upper.kind, PreviewKind::Image);
    EXPECT_EQ(BitmapSize(upper.bitmap.get()).cx, 48);
    EXPECT_EQ(LoadPreview(files / L"photo.jpeg", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
    EXPECT_EQ(LoadPreview(files / L"picture.png", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
    EXPECT_EQ(LowerExtension(L"C:\\a.b\\NAME.TxT"), L".txt");
    EXPECT_EQ(LowerExtension(L"C:\\a.b\\noext"), L"");
}

TEST(FilePickerPreview, BitmapLoadsAndTextNamedBmpGivesThePlaceholder) {
    PreviewFiles files;
    const PreviewContent bitmap = LoadPreview(files / L"green.bmp", RGB(1, 2, 3));
    ASSERT_EQ(bitmap.kind, PreviewKind::Image);
    const SIZE size = BitmapSize(bitmap.bitmap.get());
    EXPECT_EQ(size.cx, 20);
    EXPECT_EQ(size.cy, 10);
    const auto pixels = PixelsOf(bitmap.bitmap.get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(PixelAt(pixels, 20, 3, 3), Rgb(RGB(0, 200, 0)));
    EXPECT_EQ(LoadPreview(files / L"notes.bmp", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
}

TEST(FilePickerPreview, IconIsDrawnAt60OnTheGivenPanelColour) {
    PreviewFiles files;
    const COLORREF panel = RGB(10, 120, 130);
    const PreviewContent icon = LoadPreview(files / L"violet.ico", panel);
    ASSERT_EQ(icon.kind, PreviewKind::Image);
    const SIZE size = BitmapSize(icon.bitmap.get());
    ASSERT_EQ(size.cx, 150);
    ASSERT_EQ(size.cy, 150);
    EXPECT_EQ(BitsPerPixel(icon.bitmap.get()), 24);
    const auto pixels = PixelsOf(icon.bitmap.get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(PixelAt(pixels, 150, 0, 0), Rgb(panel));
    EXPECT_EQ(PixelAt(pixels, 150, 59, 59), Rgb(panel));
    EXPECT_EQ(PixelAt(pixels, 150, 60, 60), Rgb(RGB(200, 0, 200)));
    EXPECT_EQ(PixelAt(pixels, 150, 91, 91), Rgb(RGB(200, 0, 200)));
    EXPECT_EQ(PixelAt(pixels, 150, 92, 92), Rgb(panel));
}

TEST(FilePickerPreview, TextLogAndDocFilesBecomeLinesOfText) {
    PreviewFiles files;
    const PreviewContent text = LoadPreview(files / L"memo.txt", RGB(1, 2, 3));
    ASSERT_EQ(text.kind, PreviewKind::Text);
    EXPECT_EQ(text.text, L"一行目の文字\r\nsecond line");
    EXPECT_EQ(LoadPreview(files / L"run.log", RGB(1, 2, 3)).text, L"抹消ログ");
    EXPECT_EQ(LoadPreview(files / L"letter.doc", RGB(1, 2, 3)).kind, PreviewKind::Text);
    EXPECT_EQ(LoadPreview(files / L"absent.txt", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
    // UTF-8 with or without its mark, UTF-16 after its mark; a long file's start cut inside a character.
    const std::string utf8 = "\xE4\xB8\x80\r\n\xED\x95\x9C", utf16("\xFF\xFE\x00\x4E\r\0\n\0\x5C\xD5", 10);
    std::string start;
    while (start.size() < (2u << 20)) start += utf8 + "\r\n";
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, utf16, start}) {
        ASSERT_TRUE(WriteBytes(files / L"form.txt", bytes));
        EXPECT_EQ(LoadPreview(files / L"form.txt", RGB(1, 2, 3)).text.substr(0, 4), L"一\r\n한");
    }
}

TEST(FilePickerPreview, HugeTextShowsOnlyItsStartAndLockedFilesGiveThePlaceholder) {
    PreviewFiles files;
    std::string huge;
    for (int i = 0; huge.size() < 3u * 1024 * 1024; ++i) huge += "line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(WriteBytes(files / L"huge.log", huge));
    const PreviewContent text = LoadPreview(files / L"huge.log", RGB(1, 2, 3));
    ASSERT_EQ(text.kind, PreviewKind::Text);
    EXPECT_EQ(text.text.substr(0, 14), L"line 0\r\nline 1");
    EXPECT_LE(text.text.size(), 1024u * 1024u);
    EXPECT_GT(text.text.size(), 1000u * 1000u);

    UniqueFileLock lock(files / L"photo.jpg");
    ASSERT_TRUE(lock.Held());
    EXPECT_EQ(DecodeJpeg(files / L"photo.jpg"), nullptr);
    EXPECT_EQ(LoadPreview(files / L"photo.jpg", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
}

TEST(FilePickerPreview, MetafileIsPlayedOntoAPicture) {
    TempFolder folder;
    const std::wstring path = folder / L"drawing.wmf";
    HDC recorder = ::CreateMetaFileW(path.c_str());
    ASSERT_NE(recorder, nullptr);
    ::SetWindowExtEx(recorder, 100, 100, nullptr);
    ui::Brush red(::CreateSolidBrush(RGB(255, 0, 0)));
    RECT all{0, 0, 100, 100};
    ::FillRect(recorder, &all, red.get());
    HMETAFILE metafile = ::CloseMetaFile(recorder);
    ASSERT_NE(metafile, nullptr);
    ::DeleteMetaFile(metafile);
    const PreviewContent content = LoadPreview(path, RGB(1, 2, 3));
    ASSERT_EQ(content.kind, PreviewKind::Image);
    const auto pixels = PixelsOf(content.bitmap.get());
    const SIZE size = BitmapSize(content.bitmap.get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(PixelAt(pixels, size.cx, size.cx / 2, size.cy / 2), 0xFF0000u);
    WriteBytes(folder / L"broken.wmf", "not a metafile at all");
    EXPECT_EQ(LoadPreview(folder / L"broken.wmf", RGB(1, 2, 3)).kind, PreviewKind::Placeholder);
}

TEST(FilePickerPreview, PlaceholderIsGrey150Square24Bit) {
    ui::Bitmap placeholder = MakePlaceholder();
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(BitmapSize(placeholder.get()).cx, 150);
    EXPECT_EQ(BitmapSize(placeholder.get()).cy, 150);
    EXPECT_EQ(BitsPerPixel(placeholder.get()), 24);
    const auto pixels = PixelsOf(placeholder.get());
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(PixelAt(pixels, 150, 0, 0), 0x808080u);
    EXPECT_EQ(PixelAt(pixels, 150, 149, 149), 0x808080u);
}

TEST(FilePickerSettingsText, ShowsCountModeAndExclusionUnderTheirHeadings) {
    EXPECT_EQ(SettingsText(12, 2, true),
              L"現在のファイルリスト総数:\r\n 12\r\n現在のファイル抹消モード:\r\n High\r\n除外設定:\r\n 有効\r\n\r\n"
              L"*除外設定を一時的に無効にするには、右下のボタンを押し下げます。");
    const std::wstring off = SettingsText(0, 1, false);
    EXPECT_NE(off.find(L"\r\n 0\r\n"), std::wstring::npos);
    EXPECT_NE(off.find(L"\r\n Normal\r\n"), std::wstring::npos);
    EXPECT_NE(off.find(L"\r\n 無効\r\n"), std::wstring::npos);
    EXPECT_NE(SettingsText(1, 3, true).find(L"\r\n Custom\r\n"), std::wstring::npos);
    EXPECT_NE(SettingsText(1, 7, true).find(L"\r\n Speed\r\n"), std::wstring::npos) << "unknown modes show Speed";
    EXPECT_NE(SettingsText(1, -1, true).find(L"\r\n Speed\r\n"), std::wstring::npos);
}

// ---- the real dialog, driven from a watcher thread while Execute runs its modal loop ----

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);  // the watcher thread only polls; the dialog's own thread does the work
    }
    return true;
}

bool IsDown(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

struct DialogRun {
    std::vector<std::string> failures;
    void Check(bool condition, const std::string& what) {
        if (!condition) failures.push_back(what);
    }
};

TEST(FilePickerDialog, PreviewFollowsTheSelectionAndTheToggleWorksBothWays) {
    PreviewFiles files;
    TTidemarrowOpenDialog picker;
    picker.SetCurrentSettings(12, 2, true);
    picker.SetInitialDir(files.Path());
    DialogRun run;
    std::thread watcher([&] {
        HWND openDialog = nullptr;
        if (!WaitFor([&] {
                openDialog = FindOwnWindow(L"#32770", nullptr);
                return openDialog && picker.ExclusionToggle() && ShellFileList(openDialog) &&
                       ::SendMessageW(ShellFileList(openDialog), LVM_GETITEMCOUNT, 0, 0) >= 14;
            })) {
            const HWND list = openDialog ? ShellFileList(openDialog) : nullptr;
            run.failures.push_back("the dialog with its file list did not show: dialog " +
                                   std::to_string(openDialog != nullptr) + ", list " + std::to_string(list != nullptr) +
                                   ", rows " + std::to_string(list ? ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) : -1));
            if (openDialog) ::PostMessageW(openDialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        const HWND list = ShellFileList(openDialog);
        // The panel fills the extension below the standard controls; its parts where they belong.
        RECT client{}, standard{}, panel{};
        ::GetClientRect(picker.ExtensionWindow(), &client);
        ::GetWindowRect(::GetDlgItem(picker.ExtensionWindow(), stc32), &standard);
        ::MapWindowPoints(nullptr, picker.ExtensionWindow(), reinterpret_cast<POINT*>(&standard), 2);
        ::GetWindowRect(picker.PreviewPanel(), &panel);
        ::MapWindowPoints(nullptr, picker.ExtensionWindow(), reinterpret_cast<POINT*>(&panel), 2);
        run.Check(panel.left == 0 && panel.top == standard.bottom && panel.right == client.right &&
                      panel.bottom == client.bottom,
                  "panel below stc32 to the edges");
        run.Check(standard.bottom > 150, "stc32 grown to hold the standard controls");
        run.Check(ui::Height(panel) >= 15 + 150 + 7, "room for the preview below the standard controls");
        auto place = [&](HWND control) {
            RECT r{};
            ::GetWindowRect(control, &r);
            ::MapWindowPoints(nullptr, picker.PreviewPanel(), reinterpret_cast<POINT*>(&r), 2);
            return r;
        };
        const RECT image = place(picker.Preview().Handle());
        run.Check(image.left == 7 && image.top == 15 && ui::Width(image) == 150 && ui::Height(image) == 150,
                  "Preview at (7, 15), 150 x 150");
        run.Check(place(picker.PreviewCheckBox()).left == 163, "check box 6 pixels right of the image");
        const RECT toggle = place(picker.ExclusionToggle());
        run.Check(toggle.left == ui::Width(panel) - 95 && toggle.top == place(picker.PreviewCheckBox()).top - 5 &&
                      ui::Width(toggle) == 87 && ui::Height(toggle) == 23,
                  "ExclusionToggle at the lower right, 87 x 23");
        const RECT group = place(picker.SettingsGroup());
        run.Check(group.left == 163 && group.top == 13 && group.right == ui::Width(panel) - 7 && ui::Height(group) == 125,
                  "SettingsGroup at (163, 13) to the panel's margin, 125 high");
        const auto whole = [&](HWND control, LONG right) {  // its one-line text fits, left of `right`
            ui::WindowDC dc(control);
            ui::ScopedSelect font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
            RECT bounds{}, place{};
            ::DrawTextW(dc.get(), ui::WindowText(control).c_str(), -1, &bounds,
                        DT_CALCRECT | (control == picker.SettingsLabel() ? DT_NOPREFIX : 0));
            return ::GetWindowRect(control, &place) && ui::Width(place) >= bounds.right && place.right <= right;
        };
        RECT inGroup{}, next{};
        ::GetWindowRect(picker.SettingsGroup(), &inGroup);
        run.Check(whole(picker.SettingsLabel(), inGroup.right - 8), "settings text whole inside the group");
        for (const auto& [label, box] : {std::pair{stc4, cmb2}, std::pair{stc3, cmb13}, std::pair{stc2, cmb1}})
            run.Check(::GetWindowRect(::GetDlgItem(openDialog, box), &next) && whole(::GetDlgItem(openDialog, label), next.left),
                      "standard label " + std::to_string(label) + " whole");
        // The panel below the standard controls, with the settings.
        run.Check(::IsWindowVisible(picker.PreviewPanel()) != FALSE, "panel visible");
        run.Check(picker.ShowsPlaceholder(), "placeholder at first");
        run.Check(ui::WindowText(picker.SettingsLabel()) == SettingsText(12, 2, true), "settings text 12/High/on");
        run.Check(!IsDown(picker.ExclusionToggle()), "ExclusionToggle up while the exclusions apply");
        run.Check(ui::WindowText(picker.PreviewCheckBox()) == L"ファイルプレビューを有効にする", "check box caption");
        run.Check(IsDown(picker.PreviewCheckBox()), "preview ticked");
        run.Check(ui::WindowText(picker.SettingsGroup()) == L"現在の設定値", "group caption");
        run.Check(ui::WindowText(picker.ExclusionToggle()) == L"除外設定無効", "toggle caption");

        // The toggle, down and up again.
        ::SendMessageW(picker.ExclusionToggle(), BM_CLICK, 0, 0);
        run.Check(IsDown(picker.ExclusionToggle()), "ExclusionToggle down after a press");
        run.Check(ui::WindowText(picker.SettingsLabel()).find(L"除外設定:\r\n 無効") != std::wstring::npos,
                  "text shows 無効 after the press");
        run.Check(!picker.ExclusionInForce(), "exclusions off after the press");
        ::SendMessageW(picker.ExclusionToggle(), BM_CLICK, 0, 0);
        run.Check(!IsDown(picker.ExclusionToggle()), "ExclusionToggle up after a second press");
        run.Check(picker.ExclusionInForce(), "exclusions on again");
        ::SendMessageW(picker.ExclusionToggle(), BM_CLICK, 0, 0);  // leave them off for the result

        // A JPEG in the list: the image shows it.
        run.Check(SelectInShellList(list, {L"photo.jpg"}), "photo.jpg listed");
        run.Check(WaitFor([&] { return !picker.ShowsPlaceholder(); }), "JPEG previewed");
        run.Check(picker.Preview().PictureSize().cx == 48 && picker.Preview().PictureSize().cy == 32, "JPEG size");
        // A text file: the memo replaces the image.
        run.Check(SelectInShellList(list, {L"memo.txt"}), "memo.txt listed");
        run.Check(WaitFor([&] { return ::IsWindowVisible(picker.TextPreview()) != FALSE; }), "memo shown");
        run.Check(ui::WindowText(picker.TextPreview()) == L"一行目の文字\r\nsecond line", "memo text");
        run.Check(!::IsWindowVisible(picker.Preview().Handle()), "image hidden behind the memo");
        // A bitmap brings the image back.
        run.Check(SelectInShellList(list, {L"green.bmp"}), "green.bmp listed");
        run.Check(WaitFor([&] { return ::IsWindowVisible(picker.Preview().Handle()) && !picker.ShowsPlaceholder(); }),
                  "bitmap previewed");
        run.Check(!::IsWindowVisible(picker.TextPreview()), "memo hidden again");
        run.Check(picker.Preview().PictureSize().cx == 20, "bitmap size");
        // A ".jpeg" file is not previewed.
        run.Check(SelectInShellList(list, {L"photo.jpeg"}), "photo.jpeg listed");
        run.Check(WaitFor([&] { return picker.ShowsPlaceholder(); }), ".jpeg gives the placeholder");
        // Unticking the check box clears the preview at once, and none is made while unticked.
        run.Check(SelectInShellList(list, {L"SHOUT.JPG"}), "SHOUT.JPG listed");
        run.Check(WaitFor([&] { return !picker.ShowsPlaceholder(); }), "upper-case JPG previewed");
        ::SendMessageW(picker.PreviewCheckBox(), BM_CLICK, 0, 0);
        run.Check(picker.ShowsPlaceholder(), "unticking clears the preview");
        run.Check(SelectInShellList(list, {L"photo.jpg"}), "photo.jpg listed again");
        run.Check(WaitFor([&] {
                      wchar_t path[MAX_PATH] = {};
                      ::SendMessageW(openDialog, CDM_GETFILEPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
                      return std::wstring(path) == files / L"photo.jpg";
                  }),
                  "selection reached the dialog");
        run.Check(picker.ShowsPlaceholder(), "no preview while unticked");

        // Two files chosen, then OK.
        run.Check(SelectInShellList(list, {L"memo.txt", L"green.bmp"}), "two files listed");
        ::PostMessageW(openDialog, WM_COMMAND, IDOK, 0);
    });
    const bool confirmed = picker.Execute();
    watcher.join();
    for (const auto& failure : run.failures) ADD_FAILURE() << failure;
    EXPECT_TRUE(confirmed);
    EXPECT_FALSE(picker.ExclusionInForce()) << "the toggle as the user left it";
    std::vector<std::wstring> chosen = picker.Files();
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, (std::vector<std::wstring>{files / L"green.bmp", files / L"memo.txt"}));
}

TEST(FilePickerDialog, StartsDownWhenExclusionsAreOffAndCancellingChoosesNothing) {
    PreviewFiles files;
    TTidemarrowOpenDialog picker;
    picker.SetCurrentSettings(3, 7, false);
    picker.SetInitialDir(files.Path());
    DialogRun run;
    std::thread watcher([&] {
        HWND openDialog = nullptr;
        if (!WaitFor([&] {
                openDialog = FindOwnWindow(L"#32770", nullptr);
                return openDialog && picker.ExclusionToggle();
            })) {
            run.failures.push_back("the dialog did not show");
            return;
        }
        // The six filters in order, the first chosen; no read-only box.
        const HWND types = ::GetDlgItem(openDialog, cmb1);
        const std::vector<std::wstring> expected = {L"すべてのファイル", L"テキストファイル", L"オフィスファイル",
                                                    L"圧縮ファイル", L"画像ファイル", L"マルチメディアファイル"};
        std::vector<std::wstring> shown;
        const int count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[128] = {};
            if (::SendMessageW(types, CB_GETLBTEXTLEN, i, 0) < 128)
                ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            shown.push_back(text);
        }
        run.Check(shown == expected, "the six filters in order");
        run.Check(::SendMessageW(types, CB_GETCURSEL, 0, 0) == 0, "the first filter chosen");
        const HWND readOnly = ::GetDlgItem(openDialog, chx1);
        run.Check(!readOnly || !::IsWindowVisible(readOnly), "read-only box hidden");
        run.Check(IsDown(picker.ExclusionToggle()), "ExclusionToggle starts down");
        run.Check(ui::WindowText(picker.SettingsLabel()) == SettingsText(3, 7, false), "settings text 3/Speed/off");
        ::SendMessageW(picker.ExclusionToggle(), BM_CLICK, 0, 0);
        run.Check(!IsDown(picker.ExclusionToggle()), "released");
        run.Check(picker.ExclusionInForce(), "releasing applies the exclusions");
        run.Check(ui::WindowText(picker.SettingsLabel()).find(L"除外設定:\r\n 有効") != std::wstring::npos,
                  "text 有効");
        ::PostMessageW(openDialog, WM_COMMAND, IDCANCEL, 0);
    });
    const bool confirmed = picker.Execute();
    watcher.join();
    for (const auto& failure : run.failures) ADD_FAILURE() << failure;
    EXPECT_FALSE(confirmed);
    EXPECT_TRUE(picker.Files().empty());
}

}  // namespace
