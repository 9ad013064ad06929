// The compression road of a job: every file of the list packed into one new archive.
#pragma once
#include <cstdint>
#include <string>

#include "base/FileList.h"
#include "base/StrBuf.h"

// Packs files (at least one) with the format the settings choose. False only when no
// archiver offers that format; a cancelled save dialog ends the process.
bool RunCompression(const FileList& files, const StrBuf& desktop);

// Adds the size of every file below directory, at any depth, to total. Counted in 64 bits:
// a drop of 2 GiB or more is an ordinary case.
void SumDirSize(const std::string& directory, int64_t& total);
// The bytes of the list's files and of everything below its folders; missing entries add 0.
int64_t SumListSize(const FileList& files);
