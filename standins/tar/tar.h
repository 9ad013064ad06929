// Tar32.dll's family: its command runner, its readers and the tar writer.
#pragma once
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carries out one command text (tar/tar.cpp); message receives a short report. Failures
// have already been shown to the user when it returns.
int RunTar(const std::string& text, std::string& message);

// The readers Tar32.dll registers (tar/readers.cpp).
bool EnableTarReaders(struct archive* reader);
bool EnableLoneFileReaders(struct archive* reader);  // the filters and "raw" only
// Names the 7z filter or method a refusal is about (tar/methods.cpp).
void ExplainTarFailure(Failure& failure);
// Tar32's self-extracting program: what EnableTarReaders reads but xz, which it refuses to
// carry (tar/readers_sfx.cpp).
bool EnableTarSfxReaders(struct archive* reader);

// TAR (tar/writer.cpp), plain, in gzip at level 6 or in bzip2 at level 9.
enum class TarFilter { none, gzip, bzip2 };
WriteResult WriteTarArchive(const WriteJob& job, TarFilter filter);
// The same with no progress: false when no archive was written.
bool WriteTar(const std::string& archive, const std::vector<Item>& items, bool gzip);

}  // namespace standin
