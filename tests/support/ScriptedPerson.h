// A person who answers from a script: installed with SetPerson for the lifetime of the
// object, it records every call (texts, captions, flags, owners) and returns the answers
// the test queued. Unscripted questions get the safe answer: IDOK for an OK box, IDNO for
// a Yes/No box, and a cancelled chooser.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "base/Person.h"

namespace testing_support {

struct PersonCall {
    enum Kind { Message, BrowseFolder, SaveFile, Explorer, OpenDocument, EndProcess } kind;
    HWND owner = nullptr;
    std::string text;     // message text; the Explorer command line; the document path
    std::string caption;  // message caption; chooser title
    UINT flags = 0;       // message box flags; browser flags; save dialog Flags
    // Save dialog only: the filter (NULs as '|'), the proposed file name, the structure size
    // and buffer size it was given.
    std::string filter;
    std::string proposedName;
    DWORD structSize = 0;
    DWORD maxFile = 0;
    int exitCode = 0;     // EndProcess
    // A wide message box (ShowWideMessage) as shown; text and caption then hold it in the
    // code page, each character it cannot hold as '_'.
    bool wide = false;
    std::wstring wideText;
    std::wstring wideCaption;
};

class ScriptedPerson : public Person {
public:
    ScriptedPerson();
    ~ScriptedPerson() override;

    // Answers, used in order.
    std::deque<int> messageAnswers;          // e.g. IDYES
    std::deque<std::string> folderAnswers;   // "" means cancel
    std::deque<std::string> saveAnswers;     // full file name; "" means cancel

    std::vector<PersonCall> calls;

    int ShowMessage(HWND owner, const char* text, const char* caption, UINT flags) override;
    // Recorded and answered as a Message.
    int ShowWideMessage(HWND owner, const WCHAR* text, const WCHAR* caption,
                        UINT flags) override;
    bool BrowseForFolder(HWND owner, const char* title, UINT flags, char* path) override;
    bool ChooseSaveFile(OPENFILENAMEA& dialog) override;
    void StartExplorer(const char* commandLine) override;
    void OpenDocument(const char* path) override;
    void EndProcess(int exitCode) override;

    // The calls of one kind, in order.
    std::vector<PersonCall> callsOf(PersonCall::Kind kind) const;
    bool ended() const { return !callsOf(PersonCall::EndProcess).empty(); }
};

}  // namespace testing_support
