#include "base/text.h"

#include <gtest/gtest.h>

#include <cstring>

// Every field keeps its terminator, and what does not fit is cut and reported.
TEST(Text, BoundedCopyAppendFormat) {
    char field[8];
    std::memset(field, 0x7F, sizeof field);
    EXPECT_EQ(CopyText(field, sizeof field, "d:\\ime\\"), 1);
    EXPECT_STREQ(field, "d:\\ime\\");
    EXPECT_EQ(AppendText(field, sizeof field, "x"), 0);
    EXPECT_STREQ(field, "d:\\ime\\");
    EXPECT_EQ(CopyText(field, sizeof field, "0123456789"), 0);
    EXPECT_STREQ(field, "0123456");
    EXPECT_EQ(FormatText(field, sizeof field, "%s\\%d", "ab", 12345), 0);
    EXPECT_STREQ(field, "ab\\1234");
    EXPECT_EQ(FormatText(field, sizeof field, "%sx", "ab"), 1);
    EXPECT_STREQ(field, "abx");

    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendText(unterminated, sizeof unterminated, "e"), 0) << "a full field takes nothing more";
}

TEST(Text, BoundedWideCopyAppend) {
    WCHAR field[6];
    EXPECT_EQ(WideCopy(field, 6, Wide(u"墨川")), 1);
    EXPECT_EQ(WideAppend(field, 6, Wide(u"五笔")), 1);
    EXPECT_EQ(WideLength(field), 4u);
    EXPECT_EQ(WideAppend(field, 6, Wide(u"输入")), 0);
    EXPECT_EQ(WideLength(field), 5u);
    EXPECT_EQ(field[4], WCHAR(u'输'));
    EXPECT_EQ(field[5], 0);
}
