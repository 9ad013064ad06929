// Names in Unicode. Once an entry's stored bytes are decoded, or a file name is read from the
// disk with the wide API, the stand-ins hold it as UTF-8 in a std::string, and make UTF-16 at
// each Win32 call. Not std::wstring: the library's wide string class is 35 KB of every
// self-extracting program. The code page spelling is made only where a format or Zibrak
// needs it.
#pragma once
#include <string>
#include <vector>

namespace standin {

// The code page of names an archive stores without saying which: Shift-JIS, as the
// family's Japanese programs write them.
const unsigned kStoredCodePage = 932;

// UTF-16 for a Win32 call, ending with L'\0' (size() counts it).
using WideText = std::vector<wchar_t>;

WideText Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const wchar_t* wide, size_t length);
std::string WideToUtf8(const wchar_t* wide);  // ends with L'\0'
// Text in the system code page (paths of command texts) to and from Unicode.
WideText AnsiToWide(const std::string& ansi);
std::string AnsiToUtf8(const std::string& ansi);

// True when text has an exact spelling in the system code page, which ansi then receives.
// Windows' best fit would turn é into e, ß into s and ¥ into 0x5C without a word, so a
// name fits only when WC_NO_BEST_FIT_CHARS leaves the used-default flag clear.
bool FitsCodePage(const wchar_t* wide, size_t length, std::string* ansi);
bool Utf8FitsCodePage(const std::string& utf8, std::string* ansi = nullptr);
// The code page spelling with '_' for each character it lacks.
std::string Utf8ToAnsiLossy(const std::string& utf8);

// True when bytes are well-formed UTF-8 with at least one character beyond ASCII. A
// Shift-JIS name almost never is: its lead bytes 0x81-0x9F cannot start a UTF-8 sequence.
bool IsMultibyteUtf8(const std::string& bytes);

// What a format says about the bytes of one entry's name.
enum class NameBytes {
    unmarked,  // nothing: well-formed multibyte UTF-8 is UTF-8, anything else Shift-JIS
    utf8,      // flagged as UTF-8 (ZIP bit 11, pax, RAR 5, CAB _A_NAME_IS_UTF)
    codePage,  // known to be Shift-JIS
};

// Decodes one stored name to UTF-8 composed to NFC, as Windows programs expect (macOS stores
// names decomposed). Separators are left as stored ('/' or '\\'); a Shift-JIS trail byte
// 0x5C stays part of its character. Bytes that do not decode become U+FFFD.
std::string DecodeStoredName(const std::string& bytes, NameBytes coding);
// True when bytes read cleanly as a name stored without a mark: well-formed UTF-8, or
// Shift-JIS with no invalid sequence.
bool ReadsAsUnmarkedName(const std::string& bytes);
// The same for text already in UTF-16 (Joliet, 7-Zip, LZH's 0x44 header).
std::string DecodeWideName(const wchar_t* wide, size_t length);

// Composes decomposed characters (が written as か and U+3099). Text Windows cannot
// normalise is returned as it is.
std::string ComposeNfc(const std::string& utf8);

// The "\\?\" form of an absolute path, so that names of any length and any character reach
// the disk as given; '/' become '\\'.
WideText ExtendedPath(const std::string& utf8Path);
// The same for a path in the system code page (a command text's): an archive past 259 bytes
// still opens.
WideText ExtendedAnsiPath(const std::string& ansiPath);

}  // namespace standin
