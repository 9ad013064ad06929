// The settings window created in-process from the template linked into the test program,
// with Options, the DLL flags and the seam's double put back after every test.
#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Options.h"
#include "tests/support/ScriptedPerson.h"

namespace ui_tests {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window from Options as they stand (hidden, as ShowSettings finds it).
    HWND Open();
    // OK or Cancel through the window's own command; the window is gone afterwards.
    void Close(int command);

    bool Checked(int id) const;
    // Those of ids that are checked, in the given order.
    std::vector<int> CheckedOf(std::initializer_list<int> ids) const;
    bool Enabled(int id) const;
    std::string Text(int id) const;
    void Click(int id) const;  // BM_CLICK: checks an automatic button, then notifies

    HWND window = nullptr;
    testing_support::ScriptedPerson person;

private:
    OptionValues savedOptions_;
    int32_t savedLastMelt_ = 0;
    int32_t savedLastComp_ = 0;
    bool savedFlags_[5] = {};
};

// Runs ShowSettings; once its loop runs, action gets the window. Returns ShowSettings' result.
// Hidden by default: mapping and unmapping a window without a window manager costs Wine
// about a second each.
bool RunSettings(const std::function<void(HWND)>& action, int showCommand = SW_HIDE);

// Drops the WM_QUIT a destroyed window left in this thread's queue, so the next message
// loop does not end at once.
void DrainQuit();

}  // namespace ui_tests
