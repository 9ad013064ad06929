// The dialog template as compiled, read back from the program's resources (order, which is
// the tab order and decides the radio groups, ids, classes, exact styles, positions and
// texts), and the live window built from it.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ui/resource.h"
#include "ui/tests/DialogFixture.h"

namespace ui_tests {
namespace {

constexpr DWORD V = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPush = V | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kRadio = V | BS_AUTORADIOBUTTON;
constexpr DWORD kCheck = V | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kTitle = V | SS_CENTER | SS_CENTERIMAGE | WS_GROUP;
constexpr DWORD kPathBox = V | ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kFrame = V | BS_GROUPBOX;
constexpr DWORD kAsso = V | BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_GROUP;

struct ExpectedControl {
    int id;
    const char* className;
    DWORD style;
    short x, y, cx, cy;
    const char* text;  // Shift-JIS, as the program sees it
};

const ExpectedControl kControls[] = {
    {1, "Button", kPush, 39, 206, 40, 12, "OK"},
    {2, "Button", kPush, 88, 206, 41, 12, "キャンセル"},
    {1046, "Button", kPush, 137, 206, 39, 12, "ヘルプ"},
    {1047, "Button", kPush, 211, 206, 42, 13, "最新情報"},
    {1048, "Button", kPush, 258, 206, 62, 13, "作者にメールを送る"},
    {-1, "Static", kTitle, 28, 9, 36, 12, "解凍"},
    {1005, "Button", kRadio, 12, 31, 76, 13, "デスクトップ"},
    {1006, "Button", kRadio, 12, 42, 81, 14, "ファイルと同じ場所"},
    {1007, "Button", kRadio, 12, 56, 73, 11, "解凍のたびに指定"},
    {1008, "Button", kRadio, 12, 67, 34, 14, "その他"},
    {1009, "Edit", kPathBox, 49, 68, 59, 14, ""},
    {-1, "Button", kFrame, 8, 21, 107, 66, "解凍先"},
    {1010, "Button", kCheck, 9, 93, 106, 15, "全ファイルが圧縮形式なら解凍"},
    {1011, "Button", kCheck, 9, 109, 104, 12, "フォルダを作ってその中に解凍"},
    {1012, "Button", kCheck, 9, 122, 106, 13, "解凍時に同名のファイルは上書き"},
    {1013, "Button", kCheck, 9, 135, 104, 16, "解凍後フォルダを開く"},
    {-1, "Static", kTitle, 123, 9, 43, 11, "圧縮"},
    {1000, "Button", kRadio, 126, 32, 76, 13, "デスクトップ"},
    {1001, "Button", kRadio, 126, 45, 81, 9, "ファイルと同じ場所"},
    {1002, "Button", kRadio, 126, 55, 73, 11, "圧縮のたびに指定"},
    {1003, "Button", kRadio, 126, 67, 34, 14, "その他"},
    {1004, "Edit", kPathBox, 161, 67, 59, 14, ""},
    {-1, "Button", kFrame, 122, 21, 107, 66, "圧縮先"},
    {1015, "Button", kCheck, 122, 94, 108, 10, "圧縮ファイルの量が多いとき警告"},
    {1025, "Edit", V | ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 138, 107, 19, 12, ""},
    {1026, "msctls_updown32", V | UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_NOTHOUSANDS, 159, 106, 9,
     13, "Spin1"},
    {1020, "Button", kCheck, 122, 123, 109, 9, "圧縮時に同名のファイルは上書き"},
    {1021, "Button", kCheck, 122, 135, 95, 13, "圧縮後フォルダーを開く"},
    {1016, "Button", kRadio | WS_GROUP, 240, 35, 31, 8, "LZH"},
    {1022, "Button", kRadio, 240, 55, 23, 10, "ZIP"},
    {1027, "Button", kRadio, 240, 78, 27, 12, "CAB"},
    {1030, "Button", kRadio, 240, 102, 52, 10, "TAR.GZ (TGZ)"},
    {1032, "Button", kRadio, 240, 115, 54, 11, "BZ2"},
    {-1, "Button", kFrame, 236, 21, 105, 111, "圧縮形式"},
    {1017, "Button", kRadio | WS_GROUP, 250, 43, 27, 10, "LH0"},
    {1018, "Button", kRadio, 276, 43, 27, 10, "LH5"},
    {1019, "Button", kRadio, 303, 43, 27, 10, "LH7"},
    {1023, "Button", V | BS_AUTOCHECKBOX | WS_GROUP, 252, 66, 59, 10, "パスワード付き"},
    {1024, "Edit", WS_CHILD | ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER, 267, 67, 58, 12, ""},
    {1028, "Button", kRadio | WS_GROUP, 251, 88, 31, 12, "LZX21"},
    {1029, "Button", kRadio, 289, 89, 37, 10, "MSZIP"},
    {1031, "Button", kCheck | WS_GROUP, 237, 138, 101, 12, "自己解凍形式に圧縮"},
    {-1, "Static", V | SS_LEFT | WS_GROUP, 8, 162, 35, 14, "関連付け"},
    {1014, "Button", kRadio | BS_PUSHLIKE, 47, 162, 32, 11, "LZH"},
    {-1, "Static", V | SS_LEFT | WS_GROUP, 169, 109, 67, 9, "MB以上は警告"},
    {1033, "Button", kAsso, 79, 162, 32, 11, "ZIP"},
    {1034, "Button", kAsso, 111, 162, 32, 11, "CAB"},
    {1035, "Button", kAsso, 143, 162, 32, 11, "TAR"},
    {1039, "Button", kAsso, 175, 162, 32, 11, "GZIP"},
    {1040, "Button", kAsso, 207, 162, 31, 11, "Z"},
    {1036, "Button", kAsso, 238, 162, 32, 11, "BZ2"},
    {1037, "Button", kAsso, 270, 162, 32, 11, "RAR"},
    {1038, "Button", kAsso, 303, 162, 32, 11, "ARJ"},
    {1041, "Button", kCheck, 54, 177, 122, 14, "関連付けの際にアイコンを変更しない"},
    {1042, "Button", kCheck, 184, 179, 81, 11, "「送る」メニューに登録"},
    {1043, "Button", WS_CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 53, 195, 130, 12,
     "右クリックで圧縮･解凍できるようにする"},
};
constexpr size_t kControlCount = sizeof kControls / sizeof kControls[0];

std::wstring Wide(const char* shiftJis) {
    wchar_t text[512] = L"";
    MultiByteToWideChar(932, 0, shiftJis, -1, text, 512);
    return text;
}

// A walk over a DLGTEMPLATE (the plain form: no DLGTEMPLATEEX signature).
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    WORD word() { return take<WORD>(); }
    DWORD dword() { return take<DWORD>(); }
    short coordinate() { return take<short>(); }
    // A name or an ordinal; ordinals come back as "#n".
    std::wstring text() {
        if (peek() == 0xFFFF) {
            word();
            return L"#" + std::to_wstring(word());
        }
        std::wstring result;
        for (WORD c = word(); c != 0; c = word()) result += static_cast<wchar_t>(c);
        return result;
    }
    void alignDword(const BYTE* base) {
        while ((p_ - base) % 4 != 0) ++p_;
    }
    void skip(size_t bytes) { p_ += bytes; }

private:
    template <typename T>
    T take() {
        T value;
        std::memcpy(&value, p_, sizeof value);
        p_ += sizeof value;
        return value;
    }
    WORD peek() const {
        WORD value;
        std::memcpy(&value, p_, sizeof value);
        return value;
    }
    const BYTE* p_;
};

// The predefined class atoms a template may use instead of a name.
std::wstring ClassName(const std::wstring& raw) {
    if (raw == L"#128") return L"Button";
    if (raw == L"#129") return L"Edit";
    if (raw == L"#130") return L"Static";
    return raw;
}

bool SameClass(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

TEST(DialogTemplate, IsTheJapaneseDialog103WithItsControlsInOrder) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, RT_DIALOG, MAKEINTRESOURCEA(IDD_SETTINGS),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(nullptr, found);
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(nullptr, base);

    TemplateReader read(base);
    EXPECT_EQ(DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), read.dword());
    EXPECT_EQ(0u, read.dword());  // no extended style
    ASSERT_EQ(kControlCount, read.word());
    EXPECT_EQ(0, read.coordinate());
    EXPECT_EQ(0, read.coordinate());
    EXPECT_EQ(347, read.coordinate());
    EXPECT_EQ(233, read.coordinate());
    EXPECT_EQ(L"", read.text());  // no menu
    EXPECT_EQ(L"", read.text());  // no class
    EXPECT_EQ(Wide("Zibrak Version 0.05 設定画面"), read.text());
    EXPECT_EQ(9, read.word());
    EXPECT_EQ(L"ＭＳ Ｐゴシック", read.text());

    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE("control " + std::to_string(expected.id) + " " + expected.text);
        read.alignDword(base);
        EXPECT_EQ(expected.style, read.dword());
        EXPECT_EQ(0u, read.dword());
        EXPECT_EQ(expected.x, read.coordinate());
        EXPECT_EQ(expected.y, read.coordinate());
        EXPECT_EQ(expected.cx, read.coordinate());
        EXPECT_EQ(expected.cy, read.coordinate());
        EXPECT_EQ(static_cast<WORD>(expected.id), read.word());
        const std::wstring className = ClassName(read.text());
        EXPECT_TRUE(SameClass(Wide(expected.className), className));
        EXPECT_EQ(Wide(expected.text), read.text());
        read.skip(read.word());  // creation data
    }
}

using LiveWindow = DialogTest;

// Styles are the template's business (above); the dialog manager moves some of them about
// at run time (WS_BORDER of edit boxes, WS_TABSTOP of checked radios).
TEST_F(LiveWindow, HoldsEveryControlWithItsIdClassAndText) {
    Open();
    // The dialog manager creates the children in template order.
    HWND child = GetWindow(window, GW_CHILD);
    for (const ExpectedControl& expected : kControls) {
        SCOPED_TRACE("control " + std::to_string(expected.id) + " " + expected.text);
        ASSERT_NE(nullptr, child);
        EXPECT_EQ(expected.id, static_cast<short>(GetDlgCtrlID(child)));
        if (expected.id != -1) {
            EXPECT_EQ(child, GetDlgItem(window, expected.id));
        }

        char className[64] = "";
        GetClassNameA(child, className, sizeof className);
        EXPECT_EQ(0, lstrcmpiA(expected.className, className)) << className;
        char text[256] = "";
        GetWindowTextA(child, text, sizeof text);
        // The edit boxes are filled from Options at start; their template text is empty.
        if (lstrcmpiA(expected.className, "Edit") != 0) {
            EXPECT_STREQ(expected.text, text);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child);
}

TEST_F(LiveWindow, RadioGroupsRunFromGroupToGroup) {
    Open();
    // A destination radio unchecks the other three of its side only.
    Click(1006);
    Click(1001);
    Click(1005);
    EXPECT_TRUE(Checked(1005));
    EXPECT_FALSE(Checked(1006));
    EXPECT_TRUE(Checked(1001));
    // Each association button is alone in its group: clicking one leaves the others.
    Click(1033);
    Click(1014);
    EXPECT_TRUE(Checked(1033));
    EXPECT_TRUE(Checked(1014));
    // The method radios are a group apart from the format radios.
    Click(1016);
    Click(1019);
    EXPECT_TRUE(Checked(1016));
    EXPECT_TRUE(Checked(1019));
}

}  // namespace
}  // namespace ui_tests
