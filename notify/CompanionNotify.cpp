#include "notify/CompanionNotify.h"

#include "resources/ProductInfo.h"
#include "settings/ConfigWindow.h"

// The backslash sequences are commands of the companion's script notation and go out
// unchanged. The wave dash after "おまかせ" is U+FF5E, which code page 932 writes as 0x8160;
// "…" (U+2026) is written as 0x8163.
std::wstring CompanionScript(CompanionNotice kind) {
    switch (kind) {
        case CompanionNotice::Start:
            return LR"(Script: \h\s5TIDEMARROW32 SEだよ \n見られてはやばいファイルならおまかせ)"
                   L"\uFF5E"
                   LR"(。\u\s0ログアウト時に使用したってなー(作者談)…\e)";
        case CompanionNotice::RunEnd:
            return LR"(Script: \h\s0作業が完了しました。 \n\w9\w9でもHDを破棄する気なら…\n\w9\w9さらにハンマーで粉砕してね。\u\s0…ま、捨てるならそれが確実やな。\e)";
        case CompanionNotice::Version:
            // No version number follows "Version:".
            return std::wstring(LR"(Script: \h\s5TIDEMARROW32 SE\n\w9Version:)") + LR"(\n\w9)" + kProductNotice +
                   LR"(\w9\u\s0作者は激しく疲れとるがな…\e)";
        case CompanionNotice::Settings:
            return LR"(Script: \h\s0設定を変更出来ます。\w9\u\s0訳分からんトコはそのままが推奨や。\e)";
    }
    return {};
}

void NotifyCompanion(TSSTP& sstp, const TConfigWindow* config, CompanionNotice kind) {
    if (!config || !config->UseSSTP() || config->PowerOffAfterRun()) return;
    const std::wstring script = CompanionScript(kind);
    if (script.empty()) return;
    sstp.SendScript(script);
}

void NotifyCompanion(TSSTP& sstp, CompanionNotice kind) { NotifyCompanion(sstp, ConfigWindow(), kind); }
