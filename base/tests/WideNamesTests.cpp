#include "base/WideNames.h"

#include <gtest/gtest.h>

#include <string>

TEST(WideNames, FitIsExactAndTheRestBecomesUnderscores) {
    struct Row {
        const wchar_t* name;
        bool fits;
        const char* spelled;
    };
    // Best fit would give "cafe", "Strase", "\\" and "~" without a word.
    const Row rows[] = {
        {L"plain.txt", true, "plain.txt"},
        {L"\x8868\x793A.txt", true, "\x95\x5C\x8E\xA6.txt"},  // 表示, trail byte 0x5C
        {L"\xFF5E", true, "\x81\x60"},                        // the full-width tilde fits
        {L"", true, ""},
        {L"caf\xE9.txt", false, "caf_.txt"},
        {L"Stra\xDF" L"e", false, "Stra_e"},
        {L"\xA5" L"100", false, "_100"},
        {L"\xD55C\xAD6D\xC5B4.txt", false, "___.txt"},
        {L"\x6CE2\x301C", false, "\x94\x67_"},                // 波〜: the wave dash does not
        {L"emoji\xD83D\xDE00.txt", false, "emoji_.txt"},     // one character, one '_'
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.fits, FitsCodePage(row.name)) << row.spelled;
        EXPECT_EQ(row.spelled, SpellWithUnderscores(row.name));
        if (row.fits) {
            EXPECT_EQ(row.spelled, ToCodePage(row.name));
            EXPECT_EQ(row.name, ToWide(row.spelled));
        }
    }
}

namespace {

// A volume that keeps no 8.3 names: the long path comes back as it was.
DWORD WINAPI NoAliases(const WCHAR* longPath, WCHAR* shortPath, DWORD size) {
    const std::wstring path = longPath;
    if (path.size() >= size) return static_cast<DWORD>(path.size() + 1);
    path.copy(shortPath, path.size());
    shortPath[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
}

// Aliases for every component, as a volume of Windows' own makes them.
DWORD WINAPI Aliases(const WCHAR* longPath, WCHAR* shortPath, DWORD size) {
    std::wstring path = longPath;
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"ALIAS~1";
    if (path.size() >= size) return static_cast<DWORD>(path.size() + 1);
    path.copy(shortPath, path.size());
    shortPath[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
}

DWORD WINAPI Fails(const WCHAR*, WCHAR*, DWORD) { return 0; }

}  // namespace

TEST(WideNames, OnlyTheComponentsThatDoNotFitAreAskedForAnAlias) {
    std::string spelled;
    ASSERT_TRUE(SpellWithShortNames(L"C:\\My Documents\\caf\xE9\\x/\xE9t\xE9.txt", Aliases,
                                    spelled));
    EXPECT_EQ("C:\\My Documents\\ALIAS~1\\x/ALIAS~1", spelled);
    ASSERT_TRUE(SpellWithShortNames(L"\\\\server\\share\\a.txt", Fails, spelled));
    EXPECT_EQ("\\\\server\\share\\a.txt", spelled);

    spelled = "unchanged";
    EXPECT_FALSE(SpellWithShortNames(L"C:\\d\\caf\xE9.txt", NoAliases, spelled));
    EXPECT_FALSE(SpellWithShortNames(L"C:\\d\\caf\xE9.txt", Fails, spelled));
    EXPECT_EQ("unchanged", spelled);
}
