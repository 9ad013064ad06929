// Unarj32j.dll's family: its command runner and the walk of the project's ARJ decoder.
#pragma once
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carries out one command text (arj/unarj.cpp); message receives a short report. Failures
// have already been shown to the user when it returns.
int RunUnarj(const std::string& text, std::string& message);

// ARJ through the project's own decoder (arj/walk.cpp).
void WalkArj(const std::string& archive, EntryTarget& target);

}  // namespace standin
