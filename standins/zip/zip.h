// The ZIP family: UnZip32.dll's and Zip32j.dll's command runners, the readers, the
// Deflate64 entries and the ZIP writer.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "standins/core/formats.h"
#include "standins/extract/engine.h"

struct archive;

namespace standin {

// Carry out one command text (zip/unzip.cpp, zip/zip.cpp); message receives a short
// report. Failures have already been shown to the user when they return.
int RunUnZip(const std::string& text, std::string& message);
int RunZip(const std::string& text, std::string& message);

// The readers UnZip32.dll registers (zip/readers.cpp).
bool EnableZipReaders(struct archive* reader);
// A Deflate64 entry, which libarchive refuses, decoded by the project's own decoder
// (zip/deflate64_entries.cpp); false when name is no such entry.
bool DecodeZipRefused(const std::string& archive, const std::string& name, ByteSink& sink,
                      CodecStatus& status);

// The central directory's names, flagged UTF-8 or not (zip/stored_names.cpp).
void ListZipStoredNames(const std::string& archive, std::set<std::string>& flagged,
                        std::set<std::string>& unflagged);

// ZIP (zip/writer.cpp): deflate at level 6 (an entry deflate would make larger is stored),
// traditional PKWARE encryption when password is not empty, ZIP64 fields past 4 GiB; names
// as stored bytes.
WriteResult WriteZipArchive(const WriteJob& job, bool deflate, const std::string& password);
// The same with no progress: false when no archive was written.
bool WriteZip(const std::string& archive, const std::vector<Item>& items, bool deflate);
// Encrypted with the traditional PKWARE scheme under password (not empty).
bool WriteZipEncrypted(const std::string& archive, const std::vector<Item>& items, bool deflate,
                       const std::string& password);

}  // namespace standin
