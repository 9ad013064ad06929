// The ZIP family: UnZip32.dll's and Zip32j.dll's command runners, the readers, the
// central directory read before extracting (Deflate64 entries, overlaps) and the ZIP writer.
#pragma once
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "standins/codecs/zip_directory.h"
#include "standins/core/file_streams.h"
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
// The central directory read once per command, before libarchive reads the archive
// (zip/central_directory.cpp).
class ZipCentralDirectory {
public:
    // False when archive must not be extracted: refusal then holds the reason and the code
    // (a split archive's last part, entries whose data overlap; kOk for an empty archive,
    // which is said but is no failure). A directory it cannot read is left to libarchive.
    bool check(const std::string& archive, Failure& refusal);
    // The engine's DecodeRefused after check: the Deflate64 entry whose data begins at
    // dataOffset, decoded by the project's own decoder; false when there is none.
    bool decode(uint64_t dataOffset, ByteSink& sink, CodecStatus& status);

private:
    std::unique_ptr<FileInput> input_;
    std::vector<ZipSpan> deflate64_;  // sorted by data offset
};

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
