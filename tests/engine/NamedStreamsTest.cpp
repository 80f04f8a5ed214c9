// Named streams through a replaced listing; under Wine "name:stream" is an entry of its own.

#include "tests/engine/EngineFixture.h"

namespace {

using OverwriteFileStreams = EngineTest;

TEST_F(OverwriteFileStreams, ListedStreamsAreOverwrittenFirstAndOneThatCannotBeOpenedKeepsTheFile) {
    const std::wstring path = folder_ / L"a.txt";
    std::vector<std::wstring> listed{L"::$DATA", L":Zone.Identifier:$DATA"};
    ObservePasses();
    EraseSeams seams = SetEraseSeams({});
    seams.listStreams = [&](const std::wstring&, std::vector<std::wstring>& names) {
        return !(names = listed).empty();
    };
    SetEraseSeams(seams);
    const std::string fe = "\xFE\xFF", zero(2, '\0');
    ASSERT_TRUE(WriteBytes(path, "0123"));
    ASSERT_TRUE(WriteBytes(path + L":Zone.Identifier", "[ZoneTransfer]"));
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(passes_, (std::vector<std::string>{Repeat(fe, 7), Repeat(zero, 7), Repeat(fe, 2), Repeat(zero, 2)}));
    EXPECT_EQ(ReadBytes(path + L":Zone.Identifier"), "");
    EXPECT_FALSE(FileExists(path));

    // A listed stream that cannot be opened keeps the file as it is.
    listed = {L":gone:$DATA"};
    ASSERT_TRUE(WriteBytes(path, "0123"));
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(ReadBytes(path), "0123");
}

}  // namespace
