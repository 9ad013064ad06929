// Path scans that step over Shift-JIS double-byte characters, so a trail byte 0x5C is
// never taken for a separator, and the small path helpers built on them.
#pragma once
#include <string>

// Shift-JIS lead bytes (0x81-0x9F, 0xE0-0xFC), whatever the system's code page.
bool IsDbcsLead(unsigned char byte);
// Index of the last '\\' or '/', or -1.
int LastSeparator(const char* text);
// Index of the last occurrence of byte, or -1.
int LastCharIndex(const char* text, char byte);

// True when the text's last character is '\\' or '/'. Scanned by characters: "C:\\表"
// ends in the byte 0x5C, the trail byte of 表, and has no separator at its end.
bool EndsWithSeparator(const char* text);
// text followed by '\\' unless it already ends in a separator. An empty text stays empty:
// a '\\' alone would name the root of the current drive.
std::string WithTrailingSeparator(const std::string& text);
// True when entry begins with directory, letters compared without regard to case.
// Double-byte characters are compared exactly, so a trail byte is never case-folded.
bool LiesInDirectory(const char* entry, const std::string& directory);
// The same text, compared as LiesInDirectory compares.
bool SamePathText(const std::string& a, const std::string& b);

// The runtime's path splitter: each part is cut at 255 bytes.
struct PathParts {
    char drive[256];  // "C:" or empty
    char dir[256];    // up to and including the last separator, or empty
    char base[256];   // the name up to its last '.'
    char ext[256];    // from that '.' on, or empty
};
PathParts SplitPath(const char* path);

// False for a path longer than 260 bytes or one that names nothing; isDir tells whether
// it names a directory. One trailing separator is ignored.
bool PathExists(const char* path, bool& isDir);
