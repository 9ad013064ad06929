// The archive format a compression job writes, chosen from the settings, and the names
// that go with it. Pure table lookups, so they stay free of <windows.h>.
#pragma once
#include <cstdint>

// The FormatLabel for CompType and its sub-setting; a CompType outside 1..4 counts as LZH.
const char* ChooseFormatLabel(int32_t compType, int32_t lzhType, int32_t cabType, bool zipCrypt,
                              bool zcrypt32Present);
// The extension of the archive the label writes ("tar.gz" for GZIP_6), without the dot;
// nullptr for a text that is not a label.
const char* ArchiveExtension(const char* label);

// The save dialog offers only LZH and ZIP: CompType 0 gets the LZH pair, every other value
// the ZIP pair. The filter is a list of NUL-ended texts closed by a second NUL.
const char* SaveDialogFilter(int32_t compType);
// The extension of the name the save dialog proposes, with its dot.
const char* SaveDialogExtension(int32_t compType);
