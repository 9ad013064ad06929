// Stored name bytes decoded by the one rule, and what "fits the code page" means.
#include <windows.h>

#include <gtest/gtest.h>

#include "standins/core/names.h"

using standin::DecodeStoredName;
using standin::NameBytes;

namespace {

TEST(NamesTest, UnmarkedBytesAreUtf8OnlyWhenWellFormedMultibyte) {
    // Shift-JIS, with 0x5C as the trail byte of 表.
    EXPECT_EQ(u8"表示.txt", DecodeStoredName("\x95\x5c\x8e\xa6.txt", NameBytes::unmarked));
    EXPECT_EQ(u8"r\u00E9sum\u00E9.txt", DecodeStoredName(u8"r\u00E9sum\u00E9.txt", NameBytes::unmarked));
    EXPECT_EQ(u8"\uD55C\uAD6D\uC5B4.txt", DecodeStoredName(u8"\uD55C\uAD6D\uC5B4.txt", NameBytes::unmarked));
    EXPECT_EQ(u8"emoji\U0001F600.txt", DecodeStoredName(u8"emoji\U0001F600.txt", NameBytes::unmarked));
    EXPECT_EQ("plain/name.txt", DecodeStoredName("plain/name.txt", NameBytes::unmarked));
    // Half-width katakana ｱｲ (0xB1 0xB2) is not UTF-8 and stays Shift-JIS.
    EXPECT_EQ(u8"ｱｲ.txt", DecodeStoredName("\xb1\xb2.txt", NameBytes::unmarked));
}

TEST(NamesTest, SlashAfterALeadByteIsTheTrailByteLibarchiveTurned) {
    EXPECT_EQ(u8"表示/a.txt", DecodeStoredName("\x95/\x8e\xa6/a.txt", NameBytes::codePage));
}

// The bytes of a name libarchive may have decoded already: those that read cleanly as a
// name stored unmarked are taken as stored.
TEST(NamesTest, OnlyCleanUtf8OrShiftJisReadsAsAnUnmarkedName) {
    EXPECT_TRUE(standin::ReadsAsUnmarkedName("\x95\x5c\x8e\xa6.txt"));
    EXPECT_TRUE(standin::ReadsAsUnmarkedName("\x95/\x8e\xa6/a.txt"));  // 0x5C turned into '/'
    EXPECT_TRUE(standin::ReadsAsUnmarkedName(u8"r\u00E9sum\u00E9.txt"));
    EXPECT_TRUE(standin::ReadsAsUnmarkedName("plain.txt"));
    // "résumé." as Latin-1 codes: 0xE9 0x2E is no Shift-JIS character.
    EXPECT_FALSE(standin::ReadsAsUnmarkedName("r\xe9sum\xe9.txt"));
}

TEST(NamesTest, DecomposedNamesAreComposed) {
    // As macOS stores データ/ガイドブック.txt: every voiced mark a character of its own.
    std::string decomposed = u8"テ\u3099ータ/カ\u3099イト\u3099フ\u3099ック.txt";
    EXPECT_EQ(u8"データ/ガイドブック.txt", DecodeStoredName(decomposed, NameBytes::unmarked));
    EXPECT_EQ(u8"caf\u00E9", DecodeStoredName(u8"cafe\u0301", NameBytes::utf8));
    std::wstring wide = L"cafe\u0301";
    EXPECT_EQ(u8"caf\u00E9", standin::DecodeWideName(wide.data(), wide.size()));
}

TEST(NamesTest, OnlyExactSpellingsFitTheCodePage) {
    std::string ansi;
    EXPECT_TRUE(standin::Utf8FitsCodePage(u8"価格\uFF5E一覧.txt", &ansi));
    EXPECT_EQ("\x89\xbf\x8a\x69\x81\x60\x88\xea\x97\x97.txt", ansi);
    // Code page 932 spells 0x8160 as U+FF5E; the wave dash U+301C only best-fits to it.
    EXPECT_FALSE(standin::Utf8FitsCodePage(u8"波\u301Cダッシュ.txt"));
    // Best fit would give "resume", "Strase" and a 0x5C.
    EXPECT_FALSE(standin::Utf8FitsCodePage(u8"r\u00E9sum\u00E9.txt"));
    EXPECT_FALSE(standin::Utf8FitsCodePage(u8"Stra\u00DFe"));
    EXPECT_FALSE(standin::Utf8FitsCodePage(u8"\u00A5100"));
    EXPECT_FALSE(standin::Utf8FitsCodePage(u8"\uD55C\uAD6D\uC5B4.txt"));
    EXPECT_EQ("caf_.txt", standin::Utf8ToAnsiLossy(u8"caf\u00E9.txt"));
}

TEST(NamesTest, ExtendedPathsAreAbsoluteWithBackslashes) {
    standin::WideText path = standin::ExtendedPath(u8"C:\\out/\uD55C/a.txt");
    EXPECT_STREQ(L"\\\\?\\C:\\out\\\xD55C\\a.txt", path.data());
    path = standin::ExtendedPath("\\\\server\\share\\a");
    EXPECT_STREQ(L"\\\\?\\UNC\\server\\share\\a", path.data());
}

}  // namespace
