#include "ui/SettingsDialog.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "archivers/Chain.h"
#include "base/FileList.h"
#include "base/Paths.h"
#include "base/Person.h"
#include "jobs/Jobs.h"
#include "settings/Options.h"
#include "shell/SpecialDirs.h"
#include "ui/WarnSize.h"
#include "ui/resource.h"

HINSTANCE AppInstance = nullptr;

namespace {

// Set only by OK; what ShowSettings reports once the window is gone.
bool accepted = false;

constexpr int32_t kOtherFolder = 3;  // the destination type of the fourth radio: a chosen folder
constexpr int kSideRadioCount = 4;
constexpr int kWarnSizeLimit = 32767;
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;

// The radios of each destination side; the fourth is "other", a folder of one's choice.
const int kMeltDirRadios[] = {IDC_MELT_DESKTOP, IDC_MELT_SAMEPLACE, IDC_MELT_ASK, IDC_MELT_OTHER};
const int kCompDirRadios[] = {IDC_COMP_DESKTOP, IDC_COMP_SAMEPLACE, IDC_COMP_ASK, IDC_COMP_OTHER};
const int kCompTypeRadios[] = {IDC_FORMAT_LZH, IDC_FORMAT_ZIP, IDC_FORMAT_CAB, IDC_FORMAT_TGZ,
                               IDC_FORMAT_BZ2};
const int kLzhTypeRadios[] = {IDC_LZH_LH0, IDC_LZH_LH5, IDC_LZH_LH7};
const int kCabTypeRadios[] = {IDC_CAB_LZX21, IDC_CAB_MSZIP};

// A radio group whose checked index is an Options field.
struct RadioGroup {
    int32_t OptionValues::*field;
    const int* ids;
    int count;
};

template <size_t N>
constexpr RadioGroup Group(int32_t OptionValues::*field, const int (&ids)[N]) {
    return {field, ids, static_cast<int>(N)};
}

const RadioGroup kRadioGroups[] = {
    Group(&OptionValues::MeltDirType, kMeltDirRadios),
    Group(&OptionValues::CompDirType, kCompDirRadios),
    Group(&OptionValues::CompType, kCompTypeRadios),
    Group(&OptionValues::LzhType, kLzhTypeRadios),
    Group(&OptionValues::CabType, kCabTypeRadios),
};

struct CheckBox {
    int id;
    bool OptionValues::*field;
};

const CheckBox kCheckBoxes[] = {
    {IDC_ZIP_CRYPT, &OptionValues::ZipCrypt},
    {IDC_MAKE_SFX, &OptionValues::MakeSFX},
    {IDC_MELT_FOR_ALL_ARC, &OptionValues::MeltForAllArc},
    {IDC_MELT_MAKE_DIR, &OptionValues::MeltMakeDir},
    {IDC_MELT_OVERWRITE, &OptionValues::MeltOverWrite},
    {IDC_COMP_OVERWRITE, &OptionValues::CompOverWrite},
    {IDC_MELT_OPEN_DIR, &OptionValues::MeltOpenDir},
    {IDC_COMP_OPEN_DIR, &OptionValues::CompOpenDir},
    {IDC_COMP_WARN, &OptionValues::CompWarn},
    {IDC_NO_ICON, &OptionValues::NoIcon},
    {IDC_SEND_TO, &OptionValues::SendTo},
};

// The push-like association buttons; the linked flag is the combined extension that
// follows the button (.tgz with GZIP, .taz with Z, .tbz with BZ2).
struct AssociationButton {
    int id;
    bool OptionValues::*flag;
    bool OptionValues::*linked;
};

const AssociationButton kAssociationButtons[] = {
    {IDC_ASSO_LZH, &OptionValues::AssoLzh, nullptr},
    {IDC_ASSO_ZIP, &OptionValues::AssoZip, nullptr},
    {IDC_ASSO_CAB, &OptionValues::AssoCab, nullptr},
    {IDC_ASSO_TAR, &OptionValues::AssoTar, nullptr},
    {IDC_ASSO_GZIP, &OptionValues::AssoGzip, &OptionValues::AssoTgz},
    {IDC_ASSO_Z, &OptionValues::AssoZ, &OptionValues::AssoTaz},
    {IDC_ASSO_BZ2, &OptionValues::AssoBz2, &OptionValues::AssoTbz},
    {IDC_ASSO_RAR, &OptionValues::AssoRar, nullptr},
    {IDC_ASSO_ARJ, &OptionValues::AssoArj, nullptr},
};

// Each format radio is usable only when the DLL that writes that format was loaded.
struct FormatRadio {
    int id;
    const bool* loaded;
};

const FormatRadio kFormatRadios[] = {
    {IDC_FORMAT_LZH, &Unlha32Loaded}, {IDC_FORMAT_ZIP, &Zip32jLoaded},
    {IDC_FORMAT_CAB, &Cab32Loaded},   {IDC_FORMAT_TGZ, &Tar32Loaded},
    {IDC_FORMAT_BZ2, &Tar32Loaded},
};

// One destination side: its radios, its path box and the choice to fall back on when the
// folder browser is cancelled.
struct DestinationSide {
    const int* radios;
    int pathBox;
    int32_t* lastChoice;
    const char* browserTitle;
};

const DestinationSide kMeltSide = {kMeltDirRadios, IDC_MELT_PATH, &LastMeltDirChoice,
                                   "解凍先の指定"};
const DestinationSide kCompSide = {kCompDirRadios, IDC_COMP_PATH, &LastCompDirChoice,
                                   "圧縮先の指定"};

bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

void SetCheck(HWND window, int id, bool checked) {
    CheckDlgButton(window, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableControl(HWND window, int id, bool enabled) {
    EnableWindow(GetDlgItem(window, id), enabled ? TRUE : FALSE);
}

template <size_t N>
void EnableControls(HWND window, const int (&ids)[N], bool enabled) {
    for (int id : ids) EnableControl(window, id, enabled);
}

// Index of the first checked radio among the first count of ids, or -1.
int FirstChecked(HWND window, const int* ids, int count) {
    for (int i = 0; i < count; ++i) {
        if (IsChecked(window, ids[i])) return i;
    }
    return -1;
}

void CheckOnly(HWND window, const int* ids, int count, int32_t index) {
    for (int i = 0; i < count; ++i) SetCheck(window, ids[i], i == index);
}

std::string ControlText(HWND window, int id) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

void InitControls(HWND window, HWND proposedFocus) {
    DragAcceptFiles(window, TRUE);
    for (const RadioGroup& group : kRadioGroups) {
        CheckOnly(window, group.ids, group.count, Options.*group.field);
    }
    UpdateFormatControls(window);
    for (const CheckBox& box : kCheckBoxes) SetCheck(window, box.id, Options.*box.field);

    if (Options.CompWarnSize < 0) Options.CompWarnSize = 0;
    char number[16];
    // user32's formatter: the C library's brings its floating-point code into the program.
    wsprintfA(number, "%d", static_cast<int>(Options.CompWarnSize));
    SetDlgItemTextA(window, IDC_COMP_WARN_SIZE, number);
    SendDlgItemMessageA(window, IDC_COMP_WARN_SPIN, UDM_SETRANGE, 0,
                        MAKELPARAM(kWarnSizeLimit, 0));

    SetDlgItemTextA(window, IDC_MELT_PATH, Options.MeltPath.text());
    SetDlgItemTextA(window, IDC_COMP_PATH, Options.CompPath.text());
    EnableControl(window, IDC_MELT_PATH, Options.MeltDirType == kOtherFolder);
    EnableControl(window, IDC_COMP_PATH, Options.CompDirType == kOtherFolder);

    for (const AssociationButton& button : kAssociationButtons) {
        SetCheck(window, button.id, Options.*button.flag);
    }
    // A disabled radio keeps its check, so a format whose DLL went missing still shows.
    for (const FormatRadio& radio : kFormatRadios) EnableControl(window, radio.id, *radio.loaded);

    SetFocus(proposedFocus);
    accepted = false;
}

// The first three radios of a side confirm their choice at once.
void ConfirmChoice(HWND window, const DestinationSide& side) {
    const int index = FirstChecked(window, side.radios, kOtherFolder);
    if (index >= 0) *side.lastChoice = index;
}

void ChooseCustomFolder(HWND window, const DestinationSide& side) {
    CheckOnly(window, side.radios, kSideRadioCount, kOtherFolder);
    char chosen[MAX_PATH] = "";
    // An item without a file-system path comes back empty and counts as no choice.
    if (CurrentPerson().BrowseForFolder(window, side.browserTitle, kBrowseFlags, chosen) &&
        chosen[0] != '\0') {
        const std::string path = WithTrailingSeparator(chosen);
        EnableControl(window, side.pathBox, true);
        SetDlgItemTextA(window, side.pathBox, path.c_str());
        *side.lastChoice = kOtherFolder;
        return;
    }
    const int32_t last = *side.lastChoice;
    CheckOnly(window, side.radios, kSideRadioCount,
              last >= 0 && last < kOtherFolder ? last : kOtherFolder);
}

void ToggleAssociation(HWND window, const AssociationButton& button) {
    const bool checked = IsChecked(window, button.id);
    if (Options.*button.flag) {
        if (checked) SetCheck(window, button.id, false);
        Options.*button.flag = false;
        if (button.linked) Options.*button.linked = false;
    } else {
        if (!checked) SetCheck(window, button.id, true);
        Options.*button.flag = true;
        if (button.linked && Options.AssoTar) Options.*button.linked = true;
    }
}

std::string ReadmePath(HWND window) {
    char folder[MAX_PATH] = "";
    GetSpecialDir(folder, DIR_MODULE, window);
    return std::string(folder) + "\\readme.txt";
}

void UpdateSendToShortcut(HWND window) {
    char folder[MAX_PATH] = "";
    if (!GetSpecialDir(folder, CSIDL_SENDTO, window)) return;
    if (Options.SendTo) {
        CreateShortcut(ExecutablePath().c_str(), folder, "Zibrak");
    } else {
        DeleteFileA((std::string(folder) + "\\Zibrak.lnk").c_str());
    }
}

void FinishDialog(HWND window, bool ok) {
    if (ok) accepted = true;
    ReadDialogOptions(window);
    DestroyWindow(window);
}

bool OnCommand(HWND window, int id) {
    switch (id) {
    case IDOK:
    case IDCANCEL:
        FinishDialog(window, id == IDOK);
        return true;
    case IDC_COMP_DESKTOP:
    case IDC_COMP_SAMEPLACE:
    case IDC_COMP_ASK:
        ConfirmChoice(window, kCompSide);
        return true;
    case IDC_MELT_DESKTOP:
    case IDC_MELT_SAMEPLACE:
    case IDC_MELT_ASK:
        ConfirmChoice(window, kMeltSide);
        return true;
    case IDC_COMP_OTHER:
        ChooseCustomFolder(window, kCompSide);
        return true;
    case IDC_MELT_OTHER:
        ChooseCustomFolder(window, kMeltSide);
        return true;
    case IDC_FORMAT_LZH:
    case IDC_FORMAT_ZIP:
    case IDC_FORMAT_CAB:
    case IDC_FORMAT_TGZ:
    case IDC_FORMAT_BZ2:
        UpdateFormatControls(window);
        return true;
    case IDC_HELP_BUTTON:
    case IDC_NEWS:
    case IDC_MAIL:
        // No web page or mail address exists for the program; the readme says where news
        // appear and how to reach the author.
        CurrentPerson().OpenDocument(ReadmePath(window).c_str());
        return true;
    default:
        for (const AssociationButton& button : kAssociationButtons) {
            if (button.id != id) continue;
            ToggleAssociation(window, button);
            return true;
        }
        return false;
    }
}

bool OnSysCommand(HWND window, WPARAM command) {
    switch (command) {
    case SC_MAXIMIZE:
        return true;
    case SC_CLOSE:
    case SC_DEFAULT:
        SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return true;
    default:
        return false;
    }
}

void OnDropFiles(HWND window, HDROP drop) {
    SetForegroundWindow(window);
    FileList files;
    files.fillFromDrop(drop);  // releases the drop handle
    ReadDialogOptions(window);
    RunJob(files);  // the window stays open whatever the job did
}

}  // namespace

bool ShowSettings(int showCommand) {
    // The up-down control's class is registered by nothing else in the program.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);

    HWND dialog = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr,
                                     SettingsDlgProc, 0);
    SettingsWindow = dialog;
    if (!dialog) return false;
    ShowWindow(dialog, showCommand);
    UpdateWindow(dialog);

    HACCEL accelerators = LoadAcceleratorsA(AppInstance, MAKEINTRESOURCEA(IDA_SETTINGS));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(dialog, &message)) continue;
        if (accelerators && TranslateAcceleratorA(dialog, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return accepted;
}

INT_PTR CALLBACK SettingsDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitControls(window, reinterpret_cast<HWND>(wParam));
        return TRUE;
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam) ? TRUE : FALSE;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        SettingsWindow = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}

bool ReadDialogOptions(HWND window) {
    // A group with nothing checked leaves its field as it was.
    for (const RadioGroup& group : kRadioGroups) {
        const int index = FirstChecked(window, group.ids, group.count);
        if (index >= 0) Options.*group.field = index;
    }
    for (const CheckBox& box : kCheckBoxes) Options.*box.field = IsChecked(window, box.id);
    Options.CompWarnSize = ParseWarnSize(ControlText(window, IDC_COMP_WARN_SIZE).c_str());
    Options.MeltPath.assign(ControlText(window, IDC_MELT_PATH).c_str());
    Options.CompPath.assign(ControlText(window, IDC_COMP_PATH).c_str());
    UpdateSendToShortcut(window);
    return true;
}

void UpdateFormatControls(HWND window) {
    EnableControls(window, kLzhTypeRadios, false);
    EnableControl(window, IDC_ZIP_CRYPT, false);
    EnableControls(window, kCabTypeRadios, false);
    if (IsChecked(window, IDC_FORMAT_LZH)) {
        if (Unlha32Loaded) EnableControls(window, kLzhTypeRadios, true);
    } else if (IsChecked(window, IDC_FORMAT_ZIP)) {
        // The password option needs Zcrypt32.dll beside Zip32j.dll.
        if (Zip32jLoaded) EnableControl(window, IDC_ZIP_CRYPT, Zcrypt32Present);
    } else if (IsChecked(window, IDC_FORMAT_CAB) && Cab32Loaded) {
        EnableControls(window, kCabTypeRadios, true);
    }
}
