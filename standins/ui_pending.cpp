// Stands in for the stand-ins' own windows until standins/ui.cpp arrives: no window at all,
// so that nothing waits for a person. Removed when ui.cpp is merged.
#include <windows.h>

#include "standins/ui.h"

namespace standin {

CommandScope::CommandScope(Dll) : entered_(true) {}
CommandScope::~CommandScope() = default;

void ShowFailure(Dll dll, const std::string& text) {
    OutputDebugStringA((std::string(IdentityOf(dll).fileName) + ": " + text).c_str());
}

Progress::Progress(Dll dll, const std::string& archive) : dll_(dll), archive_(archive) {}
Progress::~Progress() = default;

bool Progress::update(const std::string&, uint64_t, uint64_t) {
    return true;
}

bool AskPassword(Dll, const std::string&, const std::string&, bool, std::string& password) {
    password.clear();
    return false;
}

}  // namespace standin
