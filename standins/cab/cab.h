// Cab32.dll's family: its command runner, its readers and the cabinet writer.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carries out one command text (cab/cab.cpp); message receives a short report. Failures
// have already been shown to the user when it returns.
int RunCab(const std::string& text, std::string& message);

// The readers Cab32.dll registers (cab/readers.cpp).
bool EnableCabReaders(struct archive* reader);
// The file records' names, marked _A_NAME_IS_UTF or not (cab/stored_names.cpp).
void ListCabStoredNames(const std::string& archive, std::set<std::string>& marked,
                        std::set<std::string>& unmarked);

// One folder of method (cab/writer.cpp); more than 2 GiB of input is refused as tooLarge
// before anything is written.
enum class CabMethod { stored, mszip, lzx21 };
WriteResult WriteCabArchive(const WriteJob& job, CabMethod method);
// A stored folder, with no progress: false when no archive was written.
bool WriteCab(const std::string& archive, const std::vector<Item>& items);

}  // namespace standin
