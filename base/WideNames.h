// Names Windows hands over in UTF-16 (a drop, the wide command line) to a program that
// works in the system code page: whether the code page holds one, and the spelling under
// which the program can still open a file whose name it does not hold.
#pragma once
#include <windows.h>

#include <string>

using WideText = std::basic_string<WCHAR>;

// GetShortPathNameW's shape, so that a test can stand in for a volume without 8.3 aliases.
using ShortPathLookup = DWORD(WINAPI*)(const WCHAR* longPath, WCHAR* shortPath, DWORD size);

// True when the code page holds text exactly. Windows' best fit would otherwise turn é
// into e, ß into s and ¥ into '\\' without a word, naming another file or none.
bool FitsCodePage(const WideText& text);
// text in the code page, for text that fits.
std::string ToCodePage(const WideText& text);
// text in the code page with each character it cannot hold written as '_' (one for a
// character outside the basic plane too): the name an archive of such a file is given.
std::string SpellWithUnderscores(const WideText& text);
// Code-page text in UTF-16.
WideText ToWide(const std::string& text);

// path in the code page, each component the code page cannot hold replaced by its 8.3
// alias (lookup on the path up to that component); the components that fit stay long.
// False when such a component has no alias (nothing is there, or the volume keeps none
// and the lookup gives the long name back); spelled is then unset.
bool SpellWithShortNames(const WideText& path, ShortPathLookup lookup, std::string& spelled);
