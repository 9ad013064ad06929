// Archives of the read-only formats (LZH level 0 and 1, RAR 1.5-4.x and 5, ARJ) built byte
// by byte, and the items the writers are given, shared by the stand-ins' tests.
#pragma once
#include <cstdint>
#include <string>

#include "standins/core/formats.h"

namespace standin_test {

// 2023-05-06 12:34:56 as MS-DOS date and time; every built entry carries it.
const uint32_t kDosTime = (((2023u - 1980) << 9 | 5 << 5 | 6) << 16) | (12 << 11 | 34 << 5 | 28);

// "表" is 0x95 0x5C in Shift-JIS: its trail byte is a backslash.
const char kHyo[] = "表";

// A file to pack from source, stored as name, and a folder entry; both carry kDosTime. The
// name and the source are given in the code page, as these sources spell them (they compile
// to Shift-JIS), and reach the writers in UTF-8, as the gathering gives them.
standin::Item FileItem(const std::string& name, const std::string& source);
standin::Item DirItem(const std::string& name);

std::string Le16(uint32_t v);
std::string Le32(uint32_t v);

// One LZH entry with its data; useCrc stores crc instead of the data's real CRC-16.
std::string LzhLevel0(const std::string& name, const std::string& data,
                      const char* method = "-lh0-", uint16_t crc = 0, bool useCrc = false);
// Level 1 with the folder in a directory extended header, counted in the packed size.
std::string LzhLevel1(const std::string& dir, const std::string& name, const std::string& data);

// A RAR 1.5-4.x file block and its data (method 0x30 is stored); useCrc stores crc instead of
// the data's real CRC-32.
std::string Rar4File(const std::string& name, const std::string& data, unsigned method = 0x30,
                     uint32_t flags = 0x8000, uint32_t attr = 0x20, uint32_t crc = 0,
                     bool useCrc = false);
// Marker, main header, entries, end block.
std::string Rar4Archive(const std::string& entries);

std::string Rar5File(const std::string& utf8Name, const std::string& data, bool dir = false,
                     uint64_t method = 0);
std::string Rar5Archive(const std::string& entries);

// An ARJ header and its data; fileType 0 binary, 1 text, 2 the main header, 3 a folder.
std::string ArjHeader(unsigned fileType, unsigned method, const std::string& name,
                      const std::string& data, unsigned flags = 0);
// Main header, entries, end mark.
std::string ArjArchive(const std::string& entries);

// What ListTree says of each file.
enum class FileDetail { content, size };
// Every file ("name=content" or "name=size") and folder ("name\") below dir, sorted, with
// '|' after each: what an extraction left, in one string to compare.
std::string ListTree(const std::string& dir, FileDetail detail);
// The same with the contents, read with the wide API: names in UTF-8, exactly as on the disk.
std::string ListTreeUtf8(const std::string& dir);

}  // namespace standin_test
