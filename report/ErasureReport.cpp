#include "report/ErasureReport.h"

#include <cwctype>

#include "common/TextCodec.h"

// --- plain texts ---

const wchar_t kReportCsvHeader[] =
    L"製品,バージョン,エディション,コンピュータ名,Windowsのユーザー名,プロファイル,Windows,開始,終了,モード,確認,中止,"
    L"ドライブ,ファイルシステム,シリアル番号,ドライブの注記,ファイル,サイズ,書き込みバイト数,レベル,結果,理由,確認結果";

const wchar_t* ResultText(FileResult result) {
    switch (result) {
        case FileResult::Erased: return L"抹消済み";
        case FileResult::NotProcessed: return L"処理できませんでした";
        case FileResult::Stopped: return L"中止（上書きの途中、削除していません）";
        case FileResult::NotReached: return L"未処理（中止のため処理していません）";
        case FileResult::CheckFailed: return L"確認失敗（削除していません）";
        case FileResult::ErasedClustersLeft: return L"抹消済み（書き込めなかったクラスタが残っています）";
    }
    return L"";
}

std::wstring LevelText(EraseLevel level) {
    switch (level) {
        case EraseLevel::Speed: return L"Speed: 1 回 (0x0000)";
        case EraseLevel::Normal: return L"Normal: 2 回 (0xFFFE, 0x0000)";
        case EraseLevel::High: return L"High: 3 回 (0xFFFE, 0x0000, 擬似乱数)";
    }
    return L"";
}

std::int64_t BytesWrittenAtLevel(std::int64_t size, EraseLevel level) {
    if (size < 0) return -1;
    if (size == 0) return 0;
    const std::int64_t passes = level == EraseLevel::High ? 3 : level == EraseLevel::Normal ? 2 : 1;
    return passes * (size + size % 2);
}

FileResult ReportResultOf(bool erased, ReadBack readBack, bool stopped) {
    if (erased) return FileResult::Erased;
    if (readBack == ReadBack::Differed || readBack == ReadBack::Unreadable) return FileResult::CheckFailed;
    return stopped ? FileResult::Stopped : FileResult::NotProcessed;
}

FileResult ReportResultOf(const EraseOutcome& outcome, bool stopped) {
    if (outcome.kind == EraseOutcome::Kind::Erased)
        return outcome.LeftSomething() ? FileResult::ErasedClustersLeft : FileResult::Erased;
    if (outcome.kind == EraseOutcome::Kind::CloudOnly) return FileResult::NotProcessed;
    return ReportResultOf(false, outcome.readBack, stopped);
}

std::wstring ReportVerifyText(ReadBack readBack) {
    switch (readBack) {
        case ReadBack::Matched: return L"読み戻し確認済み";
        case ReadBack::Differed: return L"読み戻した内容が一致しませんでした";
        case ReadBack::Unreadable: return L"読み戻せませんでした";
        case ReadBack::Stopped: return L"中止のため確認していません";
        case ReadBack::NotChecked: break;
    }
    return L"";
}

namespace {

// The number with at least `digits` digits, zeros in front.
std::wstring Padded(std::int64_t value, std::size_t digits) {
    std::wstring text = std::to_wstring(value);
    return text.size() < digits ? std::wstring(digits - text.size(), L'0') + text : text;
}

}  // namespace

std::wstring Iso8601(const SYSTEMTIME& local, int offsetMinutes) {
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    return Padded(local.wYear, 4) + L"-" + Padded(local.wMonth, 2) + L"-" + Padded(local.wDay, 2) + L"T" +
           Padded(local.wHour, 2) + L":" + Padded(local.wMinute, 2) + L":" + Padded(local.wSecond, 2) +
           (offsetMinutes < 0 ? L"-" : L"+") + Padded(offset / 60, 2) + L":" + Padded(offset % 60, 2);
}

std::wstring DurationText(std::int64_t milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    const std::int64_t seconds = milliseconds / 1000;
    if (seconds < 60) return std::to_wstring(seconds) + L"." + std::to_wstring(milliseconds % 1000 / 100) + L"秒";
    if (seconds < 3600) return std::to_wstring(seconds / 60) + L"分" + Padded(seconds % 60, 2) + L"秒";
    return std::to_wstring(seconds / 3600) + L"時間" + Padded(seconds / 60 % 60, 2) + L"分" + Padded(seconds % 60, 2) + L"秒";
}

ReportSummary Summarize(const ErasureReport& report) {
    ReportSummary summary;
    for (const ReportFile& file : report.files) {
        if (file.result == FileResult::Erased || file.result == FileResult::ErasedClustersLeft) ++summary.erased;
        else ++summary.notProcessed;
        if (file.bytesWritten >= 0) summary.bytesWritten += file.bytesWritten;
        else summary.bytesUnknown = true;
    }
    return summary;
}

bool ReportFormOf(const std::wstring& path, ReportForm& form) {
    const std::size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.') return false;
    std::wstring extension = path.substr(dot + 1);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    if (extension == L"html" || extension == L"htm") form = ReportForm::Html;
    else if (extension == L"csv") form = ReportForm::Csv;
    else return false;
    return true;
}

// --- the recorder ---

void ErasureRecorder::Begin(const std::wstring& mode, const std::wstring& profile, bool verification) {
    report_ = ErasureReport{};
    lastFolder_.clear();
    report_.run = CurrentRunFacts();
    report_.run.started = NowIso8601();
    report_.run.mode = mode;
    report_.run.profile = profile;
    report_.run.verification = verification;
    startTick_ = ::GetTickCount64();
    begun_ = true;
}

std::size_t ErasureRecorder::DriveOf(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    if (!report_.drives.empty() && !folder.empty() && folder == lastFolder_) return lastDrive_;
    ReportDrive drive = DescribeDrive(path);
    lastFolder_ = folder;
    for (lastDrive_ = 0; lastDrive_ < report_.drives.size(); ++lastDrive_)
        if (_wcsicmp(report_.drives[lastDrive_].root.c_str(), drive.root.c_str()) == 0) return lastDrive_;
    report_.drives.push_back(std::move(drive));
    return lastDrive_;
}

void ErasureRecorder::RecordFile(const std::wstring& path, std::int64_t size, std::int64_t bytesWritten,
                                 const std::wstring& level, FileResult result, const std::wstring& reason,
                                 const std::wstring& verification) {
    ReportFile file;
    file.path = path;
    file.size = size;
    file.bytesWritten = bytesWritten;
    file.level = level;
    file.result = result;
    file.reason = reason;
    file.verification = verification;
    file.drive = DriveOf(path);
    report_.files.push_back(std::move(file));
}

void ErasureRecorder::AddDriveNote(const std::wstring& path, const std::wstring& note) {
    report_.drives[DriveOf(path)].notes.push_back(note);
}

void ErasureRecorder::End(bool stopped) {
    report_.run.ended = NowIso8601();
    report_.run.elapsedMs = static_cast<std::int64_t>(::GetTickCount64() - startTick_);
    report_.run.stopped = stopped;
}

// --- the HTML form ---

namespace {

const wchar_t* OnOff(bool on) { return on ? L"オン" : L"オフ"; }
const wchar_t* YesNo(bool yes) { return yes ? L"はい" : L"いいえ"; }

std::wstring Number(std::int64_t value) { return value < 0 ? std::wstring() : std::to_wstring(value); }

// Characters that would change how the text around them shows, or not show at all.
bool ShownAsEscape(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// Text made safe for the page: markup characters become entities, and controls (line breaks,
// bidirectional controls) and halves of surrogate pairs on their own show as "\u202E" in a
// span of their own, so the name comes out whole and reads as it is stored.
std::wstring Html(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += c;
            out += text[++i];
        } else if (ShownAsEscape(c) || high || low) {
            const wchar_t* digits = L"0123456789ABCDEF";
            out += L"<span class=\"ctl\">\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0xF];
            out += L"</span>";
        } else if (c == L'&') {
            out += L"&amp;";
        } else if (c == L'<') {
            out += L"&lt;";
        } else if (c == L'>') {
            out += L"&gt;";
        } else if (c == L'"') {
            out += L"&quot;";
        } else if (c == L'\'') {
            out += L"&#39;";
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring Row(const wchar_t* name, const std::wstring& value) {
    return L"<tr><th>" + std::wstring(name) + L"</th><td>" + Html(value) + L"</td></tr>\n";
}

const wchar_t kStyle[] =
    L"@page{size:A4;margin:15mm}\n"
    L"body{font-family:\"Yu Gothic\",\"Meiryo\",\"MS PGothic\",sans-serif;font-size:10pt;color:#000;margin:0 auto;"
    L"max-width:180mm}\n"
    L"h1{font-size:16pt;margin:0 0 4mm}h2{font-size:12pt;margin:6mm 0 2mm}\n"
    L"table{border-collapse:collapse;width:100%}th,td{border:1px solid #666;padding:1mm 2mm;vertical-align:top;"
    L"text-align:left;word-break:break-all;overflow-wrap:anywhere}\n"
    L"table.files{table-layout:fixed}\n"
    L"th{background:#eee;font-weight:bold}table.facts th{width:35%}td.n{text-align:right;white-space:nowrap}\n"
    L"tr{page-break-inside:avoid}thead{display:table-header-group}\n"
    L".stopped{border:2px solid #000;padding:2mm;font-weight:bold;margin:0 0 4mm}\n"
    L".ctl{border:1px solid #999;font-family:monospace;font-size:9pt}\n"
    L".sign{margin-top:12mm;page-break-inside:avoid}.sign td{height:14mm;width:35%}.sign th{width:15%}\n";

}  // namespace

std::wstring ReportHtml(const ErasureReport& report) {
    const ReportRun& run = report.run;
    const ReportSummary summary = Summarize(report);
    std::wstring page = L"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>抹消レポート - " +
                        Html(run.product) + L"</title>\n<style>\n" + kStyle + L"</style>\n</head>\n<body>\n";
    page += L"<h1>抹消レポート</h1>\n";
    if (run.stopped)
        page += L"<p class=\"stopped\">この処理は途中で中止されました。中止の後のファイルは処理されていません。</p>\n";

    page += L"<h2>処理</h2>\n<table class=\"facts\">\n";
    page += Row(L"製品", run.product) + Row(L"バージョン", run.version) + Row(L"エディション", run.edition);
    page += Row(L"コンピュータ名", run.computer) + Row(L"Windowsのユーザー名", run.user);
    page += Row(L"プロファイル", run.profile) + Row(L"Windows", run.windows);
    page += Row(L"開始", run.started) + Row(L"終了", run.ended) + Row(L"モード", run.mode);
    page += Row(L"確認（読み戻し）", OnOff(run.verification)) + Row(L"中止", YesNo(run.stopped));
    page += L"</table>\n";

    page += L"<h2>集計</h2>\n<table class=\"facts\">\n";
    page += Row(L"抹消したファイル", std::to_wstring(summary.erased));
    page += Row(L"抹消できなかったファイル", std::to_wstring(summary.notProcessed));
    page += Row(L"書き込みバイト数",
                std::to_wstring(summary.bytesWritten) + (summary.bytesUnknown ? L"（不明の分を除く）" : L""));
    page += Row(L"所要時間", DurationText(run.elapsedMs));
    page += L"</table>\n";

    page += L"<h2>ドライブ</h2>\n";
    if (report.drives.empty()) {
        page += L"<p>なし</p>\n";
    } else {
        page += L"<table>\n<thead><tr><th>ドライブ</th><th>ファイルシステム</th><th>シリアル番号</th><th>注記</th></tr></thead>\n";
        for (const ReportDrive& drive : report.drives) {
            std::wstring notes;
            for (const std::wstring& note : drive.notes) notes += (notes.empty() ? L"" : L"<br>") + Html(note);
            page += L"<tr><td>" + Html(drive.root) + L"</td><td>" + Html(drive.fileSystem) + L"</td><td>" +
                    Html(drive.serial) + L"</td><td>" + notes + L"</td></tr>\n";
        }
        page += L"</table>\n";
    }

    page += L"<h2>ファイル</h2>\n";
    if (report.files.empty()) {
        page += L"<p>なし</p>\n";
    } else {
        // Widths in percent: number, file, size, bytes written, level, result, reason[, check].
        page += run.verification ? L"<table class=\"files\">\n<colgroup><col style=\"width:6%\"><col style=\"width:24%\">"
                                   L"<col style=\"width:9%\"><col style=\"width:10%\"><col style=\"width:13%\">"
                                   L"<col style=\"width:11%\"><col style=\"width:16%\"><col style=\"width:11%\"></colgroup>\n"
                                 : L"<table class=\"files\">\n<colgroup><col style=\"width:6%\"><col style=\"width:27%\">"
                                   L"<col style=\"width:9%\"><col style=\"width:10%\"><col style=\"width:14%\">"
                                   L"<col style=\"width:13%\"><col style=\"width:21%\"></colgroup>\n";
        page += L"<thead><tr><th>No.</th><th>ファイル</th><th>サイズ</th><th>書き込みバイト数</th><th>レベル</th>"
                L"<th>結果</th><th>理由</th>";
        if (run.verification) page += L"<th>確認結果</th>";
        page += L"</tr></thead>\n";
        int number = 0;
        for (const ReportFile& file : report.files) {
            page += L"<tr><td class=\"n\">" + std::to_wstring(++number) + L"</td><td>" + Html(file.path) +
                    L"</td><td class=\"n\">" + (file.size < 0 ? L"不明" : std::to_wstring(file.size)) +
                    L"</td><td class=\"n\">" + (file.bytesWritten < 0 ? L"不明" : std::to_wstring(file.bytesWritten)) +
                    L"</td><td>" + Html(file.level) + L"</td><td>" + ResultText(file.result) + L"</td><td>" +
                    Html(file.reason) + L"</td>";
            if (run.verification) page += L"<td>" + Html(file.verification) + L"</td>";
            page += L"</tr>\n";
        }
        page += L"</table>\n";
    }

    page += L"<table class=\"sign\"><tr><th>作業者</th><td></td><th>確認者</th><td></td></tr></table>\n";
    page += L"</body>\n</html>\n";
    return page;
}

// --- the CSV form ---

namespace {

// Every field quoted, its quotes doubled; line breaks stay inside the quotes.
std::wstring Field(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') out += L'"';
        out += c;
    }
    return out + L"\"";
}

// A spreadsheet runs a cell that begins with one of these as a formula.
std::wstring NotAFormula(const std::wstring& text) {
    if (!text.empty() && (text[0] == L'=' || text[0] == L'+' || text[0] == L'-' || text[0] == L'@'))
        return L"'" + text;
    return text;
}

std::wstring JoinNotes(const std::vector<std::wstring>& notes) {
    std::wstring text;
    for (const std::wstring& note : notes) text += (text.empty() ? L"" : L"\r\n") + note;
    return text;
}

}  // namespace

std::wstring ReportCsv(const ErasureReport& report) {
    const ReportRun& run = report.run;
    std::wstring runFields;
    for (const std::wstring& value :
         {run.product, run.version, run.edition, NotAFormula(run.computer), NotAFormula(run.user), run.profile,
          run.windows, run.started, run.ended, run.mode, std::wstring(OnOff(run.verification)),
          std::wstring(YesNo(run.stopped))})
        runFields += Field(value) + L",";

    const auto driveFields = [&](const ReportDrive* drive) {
        if (!drive) return std::wstring(L"\"\",\"\",\"\",\"\",");
        return Field(drive->root) + L"," + Field(drive->fileSystem) + L"," + Field(drive->serial) + L"," +
               Field(JoinNotes(drive->notes)) + L",";
    };

    std::wstring text = std::wstring(kReportCsvHeader) + L"\r\n";
    // A run without files: its facts once, the drive and file columns empty.
    if (report.files.empty()) return text + runFields + driveFields(nullptr) + L"\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
    for (const ReportFile& file : report.files) {
        const ReportDrive* drive = file.drive < report.drives.size() ? &report.drives[file.drive] : nullptr;
        text += runFields + driveFields(drive) + Field(file.path) + L"," + Field(Number(file.size)) + L"," +
                Field(Number(file.bytesWritten)) + L"," + Field(file.level) + L"," + Field(ResultText(file.result)) +
                L"," + Field(file.reason) + L"," + Field(file.verification) + L"\r\n";
    }
    return text;
}

bool WriteErasureReport(const std::wstring& path, ReportForm form, const ErasureReport& report) {
    return ReplaceUtf8File(path, form == ReportForm::Html ? ReportHtml(report) : ReportCsv(report));
}
