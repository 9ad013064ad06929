// The three exports of one stand-in archiver DLL. The build compiles this file once per DLL:
// STANDIN_DLL names the identity (Unlha, UnZip, Zip, Cab, Unrar, Unarj, Tar), STANDIN_PREFIX
// the export prefix, STANDIN_FAMILY_HEADER the header of its family's runner, and
// STANDIN_NO_VERSION / STANDIN_NO_COMMAND / STANDIN_NO_CHECK leave an
// export out for the test variants.
#include <windows.h>

#include <cstring>
#include <new>

#include "standins/command/command.h"
#include STANDIN_FAMILY_HEADER
#include "standins/core/ui.h"

#if !defined(STANDIN_DLL) || !defined(STANDIN_PREFIX) || !defined(STANDIN_FAMILY_HEADER)
#error "STANDIN_DLL, STANDIN_PREFIX and STANDIN_FAMILY_HEADER must be defined"
#endif

#define STANDIN_JOIN_(a, b) a##b
#define STANDIN_JOIN(a, b) STANDIN_JOIN_(a, b)

namespace {

const standin::Dll kDll = standin::Dll::STANDIN_DLL;

// This DLL's own command runner: naming only its own lets the linker leave the other
// families' readers and writers out.
[[maybe_unused]] int Run(const std::string& text, std::string& message) {
    return standin::STANDIN_JOIN(Run, STANDIN_DLL)(text, message);
}

std::string EntryName(const char* suffix) {
    return std::string(standin::IdentityOf(kDll).exportPrefix) + suffix;
}

// Copies text into the caller's buffer, cut to fit and always terminated.
[[maybe_unused]] void CopyOutput(const std::string& text, LPSTR output, DWORD outputSize) {
    if (!output || outputSize == 0) return;
    size_t n = text.size() < outputSize - 1 ? text.size() : outputSize - 1;
    memcpy(output, text.data(), n);
    output[n] = '\0';
}

}  // namespace

extern "C" {

#ifndef STANDIN_NO_VERSION
__declspec(dllexport) WORD WINAPI STANDIN_JOIN(STANDIN_PREFIX, GetVersion)(void) {
    try {
        standin::AppendJournal(kDll, EntryName("GetVersion"), std::string());
    } catch (...) {
    }
    return standin::IdentityOf(kDll).version;
}
#endif

#ifndef STANDIN_NO_COMMAND
__declspec(dllexport) int WINAPI STANDIN_PREFIX(HWND, LPCSTR commandText, LPSTR output,
                                                DWORD outputSize) {
    // No exception may leave the DLL: the caller is C. Whatever escapes is a lack of memory.
    try {
        std::string text = commandText ? commandText : "";
        standin::AppendJournal(kDll, EntryName(""), text);
        standin::CommandScope scope(kDll);
        if (!scope.entered()) {
            CopyOutput(std::string(), output, outputSize);
            return standin::kErrorAlreadyRunning;
        }
        std::string message;
        int result = Run(text, message);
        CopyOutput(message, output, outputSize);
        return result;
    } catch (...) {
        CopyOutput(std::string(), output, outputSize);
        return standin::kErrorEnoughMemory;
    }
}
#endif

#ifndef STANDIN_NO_CHECK
__declspec(dllexport) BOOL WINAPI STANDIN_JOIN(STANDIN_PREFIX, CheckArchive)(LPCSTR path, int) {
    try {
        std::string text = path ? path : "";
        standin::AppendJournal(kDll, EntryName("CheckArchive"), text);
        return !text.empty() && standin::AcceptsArchive(kDll, text) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
#endif

}  // extern "C"
