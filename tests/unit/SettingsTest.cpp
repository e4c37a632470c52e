#include <gtest/gtest.h>

#include "Settings.h"

using namespace tarrow;

namespace {

PropertySet complete() {
    PropertySet p;
    p.set(L"kiv.nl.java.launcher.main.class", L"com.example.Main");
    p.set(L"kiv.class.path", L"lib\\app.jar");
    p.set(L"kiv.nl.valid.vm.list", L"ALL");
    return p;
}

} // namespace

TEST(Settings, DefaultsApplyOnlyToMissingKeys) {
    PropertySet p;
    EXPECT_EQ(settings::applicationName(p), L"Pellinor");
    EXPECT_EQ(settings::maxHeapSize(p), L"0");
    EXPECT_EQ(settings::launcherPlatform(p), L"1");
    p.set(L"kiv.application.name", L"");
    EXPECT_EQ(settings::applicationName(p), L"");
}

TEST(Settings, ConsoleFlagAcceptsThreeWordsInAnyCase) {
    EXPECT_TRUE(consoleFlag(L"YeS"));
    EXPECT_TRUE(consoleFlag(L"ON"));
    EXPECT_TRUE(consoleFlag(L"True"));
    EXPECT_FALSE(consoleFlag(L"1"));
    EXPECT_FALSE(consoleFlag(L"y"));
    EXPECT_FALSE(consoleFlag(L" yes"));
}

TEST(Settings, SilentOnlyForTheExactWord) {
    PropertySet p;
    p.set(L"kiv.installer.windows.ui.default", L"silent");
    EXPECT_FALSE(settings::silentByDefault(p));
    p.set(L"kiv.installer.windows.ui.default", L"SILENT");
    EXPECT_TRUE(settings::silentByDefault(p));
}

TEST(Settings, MoreVmsAreSearchedUnlessSwitchedOff) {
    PropertySet p;
    EXPECT_TRUE(settings::searchMoreVms(p));
    const struct {
        const wchar_t* value;
        bool searched;
    } cases[] = {{L"false", false}, {L"OFF", false}, {L"No", false},
                 {L"0", false},     {L"true", true}, {L"", true}};
    for (const auto& c : cases) {
        p.set(L"kiv.nl.search.more.vms", c.value);
        EXPECT_EQ(settings::searchMoreVms(p), c.searched) << std::wstring(c.value).size();
    }
}

TEST(Settings, ServiceStopTimeoutIsWholeSecondsElseThirty) {
    PropertySet p;
    EXPECT_EQ(settings::serviceStopTimeoutSeconds(p), 30u);
    const struct {
        const wchar_t* value;
        unsigned long seconds;
    } cases[] = {{L"5", 5},    {L" 120 ", 120}, {L"0", 0}, {L"-1", 30},
                 {L"1.5", 30}, {L"ten", 30},    {L"", 30}, {L"99999999999", 30}};
    for (const auto& c : cases) {
        p.set(L"kiv.nl.service.stop.timeout", c.value);
        EXPECT_EQ(settings::serviceStopTimeoutSeconds(p), c.seconds) << c.seconds;
    }
}

TEST(Settings, VerifyTimeoutIsWholePositiveSecondsElseFive) {
    PropertySet p;
    EXPECT_EQ(settings::verifyTimeoutSeconds(p), 5u);
    const struct {
        const wchar_t* value;
        unsigned long seconds;
    } cases[] = {{L"1", 1},           {L"4", 4},   {L"6", 6},       {L" 30 ", 30},
                 {L"999999", 999999}, {L"0", 5},   {L"1000000", 5}, {L"-1", 5},
                 {L"2.5", 5},         {L"ten", 5}, {L"", 5},        {L"3s", 5}};
    for (const auto& c : cases) {
        p.set(L"kiv.nl.verify.timeout", c.value);
        EXPECT_EQ(settings::verifyTimeoutSeconds(p), c.seconds) << c.value;
    }
}

TEST(Settings, OnlyTheFirstClassPathMarkerIsReplaced) {
    PropertySet p;
    p.set(L"kiv.class.path", L"a.jar;$ENV_CLASSPATH$;$ENV_CLASSPATH$");
    EXPECT_EQ(settings::classPath(p, L"C:\\x.jar"), L"a.jar;C:\\x.jar;$ENV_CLASSPATH$");
}

TEST(Settings, CompletenessNeedsMainClassAVmKeyAndAClassPath) {
    EXPECT_TRUE(settings::areComplete(complete(), L""));

    PropertySet noMain = complete();
    noMain.set(L"kiv.nl.java.launcher.main.class", L"");
    EXPECT_FALSE(settings::areComplete(noMain, L""));

    PropertySet noVmKey = complete();
    noVmKey.set(L"kiv.nl.valid.vm.list", L"");
    EXPECT_FALSE(settings::areComplete(noVmKey, L""));
    noVmKey.set(L"kiv.nl.current.vm", L"C:\\j\\bin\\java.exe");
    EXPECT_TRUE(settings::areComplete(noVmKey, L""));

    PropertySet onlyMarker = complete();
    onlyMarker.set(L"kiv.class.path", L"$ENV_CLASSPATH$");
    EXPECT_FALSE(settings::areComplete(onlyMarker, L""));
    EXPECT_TRUE(settings::areComplete(onlyMarker, L"C:\\lib.jar"));
}

TEST(Settings, VersionOptionsInKeyOrderWithTheirPatterns) {
    PropertySet p = complete();
    p.set(L"kiv.nl.java.option.additional", L"-Dall=1");
    p.set(L"kiv.nl.java.option.additional.for.9+", L"--add-opens=a/b=ALL-UNNAMED");
    p.set(L"kiv.nl.java.option.additional.for.17+", L"--enable-native-access=ALL-UNNAMED");
    p.set(L"kiv.nl.java.option.additional.for.", L"-Dempty");
    p.set(L"kiv.nl.java.option.additional.fo", L"-Dnot");
    p.set(L"kiv.nl.java.option.additional.forx", L"-Dnot");
    const auto found = settings::versionOptions(p);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].pattern, L"");
    EXPECT_EQ(found[1].key, L"kiv.nl.java.option.additional.for.17+");
    EXPECT_EQ(found[1].pattern, L"17+");
    EXPECT_EQ(found[1].options, L"--enable-native-access=ALL-UNNAMED");
    EXPECT_EQ(found[2].pattern, L"9+");
    EXPECT_TRUE(settings::versionOptions(complete()).empty());
}
