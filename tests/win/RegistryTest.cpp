#include <windows.h>

#include <gtest/gtest.h>

#include "Errors.h"
#include "Platform.h"
#include "Registry.h"

using namespace tarrow;

namespace {

const wchar_t kTestKey[] = L"SOFTWARE\\TarrowRegistryTest";

// Creates the test key with a few values in the given view; removes it afterwards.
class RegistryFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS | kRegistryView64, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        setString(key, L"s255", std::wstring(255, L'a'), REG_SZ);
        setString(key, L"s256", std::wstring(256, L'b'), REG_SZ);
        setString(key, L"expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
        const wchar_t multi[] = L"first\0second\0";
        RegSetValueExW(key, L"multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                       sizeof multi);
        const DWORD number = 7;
        RegSetValueExW(key, L"dword", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                       sizeof number);
        for (const wchar_t* name : {L"1.8", L"1.7", L"11"}) {
            HKEY sub = nullptr;
            RegCreateKeyExW(key, name, 0, nullptr, 0, KEY_ALL_ACCESS | kRegistryView64, nullptr,
                            &sub, nullptr);
            RegCloseKey(sub);
        }
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey); }
    static void setString(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type) {
        RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    static std::wstring messageOf(const RegistryKey& key, const wchar_t* value) {
        try {
            key.readString(value);
        } catch (const KeyException& e) {
            return e.message();
        }
        return L"(no exception)";
    }
    const REGSAM view64 = KEY_READ | kRegistryView64;
};

} // namespace

TEST_F(RegistryFixture, MissingKeyRaisesWithItsPath) {
    try {
        RegistryKey key(L"SOFTWARE\\TarrowRegistryTest\\Missing", view64);
        FAIL() << "no exception";
    } catch (const KeyException& e) {
        EXPECT_EQ(e.keyName(), L"SOFTWARE\\TarrowRegistryTest\\Missing");
        EXPECT_FALSE(e.message().empty());
    }
}

TEST_F(RegistryFixture, StringValuesUpTo255Characters) {
    RegistryKey key(kTestKey, view64);
    EXPECT_EQ(key.readString(L"s255"), std::wstring(255, L'a'));
    EXPECT_EQ(messageOf(key, L"s256"), L"key query failed");
    EXPECT_EQ(messageOf(key, L"absent"), L"key query failed");
}

TEST_F(RegistryFixture, NonStringTypesAndMultiStrings) {
    RegistryKey key(kTestKey, view64);
    EXPECT_EQ(messageOf(key, L"dword"), L"value not a string");
    EXPECT_EQ(key.readString(L"multi"), L"first");
    EXPECT_EQ(key.readString(L"expand"), L"%SystemRoot%\\x");
}

TEST_F(RegistryFixture, SubkeysAndChildKeys) {
    RegistryKey key(kTestKey, view64);
    auto names = key.subkeyNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"1.7", L"1.8", L"11"}));
    RegistryKey child(key, L"1.8", view64);
    EXPECT_EQ(child.path(), std::wstring(kTestKey) + L"\\1.8");
    EXPECT_TRUE(child.subkeyNames().empty());
}

TEST_F(RegistryFixture, ViewsAreSeparate) {
    // The key was written in the 64-bit view only; the launcher's own view is the 32-bit one.
    EXPECT_THROW(RegistryKey(kTestKey, KEY_READ | KEY_WOW64_32KEY), KeyException);
}

TEST_F(RegistryFixture, ClosedKeyRaises) {
    RegistryKey key(kTestKey, view64);
    key.close();
    EXPECT_FALSE(key.isOpen());
    EXPECT_EQ(messageOf(key, L"s255"), L"key not open");
    EXPECT_THROW(key.subkeyNames(), KeyException);
}

TEST(RegistryRoot, PrefixIsComparedExactly) {
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_LOCAL_MACHINE\\SOFTWARE\\x"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_LOCAL_MACHINEX\\Foo"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(parseRegistryRoot(L"HKEY_LOCAL_MACHINE\\Foo"), nullptr);
    EXPECT_EQ(parseRegistryRoot(L"\\hkey_local_machine\\Foo"), nullptr);
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_CURRENT_USER\\x"), HKEY_CURRENT_USER);
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_CURRENT_CONFIG\\x"), HKEY_CURRENT_CONFIG);
    EXPECT_EQ(parseRegistryRoot(L"\\HKEY_DYN_DATA"), HKEY_DYN_DATA);
}
