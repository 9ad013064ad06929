// Unicode names: the conversions, the one rule for stored name bytes, NFC and long paths.
#include "standins/core/names.h"

#include <windows.h>

namespace standin {
namespace {

WideText ToWide(unsigned codePage, const std::string& text) {
    WideText out;
    int n = text.empty() ? 0
                         : MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0);
    out.resize(n > 0 ? n + 1 : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

size_t Length(const WideText& text) {
    return text.empty() ? 0 : text.size() - 1;
}

using NormalizeStringFn = int(WINAPI*)(int, const wchar_t*, int, wchar_t*, int);

// Kernel32 has it from Windows 8, Normaliz.dll before; Wine has both.
NormalizeStringFn FindNormalizeString() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC p = kernel ? GetProcAddress(kernel, "NormalizeString") : nullptr;
    if (!p) {
        HMODULE normaliz = LoadLibraryA("normaliz.dll");
        p = normaliz ? GetProcAddress(normaliz, "NormalizeString") : nullptr;
    }
    return reinterpret_cast<NormalizeStringFn>(reinterpret_cast<void*>(p));
}

bool NeedsComposing(const std::string& utf8) {
    for (unsigned char c : utf8)
        if (c >= 0xCC) return true;  // combining marks and every script past U+0300
    return false;
}

}  // namespace

WideText Utf8ToWide(const std::string& utf8) {
    return ToWide(CP_UTF8, utf8);
}

std::string WideToUtf8(const wchar_t* wide, size_t length) {
    if (!wide || length == 0) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), &out[0], n, nullptr, nullptr);
    return out;
}

std::string WideToUtf8(const wchar_t* wide) {
    return wide ? WideToUtf8(wide, wcslen(wide)) : std::string();
}

WideText AnsiToWide(const std::string& ansi) {
    return ToWide(CP_ACP, ansi);
}

std::string AnsiToUtf8(const std::string& ansi) {
    WideText wide = AnsiToWide(ansi);
    return WideToUtf8(wide.data(), Length(wide));
}

bool FitsCodePage(const wchar_t* wide, size_t length, std::string* ansi) {
    if (ansi) ansi->clear();
    if (length == 0) return true;
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(length),
                                nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    if (ansi) {
        ansi->resize(n);
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(length), &(*ansi)[0],
                            n, nullptr, nullptr);
    }
    return true;
}

bool Utf8FitsCodePage(const std::string& utf8, std::string* ansi) {
    WideText wide = Utf8ToWide(utf8);
    return FitsCodePage(wide.data(), Length(wide), ansi);
}

std::string Utf8ToAnsiLossy(const std::string& utf8) {
    WideText wide = Utf8ToWide(utf8);
    int length = static_cast<int>(Length(wide));
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                "_", nullptr);
    if (n <= 0) return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, &out[0], n, "_",
                        nullptr);
    return out;
}

bool IsMultibyteUtf8(const std::string& bytes) {
    bool multibyte = false;
    for (size_t i = 0; i < bytes.size();) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t n = c < 0x80 ? 0 : (c >= 0xC2 && c <= 0xDF) ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2
                 : (c >= 0xF0 && c <= 0xF4) ? 3 : 99;
        if (n == 99) return false;
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= bytes.size() || (static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        multibyte = multibyte || n > 0;
        i += n + 1;
    }
    return multibyte;
}

namespace {

// Libarchive's RAR 1.5-4.x reader, and its ZIP reader for a name made on MS-DOS, turn every
// byte 0x5C into '/', the trail byte of "表" (0x95 0x5C) included. A '/' right after a lead
// byte is never a separator of its own, so it is put back.
std::string WithTrailBytesBack(const std::string& bytes) {
    std::string sjis = bytes;
    for (size_t i = 0; i + 1 < sjis.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) continue;
        if (sjis[i + 1] == '/') sjis[i + 1] = '\\';
        ++i;
    }
    return sjis;
}

}  // namespace

std::string DecodeStoredName(const std::string& bytes, NameBytes coding) {
    if (coding == NameBytes::utf8 || (coding == NameBytes::unmarked && IsMultibyteUtf8(bytes)))
        return ComposeNfc(WideToUtf8(Utf8ToWide(bytes).data()));
    WideText wide = ToWide(kStoredCodePage, WithTrailBytesBack(bytes));
    return WideToUtf8(wide.data(), Length(wide));
}

bool ReadsAsUnmarkedName(const std::string& bytes) {
    if (IsMultibyteUtf8(bytes)) return true;
    std::string sjis = WithTrailBytesBack(bytes);
    return sjis.empty() || MultiByteToWideChar(kStoredCodePage, MB_ERR_INVALID_CHARS, sjis.data(),
                                               static_cast<int>(sjis.size()), nullptr, 0) > 0;
}

std::string DecodeWideName(const wchar_t* wide, size_t length) {
    return ComposeNfc(WideToUtf8(wide, length));
}

std::string ComposeNfc(const std::string& utf8) {
    if (!NeedsComposing(utf8)) return utf8;
    static NormalizeStringFn normalize = FindNormalizeString();
    if (!normalize) return utf8;
    WideText wide = Utf8ToWide(utf8);
    int length = static_cast<int>(Length(wide));
    // Composing never lengthens a text by much; the call says when it wants more.
    int size = normalize(NormalizationC, wide.data(), length, nullptr, 0);
    for (int tries = 0; size > 0 && tries < 4; ++tries) {
        WideText out(size + 1, L'\0');
        int n = normalize(NormalizationC, wide.data(), length, out.data(), size);
        if (n > 0) return WideToUtf8(out.data(), n);
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        size = -n;
    }
    return utf8;
}

WideText ExtendedPath(const std::string& utf8Path) {
    WideText path = Utf8ToWide(utf8Path);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    DWORD n = GetFullPathNameW(path.data(), 0, nullptr, nullptr);
    if (n > 0) {
        WideText full(n + 1, L'\0');
        DWORD got = GetFullPathNameW(path.data(), n + 1, full.data(), nullptr);
        if (got > 0 && got <= n) {
            full.resize(got + 1);
            path.swap(full);
        }
    }
    if (path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
        (path[2] == L'?' || path[2] == L'.'))
        return path;
    const wchar_t* prefix = L"\\\\?\\";
    WideText out(prefix, prefix + 4);
    if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\') {
        const wchar_t* unc = L"UNC";
        out.insert(out.end(), unc, unc + 3);
        out.insert(out.end(), path.begin() + 1, path.end());
    } else {
        out.insert(out.end(), path.begin(), path.end());
    }
    return out;
}

WideText ExtendedAnsiPath(const std::string& ansiPath) {
    return ExtendedPath(AnsiToUtf8(ansiPath));
}

}  // namespace standin
