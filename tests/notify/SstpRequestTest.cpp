#include <gtest/gtest.h>

#include <string>

#include "common/TextCodec.h"
#include "notify/CompanionNotify.h"
#include "notify/SSTP.h"
#include "tests/notify/ExpectedScripts.h"

namespace {

struct ScriptCase {
    CompanionNotice kind;
    const char* bytes;
};

const ScriptCase kScripts[] = {
    {CompanionNotice::Start, kStartScriptBytes},
    {CompanionNotice::RunEnd, kRunEndScriptBytes},
    {CompanionNotice::Version, kVersionScriptBytes},
    {CompanionNotice::Settings, kSettingsScriptBytes},
};

}  // namespace

TEST(SstpRequest, SettingsRequestIsFiveLinesEndingWithTheEmptyLineAndSentByTamsel) {
    bool lossy = true;
    const std::string request = EncodeSstpRequest(CompanionScript(CompanionNotice::Settings), L"Tamsel", &lossy);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(request, std::string("SEND SSTP/1.1\r\n") + kSettingsScriptBytes +
                           "\r\n"
                           "Charset: Shift_JIS\r\n"
                           "Sender: Tamsel\r\n"
                           "\r\n");
}

TEST(SstpRequest, SenderHeaderCarriesTheSenderGiven) {
    EXPECT_EQ(EncodeSstpRequest(L"Script: \\e", L"Other"),
              "SEND SSTP/1.1\r\nScript: \\e\r\nCharset: Shift_JIS\r\nSender: Other\r\n\r\n");
}

TEST(SstpRequest, EveryScriptEncodesByteForByteWithoutLoss) {
    for (const ScriptCase& script : kScripts) {
        SCOPED_TRACE(static_cast<int>(script.kind));
        bool lossy = true;
        EXPECT_EQ(EncodeCp932(CompanionScript(script.kind), &lossy), script.bytes);
        EXPECT_FALSE(lossy);
    }
}

TEST(SstpRequest, StartScriptCarriesTheWaveDashAndEllipsisCodes) {
    const std::string bytes = EncodeCp932(CompanionScript(CompanionNotice::Start));
    // "おまかせ～。" and "(作者談)…\e" as code page 932 writes them.
    EXPECT_NE(bytes.find("\202\250\202\334\202\251\202\271\x81\x60\x81\x42"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "\x81\x63\\e");
}

TEST(SstpRequest, VersionScriptNamesNoVersionNumber) {
    const std::wstring script = CompanionScript(CompanionNotice::Version);
    EXPECT_EQ(script.find(L"Version:\\n\\w9"), script.find(L"Version:"));
    EXPECT_EQ(script.find(L"2.01"), std::wstring::npos);
}

TEST(SstpRequest, KindOutsideTheFourHasNoScript) {
    EXPECT_TRUE(CompanionScript(static_cast<CompanionNotice>(4)).empty());
    EXPECT_TRUE(CompanionScript(static_cast<CompanionNotice>(-1)).empty());
}
