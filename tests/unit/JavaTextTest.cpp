#include <gtest/gtest.h>

#include "JavaText.h"

using namespace tarrow;

TEST(JavaText, ModifiedUtf8EncodesNulAndSupplementaryCharactersAsJniDoes) {
    const std::u16string text = {u'A', u'\0', u'\u00e9', u'\u4e2d', 0xD83D, 0xDE00};
    const std::string bytes = modifiedUtf8FromUtf16(text);
    EXPECT_EQ(bytes, std::string("A\xc0\x80\xc3\xa9\xe4\xb8\xad\xed\xa0\xbd\xed\xb8\x80"));
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    EXPECT_EQ(utf16FromModifiedUtf8(bytes), text);
}

TEST(JavaText, StandardFourByteFormAndBrokenBytes) {
    EXPECT_EQ(utf16FromModifiedUtf8("\xf0\x9f\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(utf16FromModifiedUtf8("a\xff"
                                    "b\xc3"),
              (std::u16string{u'a', 0xFFFD, u'b', 0xFFFD}));
}
