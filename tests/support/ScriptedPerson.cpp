#include "tests/support/ScriptedPerson.h"

#include <cstring>

#include "base/WideNames.h"

namespace testing_support {

ScriptedPerson::ScriptedPerson() { SetPerson(this); }

ScriptedPerson::~ScriptedPerson() { SetPerson(nullptr); }

int ScriptedPerson::ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) {
    PersonCall call{PersonCall::Message};
    call.owner = owner;
    call.text = text ? text : "";
    call.caption = caption ? caption : "";
    call.flags = flags;
    calls.push_back(call);
    if (!messageAnswers.empty()) {
        int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;
}

int ScriptedPerson::ShowWideMessage(HWND owner, const WCHAR* text, const WCHAR* caption,
                                    UINT flags) {
    const std::wstring wideText = text ? text : L"";
    const std::wstring wideCaption = caption ? caption : L"";
    const int answer = ShowMessage(owner, SpellWithUnderscores(wideText).c_str(),
                                   SpellWithUnderscores(wideCaption).c_str(), flags);
    calls.back().wide = true;
    calls.back().wideText = wideText;
    calls.back().wideCaption = wideCaption;
    return answer;
}

bool ScriptedPerson::BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) {
    PersonCall call{PersonCall::BrowseFolder};
    call.owner = owner;
    call.caption = title ? title : "";
    call.flags = flags;
    calls.push_back(call);
    if (folderAnswers.empty()) return false;
    std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (answer.empty()) return false;
    std::strncpy(path, answer.c_str(), MAX_PATH - 1);
    path[MAX_PATH - 1] = '\0';
    return true;
}

bool ScriptedPerson::ChooseSaveFile(OPENFILENAMEA& dialog) {
    PersonCall call{PersonCall::SaveFile};
    call.owner = dialog.hwndOwner;
    call.caption = dialog.lpstrTitle ? dialog.lpstrTitle : "";
    call.flags = dialog.Flags;
    call.structSize = dialog.lStructSize;
    call.maxFile = dialog.nMaxFile;
    if (dialog.lpstrFilter) {
        // The filter is a list of NUL-terminated texts ended by an empty one.
        for (const char* p = dialog.lpstrFilter; *p; p += std::strlen(p) + 1) {
            call.filter += p;
            call.filter += '|';
        }
    }
    if (dialog.lpstrFile) call.proposedName = dialog.lpstrFile;
    calls.push_back(call);
    if (saveAnswers.empty()) return false;
    std::string answer = saveAnswers.front();
    saveAnswers.pop_front();
    if (answer.empty() || !dialog.lpstrFile || answer.size() >= dialog.nMaxFile) return false;
    std::strcpy(dialog.lpstrFile, answer.c_str());
    return true;
}

void ScriptedPerson::StartExplorer(const char* commandLine) {
    PersonCall call{PersonCall::Explorer};
    call.text = commandLine;
    calls.push_back(call);
}

void ScriptedPerson::OpenDocument(const char* path) {
    PersonCall call{PersonCall::OpenDocument};
    call.text = path;
    calls.push_back(call);
}

void ScriptedPerson::EndProcess(int exitCode) {
    PersonCall call{PersonCall::EndProcess};
    call.exitCode = exitCode;
    calls.push_back(call);
}

std::vector<PersonCall> ScriptedPerson::callsOf(PersonCall::Kind kind) const {
    std::vector<PersonCall> out;
    for (const auto& c : calls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

}  // namespace testing_support
