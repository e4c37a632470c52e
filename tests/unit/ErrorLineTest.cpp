#include <gtest/gtest.h>

#include "ErrorLine.h"

using namespace tarrow;

TEST(ErrorLine, PrefixColonMessageAndLineFeed) {
    EXPECT_EQ(composeErrorLine(L"Pellinor Error", L"The Pellinor properties file is missing"),
              L"Pellinor Error: The Pellinor properties file is missing\n");
}

TEST(ErrorLine, LongMessagesAreNeverCut) {
    const std::wstring message(5000, L'x');
    const std::wstring line = composeErrorLine(L"P", message + L"END");
    EXPECT_EQ(line.size(), 3u + 5003u + 1u);
    EXPECT_EQ(line.substr(line.size() - 4), L"END\n");
}

TEST(ErrorLine, FileBytesAreUtf8WithCrLf) {
    EXPECT_EQ(errorLineBytes(L"Pellinor-Fehler: a\n\nb\n"), "Pellinor-Fehler: a\r\n\r\nb\r\n");
    EXPECT_EQ(errorLineBytes(L"\u00fc\r\n"), "\xc3\xbc\r\n");
}

TEST(ErrorLine, UnknownExceptionMessageKeepsTheFixedSpelling) {
    EXPECT_EQ(unknownExceptionMessage("std::bad_alloc"),
              L"an unknown exception has occurrred.\nstd::bad_alloc");
    EXPECT_EQ(unknownExceptionMessage("\xe9"), L"an unknown exception has occurrred.\n\u00e9");
}
