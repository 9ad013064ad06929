// Unlha32.dll's family: its command runner, its readers and the LZH writer.
#pragma once
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carries out one command text (lzh/unlha.cpp); message receives a short report. Failures
// have already been shown to the user when it returns.
int RunUnlha(const std::string& text, std::string& message);

// The readers Unlha32.dll registers (lzh/readers.cpp, alone so no other DLL links them).
bool EnableLzhReaders(struct archive* reader);

// LZH with level-2 headers (lzh/writer.cpp). Each file is packed as asked, or stored
// (-lh0-) when packing would not make it smaller; folders are -lhd- entries. keepExisting:
// entries of an archive already there stay in their places unless an item replaces them
// (LHA's "a" adds to an archive); an archive there that cannot be read is cannotRead,
// naming the archive.
enum class LzhPacking { stored, lh5, lh6, lh7 };
WriteResult WriteLzhArchive(const WriteJob& job, LzhPacking packing, bool keepExisting);
// The same with no progress: false when no archive was written.
bool WriteLzh(const std::string& archive, const std::vector<Item>& items, bool keepExisting,
              LzhPacking packing = LzhPacking::stored);

}  // namespace standin
