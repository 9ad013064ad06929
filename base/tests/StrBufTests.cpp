#include "base/StrBuf.h"

#include <gtest/gtest.h>

#include <string>

TEST(StrBuf, DefaultHoldsEmptyTextIn260Bytes) {
    StrBuf s;
    EXPECT_EQ(260, s.capacity());
    EXPECT_STREQ("", s.text());
    EXPECT_EQ(0, s.length());
}

TEST(StrBuf, AssignGrowsToExactlyTheNeededSizeAndNeverShrinks) {
    StrBuf s;
    s.assign("short");
    EXPECT_EQ(260, s.capacity());

    const std::string long300(300, 'x');
    s.assign(long300.c_str());
    EXPECT_EQ(301, s.capacity());
    EXPECT_EQ(long300, s.text());

    s.assign("ab");
    EXPECT_EQ(301, s.capacity());
    EXPECT_STREQ("ab", s.text());
}

TEST(StrBuf, AppendKeepsOneSpareByteAndTheOldText) {
    StrBuf s("a");
    EXPECT_EQ(2, s.capacity());
    s.append("b");
    EXPECT_EQ(4, s.capacity());
    EXPECT_STREQ("ab", s.text());
    s.append("c");  // 2 + 1 + 2 = 5 > 4
    EXPECT_EQ(5, s.capacity());
    EXPECT_STREQ("abc", s.text());

    StrBuf roomy;
    roomy.append("x");
    EXPECT_EQ(260, roomy.capacity());
    EXPECT_STREQ("x", roomy.text());
}

TEST(StrBuf, CopiesKeepTheSourceCapacityAssignmentsTheirOwn) {
    StrBuf defaultShort;
    defaultShort.assign("abc");
    const StrBuf copy(defaultShort);
    EXPECT_EQ(260, copy.capacity());
    EXPECT_STREQ("abc", copy.text());

    StrBuf grown;
    grown.assign(std::string(300, 'y').c_str());
    const StrBuf copyOfGrown(grown);
    EXPECT_EQ(301, copyOfGrown.capacity());

    // A copy owns its block.
    defaultShort.text()[0] = 'Z';
    EXPECT_STREQ("abc", copy.text());

    // Assignment is assign: the target keeps its own block when the text fits.
    StrBuf small("ab");
    small = copy;
    EXPECT_EQ(4, small.capacity());
    StrBuf target;
    target = StrBuf("q");
    EXPECT_EQ(260, target.capacity());
    EXPECT_STREQ("q", target.text());
}

TEST(StrBuf, SelfAssignmentAndAppendingOwnTextAreSafe) {
    StrBuf s("abc");
    StrBuf& alias = s;
    s = alias;
    EXPECT_STREQ("abc", s.text());
    s.assign(s.text() + 1);
    EXPECT_STREQ("bc", s.text());
    s.append(s.text());  // grows while reading from the old block
    EXPECT_STREQ("bcbc", s.text());

    StrBuf roomy;
    roomy.assign("hi");
    roomy.append(roomy.text());  // in place
    EXPECT_STREQ("hihi", roomy.text());
}

TEST(StrBuf, EqualsIgnoreCase) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"C:\\Users\\A\\Desktop\\", "c:\\users\\a\\desktop\\", true},
        {"C:\\Desktop", "C:\\Desktop\\", false},
        {"", "", true},
        {"C:\\表\\x", "c:\\表\\X", true},
        {"C:\\表\\x", "C:\\ソ\\x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.equal, StrBuf(c.a).equalsIgnoreCase(StrBuf(c.b))) << c.a << " / " << c.b;
    }
}
