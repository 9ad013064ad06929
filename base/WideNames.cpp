#include "base/WideNames.h"

#include <vector>

namespace {

bool IsSeparator(WCHAR c) { return c == L'\\' || c == L'/'; }

// Code units of the character starting at index: two for a surrogate pair, else one.
size_t CharacterLength(const WideText& text, size_t index) {
    const WCHAR c = text[index];
    if (c >= 0xD800 && c <= 0xDBFF && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
        text[index + 1] <= 0xDFFF)
        return 2;
    return 1;
}

}  // namespace

bool FitsCodePage(const WideText& text) {
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                                          static_cast<int>(text.size()), nullptr, 0, nullptr,
                                          &usedDefault);
    return bytes > 0 && !usedDefault;
}

std::string ToCodePage(const WideText& text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr,
                                          nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string SpellWithUnderscores(const WideText& text) {
    // Character by character: one conversion of the whole text would give a surrogate
    // pair two default characters.
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const WideText character = text.substr(i, CharacterLength(text, i));
        out += FitsCodePage(character) ? ToCodePage(character) : "_";
        i += character.size();
    }
    return out;
}

WideText ToWide(const std::string& text) {
    if (text.empty()) return WideText();
    const int length = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0) return WideText();
    WideText out(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, &out[0], units);
    return out;
}

bool SpellWithShortNames(const WideText& path, ShortPathLookup lookup, std::string& spelled) {
    std::string out;
    std::vector<WCHAR> buffer(MAX_PATH);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        const WideText component = path.substr(start, end - start);
        if (FitsCodePage(component)) {
            out += ToCodePage(component);
        } else {
            const WideText head = path.substr(0, end);
            DWORD length = lookup(head.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            if (length >= buffer.size()) {
                buffer.resize(length + 1);
                length = lookup(head.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
            }
            if (length == 0 || length >= buffer.size()) return false;
            WideText alias(buffer.data(), length);
            size_t cut = alias.size();
            while (cut > 0 && !IsSeparator(alias[cut - 1])) --cut;
            alias.erase(0, cut);
            // The long name given back means the volume keeps no alias for it.
            if (alias.empty() || alias == component || !FitsCodePage(alias)) return false;
            out += ToCodePage(alias);
        }
        if (end == path.size()) break;
        out += static_cast<char>(path[end]);
        start = end + 1;
    }
    spelled = out;
    return true;
}
