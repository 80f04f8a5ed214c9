// A file's named streams are overwritten with the file's level before its main stream. The
// listing is replaced here; under Wine "name:stream" is an entry of its own in the folder,
// which stands in for the stream.

#include "tests/engine/EngineFixture.h"

namespace {

using OverwriteFileStreams = EngineTest;

TEST_F(OverwriteFileStreams, ListedStreamsAreOverwrittenFirstAndOneThatCannotBeOpenedKeepsTheFile) {
    const std::wstring path = folder_ / L"a.txt";
    const std::wstring stream = path + L":Zone.Identifier";
    std::vector<std::wstring> listed{L"::$DATA", L":Zone.Identifier:$DATA"};
    std::vector<std::wstring> asked;
    ObservePasses();
    EraseSeams seams = SetEraseSeams({});
    seams.listStreams = [&](const std::wstring& file, std::vector<std::wstring>& names) {
        asked.push_back(file);
        names = listed;
        return !listed.empty();
    };
    SetEraseSeams(seams);

    ASSERT_TRUE(WriteBytes(path, "0123"));
    ASSERT_TRUE(WriteBytes(stream, "[ZoneTransfer]"));
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Normal));
    EXPECT_EQ(asked, std::vector<std::wstring>{path});
    EXPECT_EQ(passes_, (std::vector<std::string>{Repeat("\xFE\xFF", 7), Repeat(std::string(2, '\0'), 7),
                                                 Repeat("\xFE\xFF", 2), Repeat(std::string(2, '\0'), 2)}));
    EXPECT_EQ(ReadBytes(stream), "") << "the stream is cut to nothing";
    EXPECT_FALSE(FileExists(path));

    // A listed stream that cannot be opened: the file stays as it is.
    passes_.clear();
    listed = {L"::$DATA", L":gone:$DATA"};
    ASSERT_TRUE(WriteBytes(path, "0123"));
    EXPECT_FALSE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(ReadBytes(path), "0123");
    EXPECT_TRUE(passes_.empty());

    // A listing that fails means no named streams.
    listed.clear();
    EXPECT_TRUE(OverwriteFile(path, EraseLevel::Speed));
    EXPECT_EQ(passes_, std::vector<std::string>{Repeat(std::string(2, '\0'), 2)});
    EXPECT_FALSE(FileExists(path));
}

}  // namespace
