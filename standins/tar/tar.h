// Tar32.dll's family: its command runner, its readers and the tar writer.
#pragma once
#include <set>
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
// The names the archive's headers hold, each as stored: from a pax path record (UTF-8) in
// marked, from a ustar or GNU header (bytes) in unmarked (tar/stored_names.cpp).
void ListTarStoredNames(const std::string& archive, std::set<std::string>& marked,
                        std::set<std::string>& unmarked);
// The same, uncompressed by the filters lone registers (with the "raw" format).
void ListTarNamesThrough(EnableReaders lone, const std::string& archive,
                         std::set<std::string>& marked, std::set<std::string>& unmarked);
// Names the 7z filter or method a refusal is about (tar/methods.cpp).
void ExplainTarFailure(Failure& failure);
// Tar32's self-extracting program: what EnableTarReaders reads but xz, which it refuses to
// carry (tar/readers_sfx.cpp).
bool EnableTarSfxReaders(struct archive* reader);
// ListTarStoredNames with the program's filters.
void ListTarSfxStoredNames(const std::string& archive, std::set<std::string>& marked,
                           std::set<std::string>& unmarked);

// TAR (tar/writer.cpp), plain, in gzip at level 6 or in bzip2 at level 9.
enum class TarFilter { none, gzip, bzip2 };
WriteResult WriteTarArchive(const WriteJob& job, TarFilter filter);
// The same with no progress: false when no archive was written.
bool WriteTar(const std::string& archive, const std::vector<Item>& items, bool gzip);

}  // namespace standin
