#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/ErasureReport.h"
#include "tests/support/Csv.h"
#include "tests/support/TempFolder.h"

namespace {

// Names a user could meet: markup, quotes, commas, line breaks, a bidirectional override,
// characters outside Shift_JIS, and user and computer names a spreadsheet would run.
ErasureReport HostileReport() {
    ErasureReport report;
    report.run = CurrentRunFacts();
    report.run.user = L"=HYPERLINK(\"x\")";
    report.run.computer = L"@PC-1";
    report.run.profile = L"-profile";
    report.run.stopped = true;
    report.drives.push_back({L"C:\\", L"NTFS", L"1A2B-3C4D", {L"注記 <1>, \"二\"", L"second"}});
    report.files.push_back({L"C:\\a<b>&c\"d',e\r\nf\u202Egpj.exe", 10, 20, LevelText(EraseLevel::Normal),
                            FileResult::Erased, L"line <script>alert(1)</script>", L"", 0});
    report.files.push_back({L"C:\\한글\U0001F600.txt", -1, -1, LevelText(EraseLevel::High), FileResult::NotReached,
                            L"", L"", 0});
    return report;
}

TEST(ErasureReport, HostileNamesComeOutWholeAndHarmlessInBothForms) {
    TempFolder folder;
    const ErasureReport report = HostileReport();
    const std::wstring& name = report.files[0].path;

    ASSERT_TRUE(WriteErasureReport(folder / L"r.csv", ReportForm::Csv, report));
    bool marked = false;
    const auto records = ParseCsv(ReadUtf8WithMark(folder / L"r.csv", &marked));
    EXPECT_TRUE(marked);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(ParseCsv(kReportCsvHeader)[0], records[0]);
    for (std::size_t row = 1; row < 3; ++row) ASSERT_EQ(records[row].size(), records[0].size()) << row;
    EXPECT_EQ(records[1][3], L"'@PC-1");
    EXPECT_EQ(records[1][4], L"'=HYPERLINK(\"x\")");
    EXPECT_EQ(records[1][5], L"-profile") << "only user and computer names get the apostrophe";
    EXPECT_EQ(records[1][11], L"はい");
    EXPECT_EQ(records[1][15], L"注記 <1>, \"二\"\r\nsecond");
    EXPECT_EQ(records[1][16], name);
    EXPECT_EQ(records[1][20], L"抹消済み");
    EXPECT_EQ(records[1][21], report.files[0].reason);
    EXPECT_EQ(records[2][16], L"C:\\한글\U0001F600.txt");
    EXPECT_EQ(records[2][17], L"") << "a size not known is left empty";
    EXPECT_EQ(records[2][20], L"未処理（中止のため処理していません）");

    ASSERT_TRUE(WriteErasureReport(folder / L"r.html", ReportForm::Html, report));
    const std::wstring page = ReadUtf8WithMark(folder / L"r.html", &marked);
    EXPECT_TRUE(marked);
    EXPECT_NE(page.find(L"C:\\a&lt;b&gt;&amp;c&quot;d&#39;,e<span class=\"ctl\">\\u000D</span><span class=\"ctl\">"
                        L"\\u000A</span>f<span class=\"ctl\">\\u202E</span>gpj.exe"),
              std::wstring::npos);
    EXPECT_NE(page.find(L"C:\\한글\U0001F600.txt"), std::wstring::npos);
    EXPECT_NE(page.find(L"line &lt;script&gt;alert(1)&lt;/script&gt;"), std::wstring::npos);
    EXPECT_NE(page.find(L"=HYPERLINK(&quot;x&quot;)"), std::wstring::npos) << "the page shows the name unchanged";
    EXPECT_EQ(page.find(L"<script"), std::wstring::npos);
    EXPECT_EQ(page.find(L'\u202E'), std::wstring::npos);
    EXPECT_EQ(page.find(L"src="), std::wstring::npos) << "nothing from outside";
    EXPECT_LT(page.find(L"中止されました"), page.find(L"<h2>")) << "a stopped run says so at the top";
    for (const wchar_t* line : {L"作業者", L"確認者", L"1A2B-3C4D", L"注記 &lt;1&gt;, &quot;二&quot;<br>second"})
        EXPECT_NE(page.find(line), std::wstring::npos) << line;

    // A report that cannot replace the file there leaves that file whole.
    ASSERT_TRUE(WriteBytes(folder / L"kept.csv", "old"));
    ASSERT_TRUE(::SetFileAttributesW((folder / L"kept.csv").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteErasureReport(folder / L"kept.csv", ReportForm::Csv, report));
    ::SetFileAttributesW((folder / L"kept.csv").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(folder / L"kept.csv"), "old");
    EXPECT_EQ(EntriesOf(folder.Path()), (std::vector<std::wstring>{L"kept.csv", L"r.csv", L"r.html"}));
}

TEST(ErasureReport, ARunWithoutFilesGivesOneRowWithTheFileColumnsEmpty) {
    ErasureRecorder recorder;
    recorder.Begin(L"Custom", L"DefaultUser", false);
    recorder.End(false);
    const auto records = ParseCsv(ReportCsv(recorder.Report()));
    ASSERT_EQ(records.size(), 2u);
    ASSERT_EQ(records[1].size(), records[0].size());
    EXPECT_EQ(records[1][9], L"Custom");
    EXPECT_EQ(records[1][5], L"DefaultUser");
    for (std::size_t column = 12; column < records[1].size(); ++column) EXPECT_EQ(records[1][column], L"") << column;
    // Start and end: 2026-01-31T14:05:09+09:00.
    const std::wstring& started = records[1][7];
    ASSERT_EQ(started.size(), 25u) << started;
    EXPECT_EQ(started[10], L'T');
    EXPECT_TRUE(started[19] == L'+' || started[19] == L'-') << started;
    EXPECT_EQ(started[22], L':');
}

}  // namespace
