// Path scans that step over Shift-JIS double-byte characters, so a trail byte 0x5C is
// never taken for a separator, and the small path helpers built on them.
#pragma once

// Shift-JIS lead bytes (0x81-0x9F, 0xE0-0xFC), whatever the system's code page.
bool IsDbcsLead(unsigned char byte);
// Index of the last '\\' or '/', or -1.
int LastSeparator(const char* text);
// Index of the last occurrence of byte, or -1.
int LastCharIndex(const char* text, char byte);

// The runtime's path splitter: each part is cut at 255 bytes.
struct PathParts {
    char drive[256];  // "C:" or empty
    char dir[256];    // up to and including the last separator, or empty
    char base[256];   // the name up to its last '.'
    char ext[256];    // from that '.' on, or empty
};
PathParts SplitPath(const char* path);

// False for a path longer than 260 bytes or one that names nothing; isDir tells whether
// it names a directory. One trailing '\\' is ignored.
bool PathExists(const char* path, bool& isDir);
