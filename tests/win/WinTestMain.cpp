// Test entry: sets the variables the environment tests read before the environment table is
// first taken, then runs every test.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetEnvironmentVariableW(L"KIV_TEST_BASE", L"C:\\Base");
    SetEnvironmentVariableW(L"KIV_TEST_REF", L"%KIV_TEST_BASE%\\sub");
    SetEnvironmentVariableW(L"KIV_TEST_UNICODE", L"J\u00fcrgen \u4e2d");
    SetEnvironmentVariableW(L"KIV_TEST_LONG", std::wstring(3000, L'x').c_str());
    SetEnvironmentVariableW(L"KIV_TEST_LONG_REF", L"%KIV_TEST_LONG%!");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
