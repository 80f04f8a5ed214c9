// Config.ini, remove.txt and customerase.txt as anyone may leave them: a few hundred
// fixed-seed random files each, read through the real store.

#include <windows.h>

#include <string>
#include <vector>

#include "common/TextCodec.h"
#include "tests/settings/SettingsFixture.h"
#include "tests/support/RandomInput.h"

namespace {

using RandomSettingsInput = SettingsTest;

// A value as someone might type it, and what it reads as when it is a plain decimal number
// (`known` false for the rest: hexadecimal, huge, mixed or raw bytes).
struct TypedValue {
    std::string text;
    bool known = false;
    bool number = false;
    long long value = 0;
};

TypedValue MakeValue(RandomInput& random) {
    TypedValue v;
    switch (random.Between(0, 5)) {
        case 0:
        case 1:
            v.value = random.Between(-2147483648LL, 2147483647LL);
            if (random.Chance(50)) v.value = random.Between(-5, 5);
            v.text = std::to_string(v.value);
            v.known = v.number = true;
            break;
        case 2:
            v.text = std::string(static_cast<std::size_t>(random.Between(1, 12)), static_cast<char>(random.Between('g', 'z')));
            v.known = true;  // not a number: the read default
            break;
        case 3:
            v.text = (random.Chance(50) ? "0x" : "$") + std::to_string(random.Between(0, 99999999));
            break;
        case 4:
            v.text = std::to_string(random.Between(0, 999999)) + std::string(static_cast<std::size_t>(random.Between(1, 30)), '9');
            break;
        default:
            v.text = random.Bytes(static_cast<std::size_t>(random.Between(0, 3000)), true);
            break;
    }
    return v;
}

TEST_F(RandomSettingsInput, ConfigValuesOfAnyShapeReadAsTheirNumberOrTheDefaultAndStayInRange) {
    RandomInput random(20261208);
    for (int round = 0; round < 300; ++round) {
        const TypedValue erase = MakeValue(random), port = MakeValue(random), dropfile = MakeValue(random),
                         cookie = MakeValue(random), sound = MakeValue(random);
        const bool header = random.Chance(90);
        std::string text = header ? "[TIDEMARROW]\r\n" : random.Bytes(20, true) + "\r\n";
        text += "#Erase=" + erase.text + "\r\n#SSTP_Port=" + port.text + "\r\n#Dropfile=" + dropfile.text +
                "\r\n#IE_TOOLS_02=" + cookie.text + "\r\n#SoundFile=" + sound.text + "\r\n";
        const bool damaged = random.Chance(20);
        if (damaged) text = random.Damage(text);
        WriteConfig(text);
        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.LoadSettings();

        const int mode = static_cast<int>(config.CurrentEraseMode());
        EXPECT_TRUE(mode >= 0 && mode <= 3) << round;
        for (EraseLevel level : config.HistoryToolLevels())
            EXPECT_TRUE(static_cast<int>(level) >= 0 && static_cast<int>(level) <= 2) << round;
        EXPECT_LE(EncodeCp932(config.SoundFile()).size(), 2047u) << round;
        if (!header || damaged) continue;  // only the invariants hold for these
        // Out of range is -1 (no choice), not a number the read default.
        if (erase.known) {
            EXPECT_EQ(config.Erase(), !erase.number ? 0 : (erase.value >= 0 && erase.value <= 3 ? erase.value : -1))
                << erase.text;
        }
        if (port.known) {
            EXPECT_EQ(config.SSTPPort(), port.number ? static_cast<std::uint16_t>(port.value & 0xFFFF) : 9801) << port.text;
        }
        if (dropfile.known) {
            EXPECT_EQ(config.Dropfile(), dropfile.number ? dropfile.value != 0 : true) << dropfile.text;
        }
    }
    EXPECT_LT(PeakMemoryBytes(), kPeakMemoryLimit);
}

TEST_F(RandomSettingsInput, ExtensionListsOfAnyShapeLoadAsTheirLinesAndLookUpsStayInRange) {
    RandomInput random(1406);
    MakeDataFolder();
    const char* levels[] = {"[Speed]", "[Normal]", "[High]", "[Fast]", "", "[High"};
    for (int round = 0; round < 250; ++round) {
        std::string removeText, customText;
        for (long long n = random.Between(0, 40); n > 0; --n) {
            removeText += random.Chance(70) ? random.Bytes(static_cast<std::size_t>(random.Between(0, 8)), true) : "TXT";
            removeText += random.Chance(80) ? "\r\n" : (random.Chance(50) ? "\n" : "\r");
            customText += random.Bytes(static_cast<std::size_t>(random.Between(0, 6)), true) + " " +
                          levels[random.Between(0, 5)] + "\r\n";
        }
        if (random.Chance(30)) removeText = random.Damage(removeText);
        if (random.Chance(30)) customText = random.Damage(customText);
        if (random.Chance(10)) removeText = "\xEF\xBB\xBF" + removeText;
        ASSERT_TRUE(WriteBytes(DataPath(L"remove.txt"), removeText));
        ASSERT_TRUE(WriteBytes(DataPath(L"customerase.txt"), customText));
        WriteConfig("[TIDEMARROW]\r\n#Remove enable=1\r\n");

        TConfigWindow config;
        config.SetProfileFolder(profile_);
        config.LoadSettings();
        std::vector<std::wstring> expected;
        ASSERT_TRUE(ReadTextFile(DataPath(L"remove.txt"), expected));
        EXPECT_EQ(config.Entries(ExtensionList::Exclusion), expected) << round;
        EXPECT_LE(config.CustomView().size(), config.Entries(ExtensionList::Custom).size());
        EXPECT_EQ(config.IsExcludedExtension(L"TXT"),
                  std::count(expected.begin(), expected.end(), L"TXT") > 0 ||
                      config.IsExcludedExtension(L"txt"))
            << "the lookup ignores case";
        for (const auto& row : config.CustomView()) {
            const int level = static_cast<int>(config.CustomLevelFor(L"." + row.extension));
            EXPECT_TRUE(level >= 0 && level <= 2) << round;
        }
        const int fallback = static_cast<int>(config.CustomLevelFor(L".no-such-extension"));
        EXPECT_TRUE(fallback >= 0 && fallback <= 2);
    }
    EXPECT_LT(PeakMemoryBytes(), kPeakMemoryLimit);
}

}  // namespace
