// The picker's previews of damaged pictures and text: a few hundred fixed-seed cases of each
// kind through the real preview path, which gives a picture or the placeholder and never
// ends the process.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dialogs/TidemarrowDialog.h"
#include "tests/dialogs/TestPictures.h"
#include "tests/support/RandomInput.h"
#include "tests/support/TempFolder.h"

namespace {

std::string MakeWmf(const std::wstring& path) {
    HDC recorder = ::CreateMetaFileW(path.c_str());
    if (!recorder) return {};
    ::SetWindowExtEx(recorder, 100, 100, nullptr);
    ::Rectangle(recorder, 10, 10, 90, 90);
    ::MoveToEx(recorder, 0, 0, nullptr);
    ::LineTo(recorder, 100, 100);
    ::TextOutW(recorder, 5, 5, L"あ", 1);
    ::DeleteMetaFile(::CloseMetaFile(recorder));
    return ReadBytes(path);
}

TEST(RandomPreviewInput, DamagedPicturesAndTextGiveAPictureOrThePlaceholder) {
    TempFolder folder;
    const std::string wmf = MakeWmf(folder / L"sample.wmf");
    ASSERT_FALSE(wmf.empty());
    const struct {
        const wchar_t* extension;
        std::string sample;
        PreviewKind whole;
    } kinds[] = {
        {L".bmp", MakeBmp(40, 30, RGB(10, 20, 30)), PreviewKind::Image},
        {L".wmf", wmf, PreviewKind::Image},
        {L".ico", MakeIco(RGB(200, 0, 0)), PreviewKind::Image},
        {L".jpg", EncodeJpeg(48, 32, RGB(255, 0, 0), RGB(0, 0, 255)), PreviewKind::Image},
        {L".txt", "first line\r\n\x83\x74\x83\x40\x83\x43\x83\x8B\r\nthird\r\n", PreviewKind::Text},
    };
    RandomInput random(8080);
    for (const auto& kind : kinds) {
        const std::wstring path = folder / (std::wstring(L"case") + kind.extension);
        ASSERT_TRUE(WriteBytes(path, kind.sample));
        ASSERT_EQ(LoadPreview(path, RGB(1, 2, 3)).kind, kind.whole) << "the undamaged sample";
        int pictures = 0;
        for (int round = 0; round < 200; ++round) {
            const std::string bytes = random.Chance(10) ? random.Bytes(static_cast<std::size_t>(random.Between(0, 4096)))
                                                        : random.Damage(kind.sample);
            ASSERT_TRUE(WriteBytes(path, bytes));
            const PreviewContent content = LoadPreview(path, RGB(1, 2, 3));
            if (content.kind == PreviewKind::Image) {
                ++pictures;
                BITMAP info{};
                ASSERT_TRUE(::GetObjectW(content.bitmap.get(), sizeof(info), &info)) << round;
                EXPECT_GT(info.bmWidth, 0);
                EXPECT_GT(info.bmHeight, 0);
            } else if (content.kind == PreviewKind::Text) {
                EXPECT_EQ(kind.whole, PreviewKind::Text) << "only text files show text";
                EXPECT_EQ(content.text.find(L'\0'), std::wstring::npos);
            } else {
                EXPECT_FALSE(content.bitmap) << "the placeholder is the picker's own";
            }
        }
        if (kind.whole == PreviewKind::Image) {
            EXPECT_LT(pictures, 200) << "damage shows as the placeholder somewhere";
        }
    }
    EXPECT_LT(PeakMemoryBytes(), kPeakMemoryLimit);
}

}  // namespace
