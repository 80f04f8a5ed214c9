#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "common/Assertions.h"

namespace {

class AssertionsTest : public testing::Test {
protected:
    void SetUp() override {
        previous_ = SetAssertionHandler(RecordAssertion);
        ClearRecordedAssertions();
    }
    void TearDown() override { SetAssertionHandler(previous_); }

private:
    AssertionHandler previous_;
};

__attribute__((noinline)) void RaiseListTransferFailure() {
    RaiseAssertion(AssertSite::MainListTransfer);
    asm volatile("");  // keeps the call from becoming a tail jump
}

TEST_F(AssertionsTest, CatalogueHoldsEverySiteWithItsMessageUnitAndLine) {
    const auto& sites = AllAssertSites();
    ASSERT_EQ(sites.size(), 23u);
    std::set<std::pair<std::wstring, int>> unitLines;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(sites[i].site), i);
        EXPECT_EQ(&SiteInfo(sites[i].site), &sites[i]);
        unitLines.insert({sites[i].unit, sites[i].line});
    }
    EXPECT_EQ(unitLines.size(), sites.size()) << "two sites share a unit and line";

    const auto& transfer = SiteInfo(AssertSite::MainListTransfer);
    EXPECT_STREQ(transfer.message, L"エラー 09");
    EXPECT_STREQ(transfer.unit, L"Main");
    EXPECT_EQ(transfer.line, 1307);
    const auto& outOfZero = SiteInfo(AssertSite::EraseFuncOutOfZero);
    EXPECT_STREQ(outOfZero.message, L"Out of zero");
    EXPECT_STREQ(outOfZero.unit, L"EraseFunc");
    EXPECT_EQ(outOfZero.line, 87);
    const auto& dirSearch = SiteInfo(AssertSite::EraseFuncDirSearch);
    EXPECT_STREQ(dirSearch.message, L"DirSeachError");
    EXPECT_EQ(dirSearch.line, 238);
    EXPECT_STREQ(SiteInfo(AssertSite::ConfigCustomTagPanic).message, L"???Panic??? CodeLine 1015");
    EXPECT_EQ(SiteInfo(AssertSite::ConfigCustomTagPanic).line, 1002);
    EXPECT_STREQ(SiteInfo(AssertSite::IeCacheEntries).unit, L"ie");
    EXPECT_STREQ(SiteInfo(AssertSite::LoginWindow).unit, L"Nuser");
}

TEST_F(AssertionsTest, ReportCarriesTheCallersAddressMinusOne) {
    RaiseListTransferFailure();
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"エラー 09");
    EXPECT_EQ(reports[0].unit, L"Main");
    EXPECT_EQ(reports[0].line, 1307);
    const auto start = reinterpret_cast<std::uintptr_t>(&RaiseListTransferFailure);
    EXPECT_GT(reports[0].address, start);
    EXPECT_LT(reports[0].address, start + 64);
}

TEST_F(AssertionsTest, SuffixFollowsTheMessageWithoutABlank) {
    RaiseAssertion(AssertSite::MainAddFile, L"C:\\data\\a.txt");
    const auto reports = RecordedAssertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].message, L"ファイル追加時にエラーが発生しました。FileName:C:\\data\\a.txt");
    EXPECT_EQ(reports[0].line, 382);
}

TEST_F(AssertionsTest, InstalledHandlerReceivesReportsAndItsFailuresStayInside) {
    int calls = 0;
    SetAssertionHandler([&](const std::wstring& message, const std::wstring&, int, std::uintptr_t) {
        ++calls;
        if (message == L"Shell Drop Error") throw std::runtime_error("handler failed");
    });
    RaiseAssertion(AssertSite::MainReload);
    EXPECT_NO_THROW(RaiseAssertion(AssertSite::MainShellDrop));
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(RecordedAssertions().empty());
}

}  // namespace
