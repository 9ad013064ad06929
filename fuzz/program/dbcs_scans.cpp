// The double-byte scans: the lead-byte test, LastSeparator, LastCharIndex and the
// case-blind directory prefix test. Checks, for any bytes:
// - a found index begins a character and holds the byte sought, and no later character
//   does; so a trail byte 0x5C ('\\') or 0x2E ('.') is never taken;
// - a double-byte character put in front (with trail byte 0x5C) moves every answer by 2;
// - a separator put after a text is found there unless the text ends in a lone lead byte,
//   which takes the separator as its trail byte;
// - a text lies in itself and in its own copy with other ASCII letter case, but not in a
//   copy where a trail byte changed case.
#include <string>

#include "archivers/CommandText.h"
#include "base/Paths.h"
#include "fuzz/program/Check.h"

namespace {

// The last character start at which match holds, found without the code under test.
template <typename Match>
int LastCharacterWhere(const std::string& text, Match match) {
    int found = -1;
    for (size_t at = 0; at < text.size(); at += IsLeadByte(text[at]) ? 2 : 1)
        if (match(text[at])) found = static_cast<int>(at);
    return found;
}

void CheckScans(const std::string& text, char sought) {
    const int separator = LastSeparator(text.c_str());
    Require(separator ==
                LastCharacterWhere(text, [](char c) { return c == '\\' || c == '/'; }),
            "LastSeparator finds the last separator character");
    Require(separator == std::max(LastCharIndex(text.c_str(), '\\'),
                                  LastCharIndex(text.c_str(), '/')),
            "LastSeparator is the later of the two separators");
    if (sought == '\0') return;
    const int index = LastCharIndex(text.c_str(), sought);
    Require(index == LastCharacterWhere(text, [sought](char c) { return c == sought; }),
            "LastCharIndex finds the last such character");
    if (index >= 0) {
        Require(text[static_cast<size_t>(index)] == sought, "LastCharIndex points at the byte");
        Require(StartsCharacter(text, static_cast<size_t>(index)),
                "LastCharIndex never stops inside a character");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool leadBytesAgree = [] {
        for (int byte = 0; byte < 256; ++byte)
            Require(IsDbcsLead(static_cast<unsigned char>(byte)) == IsLeadByte(static_cast<char>(byte)),
                    "IsDbcsLead is the Shift-JIS lead range");
        return true;
    }();
    (void)leadBytesAgree;
    if (size == 0) return 0;

    // The first byte is the one LastCharIndex looks for; the rest is the text.
    const char sought = static_cast<char>(data[0]);
    const std::string text = TextOf(data + 1, size - 1);
    CheckScans(text, sought);

    // 表 is 0x95 0x5C: its trail byte is a backslash.
    const std::string shifted = "\x95\x5C" + text;
    const int separator = LastSeparator(text.c_str());
    Require(LastSeparator(shifted.c_str()) == (separator < 0 ? -1 : separator + 2),
            "a character in front moves LastSeparator by its two bytes");
    if (sought != '\0') {
        const int index = LastCharIndex(text.c_str(), sought);
        const int moved = LastCharIndex(shifted.c_str(), sought);
        if (sought == '\x95')
            Require(moved == (index < 0 ? 0 : index + 2), "the lead byte in front is found");
        else
            Require(moved == (index < 0 ? -1 : index + 2),
                    "a character in front moves LastCharIndex by its two bytes");
    }

    const std::string withSeparator = text + "\\name";
    const int last = LastSeparator(withSeparator.c_str());
    if (EndsInLoneLead(text))
        Require(last == separator, "a lone lead byte takes the separator after it");
    else
        Require(last == static_cast<int>(text.size()), "a separator after the text is found");

    Require(LiesInDirectory(text.c_str(), text), "a text lies in itself");
    Require(LiesInDirectory((text + "\\x").c_str(), text), "a longer text lies in its start");
    std::string otherCase = text;
    bool trailChanged = false;
    for (size_t i = 0; i < otherCase.size(); ++i) {
        char& c = otherCase[i];
        const bool lead = IsLeadByte(c);
        if (lead && i + 1 < otherCase.size()) {
            char& trail = otherCase[i + 1];
            if (trail >= 'A' && trail <= 'Z') {
                trail = static_cast<char>(trail - 'A' + 'a');
                trailChanged = true;
            }
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    Require(LiesInDirectory(otherCase.c_str(), text) == !trailChanged,
            "letter case counts only in a double-byte character");
    Require(!LiesInDirectory(text.substr(0, text.size() / 2).c_str(), text) || text.empty(),
            "a shorter text does not lie in a longer one");
    return 0;
}
