// The stand-ins' own windows, shown for real and answered by the window watcher as a
// person would answer them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "standins/core/names.h"
#include "standins/core/ui.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowWatcher.h"

using standin::AskPassword;
using standin::CommandScope;
using standin::Dll;
using standin::Progress;
using testing_support::FindShownWindow;
using testing_support::kMessageBoxTextId;
using testing_support::SeenControl;
using testing_support::SeenWindow;
using testing_support::StandinDir;
using testing_support::TempDir;
using testing_support::WindowStep;
using testing_support::WindowWatcher;
using testing_support::WriteTextFile;

namespace {

const char kProgressCaption[] = "処理中";
const char kPasswordCaption[] = "パスワードの入力";

// A dialog of this process: another test, run beside this one, may show the same caption.
WindowStep Ours(const std::string& caption, std::vector<std::string> typed, int button) {
    return {"#32770", caption, std::move(typed), button, GetCurrentProcessId()};
}

// A shown top-level window of this thread, as Zibrak's settings window would be; it counts
// the input and the other messages that reach it.
class ZibrakWindow {
public:
    ZibrakWindow() {
        WNDCLASSA type{};
        type.lpfnWndProc = Count;
        type.hInstance = GetModuleHandleA(nullptr);
        type.lpszClassName = "ZibrakTestWindow";
        RegisterClassA(&type);  // fails harmlessly when already registered
        window_ = CreateWindowExA(0, type.lpszClassName, "zibrak", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 200, 100, nullptr, nullptr, type.hInstance, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ZibrakWindow() { DestroyWindow(window_); }
    ZibrakWindow(const ZibrakWindow&) = delete;
    ZibrakWindow& operator=(const ZibrakWindow&) = delete;
    HWND get() const { return window_; }
    int inputs = 0;
    int others = 0;  // WM_APP

private:
    static LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ZibrakWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && (message == WM_KEYDOWN || message == WM_CHAR || message == WM_LBUTTONDOWN))
            ++self->inputs;
        if (self && message == WM_APP) ++self->others;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_;
};

// Calls progress.update about every 10 ms until it returns false or until ms have passed
// (and, when given, the watcher is finished); false when it was cancelled.
bool Work(Progress& progress, DWORD ms, const WindowWatcher* watcher = nullptr) {
    DWORD start = GetTickCount();
    uint64_t done = 0;
    while (GetTickCount() - start < ms || (watcher && !watcher->finished())) {
        if (GetTickCount() - start > 20000) return true;
        if (!progress.update("docs\\memo.txt", done, 1000000)) return false;
        done += 1000;
        Sleep(10);
    }
    return true;
}

TEST(StandinWindows, FailureBoxIsCaptionedWithTheDllAndSaysWhatFailed) {
    const std::string text = "書庫 C:\\in\\a.lzh の docs\\表.txt を展開できません。";
    for (Dll dll : {Dll::Unlha, Dll::Tar}) {
        const char* caption = standin::IdentityOf(dll).fileName;
        WindowWatcher watcher({Ours(caption, {}, IDOK)});
        // A name beyond the code page shows as it is: the box is wide.
        const std::string shown = standin::AnsiToUtf8(text) + u8" 한국어.txt";
        standin::ShowFailure(dll, shown);
        ASSERT_TRUE(watcher.wait()) << caption;
        const SeenWindow& box = watcher.visits()[0].before;
        ASSERT_NE(nullptr, box.control(kMessageBoxTextId));
        EXPECT_EQ(shown, box.control(kMessageBoxTextId)->utf8Text) << caption;
        EXPECT_FALSE(box.topmost());
        EXPECT_FALSE(watcher.visits()[0].stayed);
        // OK is its only button.
        EXPECT_EQ(1u, box.ofClass("Button").size());
    }
}

TEST(StandinWindows, ProgressStaysHiddenForAShortJob) {
    {
        Progress progress(Dll::Unlha, "C:\\in\\quick.lzh");
        EXPECT_TRUE(Work(progress, 300));
        EXPECT_EQ(nullptr, FindShownWindow("#32770", kProgressCaption, GetCurrentProcessId()));
    }
    EXPECT_EQ(nullptr, FindShownWindow("#32770", kProgressCaption, GetCurrentProcessId()));
}

TEST(StandinWindows, ProgressShowsTheArchiveTheEntryAndABarOnceTheJobTakesAWhile) {
    HWND shown = nullptr;
    {
        WindowWatcher watcher({Ours(kProgressCaption, {}, 0)});
        DWORD start = GetTickCount();
        Progress progress(Dll::Unlha, "C:\\in\\slow.lzh");
        ASSERT_TRUE(Work(progress, 0, &watcher));
        DWORD seenAfter = GetTickCount() - start;
        ASSERT_TRUE(watcher.wait());
        EXPECT_GE(seenAfter, 450u);
        const SeenWindow& window = watcher.visits()[0].before;
        shown = window.handle;
        EXPECT_FALSE(window.topmost());
        EXPECT_EQ(1u, window.ofClass("msctls_progress32").size());
        const SeenControl* cancel = window.control(IDCANCEL);
        ASSERT_NE(nullptr, cancel);
        EXPECT_EQ("Button", cancel->className);
        EXPECT_EQ("キャンセル", cancel->text);
        std::string texts = window.allTexts();
        EXPECT_NE(std::string::npos, texts.find("C:\\in\\slow.lzh")) << texts;
        EXPECT_NE(std::string::npos, texts.find("docs\\memo.txt")) << texts;
        EXPECT_FALSE(progress.cancelled());
    }
    EXPECT_FALSE(IsWindow(shown));  // gone with the object
}

TEST(StandinWindows, CancelStopsTheJobFromTheButtonEscapeOrTheCloseBox) {
    enum How { Button, Escape, CloseBox };
    for (How how : {Button, Escape, CloseBox}) {
        WindowWatcher watcher({Ours(kProgressCaption, {}, how == Button ? IDCANCEL : 0)});
        Progress progress(Dll::Unlha, "C:\\in\\long.lzh");
        // The button is pressed while the job runs; the keys are sent once it was seen.
        bool stopped = !Work(progress, 0, &watcher);
        ASSERT_TRUE(watcher.wait()) << how;
        HWND window = watcher.visits()[0].before.handle;
        if (how == Escape) {
            // Keys go to the focused control; the dialog's own loop turns Esc into Cancel.
            HWND focus = GetFocus();
            PostMessageA(focus ? focus : window, WM_KEYDOWN, VK_ESCAPE, 1);
        } else if (how == CloseBox) {
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        if (how != Button) {
            EXPECT_FALSE(stopped) << how;
            stopped = !Work(progress, 2000);
        }
        EXPECT_TRUE(stopped) << how;
        EXPECT_TRUE(progress.cancelled()) << how;
        EXPECT_FALSE(progress.update("next.txt", 0, 0)) << how;  // and it stays cancelled
    }
}

TEST(StandinWindows, ProgressOfACommandKeepsInputFromTheDisabledWindowsAndHandsBackActivation) {
    ZibrakWindow zibrak;
    SetForegroundWindow(zibrak.get());
    SetActiveWindow(zibrak.get());
    ASSERT_EQ(zibrak.get(), GetActiveWindow());
    {
        CommandScope command(Dll::Unlha);
        ASSERT_TRUE(command.entered());
        WindowWatcher watcher({Ours(kProgressCaption, {}, 0)});
        Progress progress(Dll::Unlha, "C:\\in\\long.lzh");
        ASSERT_TRUE(Work(progress, 0, &watcher));
        ASSERT_TRUE(watcher.wait());

        // A click or a key queued for the disabled window is dropped; other messages pass.
        PostMessageA(zibrak.get(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(zibrak.get(), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageA(zibrak.get(), WM_CHAR, 'a', 1);
        PostMessageA(zibrak.get(), WM_APP, 0, 0);
        EXPECT_TRUE(Work(progress, 300));
        EXPECT_EQ(0, zibrak.inputs);
        EXPECT_EQ(1, zibrak.others);

        // Asked to quit meanwhile: the job stops, and the quit stays for the caller's loop.
        PostQuitMessage(7);
        EXPECT_FALSE(Work(progress, 2000));
        MSG quit;
        ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(7u, quit.wParam);
    }
    EXPECT_TRUE(IsWindowEnabled(zibrak.get()));
    // Unless a program beside this test took the foreground meanwhile.
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    if (!foreground || process == GetCurrentProcessId()) {
        EXPECT_EQ(zibrak.get(), GetActiveWindow());
    }
}

TEST(StandinWindows, ACommandDisablesTheThreadsOtherWindowsAndGivesThemBack) {
    ZibrakWindow zibrak;
    ZibrakWindow alreadyDisabled;
    EnableWindow(alreadyDisabled.get(), FALSE);
    {
        CommandScope command(Dll::Unlha);
        ASSERT_TRUE(command.entered());
        EXPECT_FALSE(IsWindowEnabled(zibrak.get()));

        // A second command of the same DLL is refused, from this thread or another, and
        // the refusal gives nothing back.
        {
            CommandScope again(Dll::Unlha);
            EXPECT_FALSE(again.entered());
        }
        EXPECT_FALSE(IsWindowEnabled(zibrak.get()));
        bool otherThread = true;
        std::thread([&] { otherThread = CommandScope(Dll::Unlha).entered(); }).join();
        EXPECT_FALSE(otherThread);

        // Another DLL runs its own command; everything is disabled already.
        {
            CommandScope other(Dll::UnZip);
            EXPECT_TRUE(other.entered());
        }
        EXPECT_FALSE(IsWindowEnabled(zibrak.get()));
    }
    EXPECT_TRUE(IsWindowEnabled(zibrak.get()));
    EXPECT_FALSE(IsWindowEnabled(alreadyDisabled.get()));  // not ours to enable
    CommandScope next(Dll::Unlha);
    EXPECT_TRUE(next.entered());
}

// Through the real DLL: while one command packs a big file, the caller's window is disabled
// and a command from another thread is refused with the already-running code.
TEST(StandinWindows, TheDllRefusesASecondCommandWhileOneRuns) {
    using CommandFn = int(WINAPI*)(HWND, LPCSTR, LPSTR, DWORD);
    HMODULE dll = LoadLibraryA((StandinDir() + "\\Zip32j.dll").c_str());
    ASSERT_NE(nullptr, dll);
    auto command = reinterpret_cast<CommandFn>(reinterpret_cast<void*>(GetProcAddress(dll, "Zip")));
    ASSERT_NE(nullptr, command);

    TempDir dir;
    std::string data(24 << 20, '\0');
    uint32_t seed = 12345;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    ASSERT_TRUE(WriteTextFile(dir / "big.bin", data));

    ZibrakWindow zibrak;
    std::atomic<bool> finished{false};
    int refused = -1;
    bool refusedWhileRunning = false;
    std::thread second([&] {
        while (!finished && IsWindowEnabled(zibrak.get())) Sleep(0);
        if (finished) return;
        refused = command(nullptr, "-r \"nothing.zip\" \"none.txt\"", nullptr, 0);
        refusedWhileRunning = !IsWindowEnabled(zibrak.get());
    });
    std::string text = "-r -S \"" + dir / "big.zip" + "\" \"" + dir.path() + "\\\" \"big.bin\"";
    int first = command(nullptr, text.c_str(), nullptr, 0);
    finished = true;
    second.join();

    EXPECT_EQ(0, first);
    EXPECT_TRUE(IsWindowEnabled(zibrak.get()));
    ASSERT_TRUE(refusedWhileRunning) << "the first command ended before the second one";
    EXPECT_EQ(standin::kErrorAlreadyRunning, refused);
    // Once the first is over, commands run again (this one fails on its own terms, and says
    // so in a box).
    WindowWatcher box({{"#32770", "Zip32j.dll", {}, IDOK, GetCurrentProcessId()}});
    EXPECT_NE(standin::kErrorAlreadyRunning,
              command(nullptr, "-r \"nothing.zip\" \"none.txt\"", nullptr, 0));
    EXPECT_TRUE(box.wait());
    FreeLibrary(dll);
}

TEST(StandinWindows, PasswordDialogAsksAgainUntilBothFieldsMatch) {
    WindowWatcher watcher({Ours(kPasswordCaption, {"ひみつ", "ひみた"}, IDOK),
                           Ours(kPasswordCaption, {"ひみつ", "ひみつ"}, IDOK)});
    std::string password = "stale";
    EXPECT_TRUE(AskPassword(Dll::UnZip, "C:\\in\\secret.zip", "docs\\memo.txt", true, password));
    ASSERT_TRUE(watcher.wait());
    EXPECT_EQ("ひみつ", password);

    const SeenWindow& first = watcher.visits()[0].before;
    EXPECT_FALSE(first.topmost());
    std::vector<SeenControl> fields = first.ofClass("Edit");
    ASSERT_EQ(2u, fields.size());
    for (const SeenControl& field : fields) {
        EXPECT_TRUE(field.directChild);
        EXPECT_TRUE(field.style & ES_PASSWORD);
    }
    ASSERT_NE(nullptr, first.control(IDOK));
    EXPECT_EQ("Button", first.control(IDOK)->className);
    std::string texts = first.allTexts();
    EXPECT_NE(std::string::npos, texts.find("C:\\in\\secret.zip")) << texts;
    EXPECT_NE(std::string::npos, texts.find("docs\\memo.txt")) << texts;

    // The mismatch kept the dialog, emptied both fields and said why.
    const testing_support::WindowVisit& mismatch = watcher.visits()[0];
    ASSERT_TRUE(mismatch.stayed);
    for (const SeenControl& field : mismatch.after.ofClass("Edit")) EXPECT_EQ("", field.text);
    EXPECT_NE(std::string::npos, mismatch.after.allTexts().find("一致しません"));
    EXPECT_FALSE(watcher.visits()[1].stayed);
}

TEST(StandinWindows, PasswordDialogWithoutConfirmationHasOneFieldAndCancelGivesNothing) {
    {
        // Two hundred double-byte characters: four hundred bytes come back whole.
        std::string typed;
        for (int i = 0; i < 200; ++i) typed += "ひ";
        WindowWatcher watcher({Ours(kPasswordCaption, {typed}, IDOK)});
        std::string password;
        EXPECT_TRUE(AskPassword(Dll::UnZip, "C:\\in\\a.zip", "", false, password));
        ASSERT_TRUE(watcher.wait());
        EXPECT_EQ(typed, password);
        EXPECT_EQ(1u, watcher.visits()[0].before.ofClass("Edit").size());
    }
    {
        WindowWatcher watcher({Ours(kPasswordCaption, {"abc", "abc"}, IDCANCEL)});
        std::string password = "stale";
        EXPECT_FALSE(AskPassword(Dll::UnZip, "C:\\in\\a.zip", "x.txt", true, password));
        ASSERT_TRUE(watcher.wait());
        EXPECT_EQ("", password);
    }
}

TEST(StandinWindows, OverwriteQuestionNamesTheFileAndEachButtonGivesItsAnswer) {
    const char kOverwriteCaption[] = "上書きの確認";
    const struct {
        int button;
        standin::OverwriteAnswer answer;
    } rows[] = {
        {IDOK, standin::OverwriteAnswer::overwrite},
        {standin::kSkipButton, standin::OverwriteAnswer::skip},
        {standin::kOverwriteAllButton, standin::OverwriteAnswer::overwriteAll},
        {standin::kSkipAllButton, standin::OverwriteAnswer::skipAll},
        {IDCANCEL, standin::OverwriteAnswer::cancel},
    };
    for (const auto& row : rows) {
        WindowWatcher watcher({Ours(kOverwriteCaption, {}, row.button)});
        const std::string entry = u8"docs/한국어.txt";
        EXPECT_EQ(row.answer, standin::AskOverwrite(Dll::Tar, "C:\\in\\a.tar", entry)) << row.button;
        ASSERT_TRUE(watcher.wait());
        const SeenWindow& dialog = watcher.visits()[0].before;
        EXPECT_FALSE(dialog.topmost());
        EXPECT_EQ(5u, dialog.ofClass("Button").size());
        std::string texts;
        for (const SeenControl& c : dialog.controls) texts += c.utf8Text + "|";
        EXPECT_NE(std::string::npos, texts.find(entry)) << texts;
        EXPECT_NE(std::string::npos, texts.find("C:\\in\\a.tar")) << texts;
        for (const char* label : {u8"上書き", u8"スキップ", u8"すべて上書き", u8"すべてスキップ"})
            EXPECT_NE(std::string::npos, texts.find(std::string("|") + label + "|")) << label;
    }
}

}  // namespace
