#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Paths.h"
#include "profiles/TidemarrowUsers.h"
#include "tests/support/TempFolder.h"

namespace {

using Names = std::vector<std::wstring>;

// The store's list, in its order.
Names Listed(const TTidemarrowUsers& users) {
    Names names;
    for (int i = 0; i < users.Count(); ++i) names.push_back(users.NameAt(i));
    return names;
}

// A temporary folder stands in for the program folder, so nothing is written beside the
// test executable.
class ProfileStoreTest : public testing::Test {
protected:
    std::wstring Program() const { return program_.Path(); }
    std::wstring Root() const { return program_ / L"User"; }
    std::wstring InRoot(const std::wstring& relative) const { return Root() + L"\\" + relative; }

    void MakeFolder(const std::wstring& path) { ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << path; }
    void MakeFile(const std::wstring& path, const std::string& bytes = "data") {
        ASSERT_TRUE(WriteBytes(path, bytes)) << path;
    }
    // The profile root with the given folders and nothing else but DefaultUser.
    void MakeProfiles(const Names& names) {
        MakeFolder(Root());
        for (const auto& name : names) MakeFolder(InRoot(name));
    }
    // A profile folder with all five known files.
    void FillProfile(const std::wstring& name) {
        MakeFile(InRoot(name + L"\\Config.ini"), "[Config]\r\n");
        for (const wchar_t* file : {L"customerase.txt", L"remove.txt", L"FileList.txt", L"ResList.txt"})
            MakeFile(InRoot(name + L"\\Savedat\\" + file));
    }

    TempFolder program_;
};

using ProfileStore = ProfileStoreTest;
using CreateProfile = ProfileStoreTest;
using DeleteProfile = ProfileStoreTest;

// --- Listing ---------------------------------------------------------------------------

TEST_F(ProfileStore, FirstStartCreatesRootAndEmptyDefaultUserAndListsOnlyIt) {
    ASSERT_FALSE(DirectoryExists(Root()));
    TTidemarrowUsers users(Program());
    EXPECT_TRUE(DirectoryExists(Root()));
    EXPECT_EQ(EntriesOf(Root()), Names{L"DefaultUser"});
    EXPECT_EQ(EntriesOf(InRoot(L"DefaultUser")), Names{}) << "only the profile folder is made, no data folder";
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(ProfileStore, PathsAreBuiltFromTheProgramFolderWithoutTrailingBackslash) {
    TTidemarrowUsers withoutBackslash(Program());
    TTidemarrowUsers withBackslash(Program() + L"\\");
    for (const TTidemarrowUsers* users : {&withoutBackslash, &withBackslash}) {
        EXPECT_EQ(users->RootPath(), Root());
        EXPECT_EQ(users->ProfilePath(L"Nobody"), InRoot(L"Nobody")) << "existence is not checked";
        EXPECT_EQ(users->NameAt(0, true), InRoot(L"DefaultUser"));
        EXPECT_EQ(users->NameAt(0, false), L"DefaultUser");
    }
}

TEST_F(ProfileStore, ReloadRecreatesAMissingDefaultUserAndKeepsTheOthers) {
    MakeProfiles({L"Work"});
    TTidemarrowUsers users(Program());
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Work"}));
    ASSERT_TRUE(::RemoveDirectoryW(InRoot(L"DefaultUser").c_str()));
    users.Reload();
    EXPECT_TRUE(DirectoryExists(InRoot(L"DefaultUser")));
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Work"}));
}

TEST_F(ProfileStore, EveryFolderIsAProfileButPlainFilesAreNot) {
    MakeProfiles({L"Hidden", L"System", L"ReadOnly"});
    MakeFile(InRoot(L"notes.txt"));
    MakeFile(InRoot(L"NoExtension"));
    ASSERT_TRUE(::SetFileAttributesW(InRoot(L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesW(InRoot(L"System").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(::SetFileAttributesW(InRoot(L"ReadOnly").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::GetFileAttributesW(InRoot(L"Hidden").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    TTidemarrowUsers users(Program());
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Hidden", L"ReadOnly", L"System"}));
}

TEST_F(ProfileStore, ListIsSortedIgnoringLetterCase) {
    MakeProfiles({L"gamma", L"Beta", L"alpha"});
    TTidemarrowUsers users(Program());
    EXPECT_EQ(Listed(users), (Names{L"alpha", L"Beta", L"DefaultUser", L"gamma"}));
    ASSERT_TRUE(users.CreateProfile(L"Delta"));
    ASSERT_TRUE(users.CreateProfile(L"aardvark"));
    EXPECT_EQ(Listed(users), (Names{L"aardvark", L"alpha", L"Beta", L"DefaultUser", L"Delta", L"gamma"}))
        << "a created name is sorted in at once";
}

TEST_F(ProfileStore, NameAtOutsideTheListGivesEmptyText) {
    MakeProfiles({L"Work"});
    TTidemarrowUsers users(Program());
    ASSERT_EQ(users.Count(), 2);
    for (const int index : {-1, 2, 3, INT_MIN, INT_MAX}) {
        EXPECT_EQ(users.NameAt(index), L"") << index;
        EXPECT_EQ(users.NameAt(index, true), L"") << index;
    }
    EXPECT_EQ(users.NameAt(1), L"Work");
    EXPECT_EQ(users.NameAt(1, true), InRoot(L"Work"));
}

TEST_F(ProfileStore, TwoStoresSeeEachOthersChangesOnlyAfterReload) {
    TTidemarrowUsers first(Program());
    TTidemarrowUsers second(Program());
    ASSERT_TRUE(first.CreateProfile(L"Shared"));
    EXPECT_EQ(Listed(second), Names{L"DefaultUser"});
    second.Reload();
    EXPECT_EQ(Listed(second), (Names{L"DefaultUser", L"Shared"}));

    first.DeleteProfile(L"Shared");
    EXPECT_FALSE(DirectoryExists(InRoot(L"Shared")));
    EXPECT_EQ(Listed(first), Names{L"DefaultUser"});
    EXPECT_EQ(Listed(second), (Names{L"DefaultUser", L"Shared"})) << "the other store keeps its list";
    second.DeleteProfile(L"Shared");
    EXPECT_EQ(Listed(second), (Names{L"DefaultUser", L"Shared"}))
        << "a folder that is gone is not deleted again, and its name stays until the next Reload";
    second.Reload();
    EXPECT_EQ(Listed(second), Names{L"DefaultUser"});
}

TEST_F(ProfileStore, RootThatCannotBeCreatedLeavesAnEmptyListAndNoProfileCanBeMade) {
    MakeFile(Root(), "not a folder");
    TTidemarrowUsers users(Program());
    EXPECT_EQ(users.Count(), 0);
    EXPECT_EQ(users.NameAt(0), L"");
    EXPECT_FALSE(users.CreateProfile(L"Work"));
    users.DeleteProfile(L"DefaultUser");
    EXPECT_EQ(users.Count(), 0);
    EXPECT_EQ(ReadBytes(Root()), "not a folder");
    EXPECT_EQ(EntriesOf(Program()), Names{L"User"});
}

TEST_F(ProfileStore, MissingProgramFolderIsNotCreated) {
    const std::wstring missing = program_ / L"missing\\deeper";
    TTidemarrowUsers users(missing);
    EXPECT_EQ(users.Count(), 0);
    EXPECT_FALSE(users.CreateProfile(L"Work"));
    EXPECT_EQ(EntriesOf(Program()), Names{}) << "the root is made one level only";
}

// --- CreateProfile -----------------------------------------------------------------------

TEST_F(CreateProfile, MakesTheProfileAndItsEmptyDataFolder) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"Work"));
    EXPECT_EQ(EntriesOf(InRoot(L"Work")), Names{L"Savedat"});
    EXPECT_EQ(EntriesOf(InRoot(L"Work\\Savedat")), Names{}) << "no file is written or copied";
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Work"}));
    EXPECT_FALSE(users.CreateProfile(L"Work"));
    EXPECT_FALSE(users.CreateProfile(L"WORK"));
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Work"}));
}

TEST_F(CreateProfile, ListedNameInOtherLetterCaseIsRefusedAndCreatesNothing) {
    TTidemarrowUsers users(Program());
    EXPECT_FALSE(users.CreateProfile(L"defaultuser"));
    EXPECT_FALSE(users.CreateProfile(L"DEFAULTUSER"));
    EXPECT_EQ(EntriesOf(Root()), Names{L"DefaultUser"});
    EXPECT_EQ(EntriesOf(InRoot(L"DefaultUser")), Names{}) << "not even a data folder";
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(CreateProfile, FolderMadeAfterReloadIsTakenOverAsItIs) {
    TTidemarrowUsers users(Program());
    MakeFolder(InRoot(L"Later"));
    MakeFile(InRoot(L"Later\\Config.ini"), "[Config]\r\n#Mode=2\r\n");
    ASSERT_TRUE(users.CreateProfile(L"Later"));
    EXPECT_EQ(ReadBytes(InRoot(L"Later\\Config.ini")), "[Config]\r\n#Mode=2\r\n");
    EXPECT_TRUE(DirectoryExists(InRoot(L"Later\\Savedat")));
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Later"}));
    users.Reload();
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Later"}));
}

TEST_F(CreateProfile, PlainFileOfThatNameIsRefusedAndKept) {
    MakeFolder(Root());
    MakeFile(InRoot(L"notes"), "keep me");
    TTidemarrowUsers users(Program());
    EXPECT_FALSE(users.CreateProfile(L"notes"));
    EXPECT_EQ(ReadBytes(InRoot(L"notes")), "keep me");
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(CreateProfile, NamesThatAreNotOneFolderNameAreRefused) {
    TTidemarrowUsers users(Program());
    for (const std::wstring name : {L"", L".", L"..", L"..\\Escape", L"a\\b", L"a/b", L"C:x", L"x*", L"x?",
                                    L"x|y", L"x\"y", L"x<y", L"x>y", L"tab\tname", L"Trailing.", L"Trailing "}) {
        EXPECT_FALSE(users.CreateProfile(name)) << name;
    }
    EXPECT_EQ(EntriesOf(Program()), Names{L"User"}) << "nothing is made beside the root";
    EXPECT_EQ(EntriesOf(Root()), Names{L"DefaultUser"});
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(CreateProfile, JapaneseNamesAreKeptExactlyAsSpelled) {
    const std::wstring name = L"山田太郎ﾃｽﾄ";
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(name));
    EXPECT_TRUE(DirectoryExists(InRoot(name + L"\\Savedat")));
    TTidemarrowUsers fresh(Program());
    EXPECT_EQ(Listed(fresh), (Names{L"DefaultUser", name}));
    EXPECT_EQ(fresh.NameAt(1, true), InRoot(name));
    EXPECT_FALSE(fresh.CreateProfile(name));
    fresh.DeleteProfile(name);
    EXPECT_FALSE(DirectoryExists(InRoot(name)));
    EXPECT_EQ(Listed(fresh), Names{L"DefaultUser"});
}

// --- DeleteProfile -----------------------------------------------------------------------

TEST_F(DeleteProfile, CleanProfileLosesItsFilesFoldersAndName) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"Old"));
    FillProfile(L"Old");
    users.DeleteProfile(L"Old");
    EXPECT_FALSE(DirectoryExists(InRoot(L"Old")));
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
    EXPECT_EQ(EntriesOf(Root()), Names{L"DefaultUser"});
}

TEST_F(DeleteProfile, ProfileWithoutDataFolderIsRemoved) {
    MakeProfiles({L"Bare"});
    MakeFile(InRoot(L"Bare\\Config.ini"));
    TTidemarrowUsers users(Program());
    users.DeleteProfile(L"Bare");
    EXPECT_FALSE(DirectoryExists(InRoot(L"Bare")));
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(DeleteProfile, ExtraFileInDataFolderKeepsBothFoldersAndTheName) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"Busy"));
    FillProfile(L"Busy");
    MakeFile(InRoot(L"Busy\\Savedat\\mine.doc"), "user data");
    users.DeleteProfile(L"Busy");
    EXPECT_EQ(EntriesOf(InRoot(L"Busy")), Names{L"Savedat"}) << "Config.ini is gone, the data folder stays";
    EXPECT_EQ(EntriesOf(InRoot(L"Busy\\Savedat")), Names{L"mine.doc"}) << "the four list files are gone";
    EXPECT_EQ(ReadBytes(InRoot(L"Busy\\Savedat\\mine.doc")), "user data");
    EXPECT_EQ(Listed(users), (Names{L"Busy", L"DefaultUser"}));
}

TEST_F(DeleteProfile, ExtraFileInProfileFolderKeepsThatFolderAndTheName) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"Busy"));
    FillProfile(L"Busy");
    MakeFile(InRoot(L"Busy\\notes.txt"), "user data");
    users.DeleteProfile(L"Busy");
    EXPECT_EQ(EntriesOf(InRoot(L"Busy")), Names{L"notes.txt"});
    EXPECT_EQ(Listed(users), (Names{L"Busy", L"DefaultUser"}));
}

TEST_F(DeleteProfile, ReadOnlyListFileIsNotDeletedAndKeepsTheProfile) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"Guarded"));
    FillProfile(L"Guarded");
    ASSERT_TRUE(::SetFileAttributesW(InRoot(L"Guarded\\Savedat\\remove.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    users.DeleteProfile(L"Guarded");
    EXPECT_EQ(EntriesOf(InRoot(L"Guarded\\Savedat")), Names{L"remove.txt"});
    EXPECT_EQ(ReadBytes(InRoot(L"Guarded\\Savedat\\remove.txt")), "data");
    EXPECT_EQ(EntriesOf(InRoot(L"Guarded")), Names{L"Savedat"}) << "the files after it are still deleted";
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Guarded"}));
}

TEST_F(DeleteProfile, OpenListFileIsNotDeletedAndKeepsTheProfile) {
    TTidemarrowUsers users(Program());
    ASSERT_TRUE(users.CreateProfile(L"InUse"));
    FillProfile(L"InUse");
    {
        const std::wstring held = InRoot(L"InUse\\Savedat\\FileList.txt");
        UniqueFile open(::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(open.valid());
        users.DeleteProfile(L"InUse");
    }
    EXPECT_EQ(EntriesOf(InRoot(L"InUse\\Savedat")), Names{L"FileList.txt"});
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"InUse"}));
    users.DeleteProfile(L"InUse");
    EXPECT_FALSE(DirectoryExists(InRoot(L"InUse"))) << "once the file is closed the profile goes";
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(DeleteProfile, NameInOtherLetterCaseRemovesTheListedProfile) {
    MakeProfiles({L"Alpha"});
    TTidemarrowUsers users(Program());
    users.DeleteProfile(L"ALPHA");
    EXPECT_FALSE(DirectoryExists(InRoot(L"Alpha")));
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(DeleteProfile, MissingProfileOrPlainFileChangesNothing) {
    MakeFolder(Root());
    MakeFile(InRoot(L"notes"), "keep me");
    TTidemarrowUsers users(Program());
    users.DeleteProfile(L"Ghost");
    users.DeleteProfile(L"notes");
    EXPECT_EQ(ReadBytes(InRoot(L"notes")), "keep me");
    EXPECT_EQ(EntriesOf(Root()), (Names{L"DefaultUser", L"notes"}));
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"});
}

TEST_F(DeleteProfile, DefaultUserIsNotProtectedByTheStore) {
    TTidemarrowUsers users(Program());
    users.DeleteProfile(L"DefaultUser");
    EXPECT_FALSE(DirectoryExists(InRoot(L"DefaultUser")));
    EXPECT_EQ(users.Count(), 0);
    users.Reload();
    EXPECT_EQ(Listed(users), Names{L"DefaultUser"}) << "the next Reload brings it back";
}

TEST_F(DeleteProfile, NamesReachingOutsideTheirFolderTouchNothing) {
    // ".." would name the program folder, and an empty name the root itself, whose
    // "Savedat" would be the folder of a profile of that name.
    MakeProfiles({L"Savedat"});
    MakeFile(InRoot(L"Savedat\\remove.txt"), "profile file");
    MakeFile(InRoot(L"Config.ini"), "root file");
    MakeFolder(program_ / L"Savedat");
    MakeFile(program_ / L"Savedat\\remove.txt", "program file");
    MakeFile(program_ / L"Config.ini", "program settings");
    TTidemarrowUsers users(Program());
    for (const std::wstring name : {L"", L".", L"..", L"..\\User\\Savedat", L"Savedat\\..", L"Savedat\\"})
        users.DeleteProfile(name);
    EXPECT_EQ(ReadBytes(InRoot(L"Savedat\\remove.txt")), "profile file");
    EXPECT_EQ(ReadBytes(InRoot(L"Config.ini")), "root file");
    EXPECT_EQ(ReadBytes(program_ / L"Savedat\\remove.txt"), "program file");
    EXPECT_EQ(ReadBytes(program_ / L"Config.ini"), "program settings");
    EXPECT_EQ(Listed(users), (Names{L"DefaultUser", L"Savedat"}));
}

}  // namespace
