// Unrar32.dll's family: its command runner, its readers and the stored entries' CRC.
#pragma once
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carries out one command text (rar/unrar.cpp); message receives a short report. Failures
// have already been shown to the user when it returns.
int RunUnrar(const std::string& text, std::string& message);

// The readers Unrar32.dll registers: RAR 1.5-4.x and RAR 5 (rar/readers.cpp).
bool EnableRarReaders(struct archive* reader);
// A stored RAR entry's CRC, RAR 1.5-4.x or 5 (rar/stored_crc.cpp).
bool RarStoredCrc(const std::string& archive, int64_t from, uint32_t& crc);

}  // namespace standin
