// Tar32's words for the 7z methods libarchive refuses. libarchive names a coder by its
// number ("Unknown codec ID: A", "Unsupported filter 3030501 for 30401"); the user is told
// which filter or method it is, and that the archive is not damaged.
#include <cstdlib>
#include <cstring>

#include "standins/core/identity.h"
#include "standins/tar/tar.h"

namespace standin {
namespace {

struct Coder {
    unsigned long id;
    const char* name;
};

// 7-Zip's coder numbers, as its own documentation lists them.
const Coder kCoders[] = {
    {0x00, "Copy"},           {0x03, "Delta"},          {0x04, "x86 (BCJ)"},
    {0x05, "PPC"},            {0x06, "IA64"},           {0x07, "ARM"},
    {0x08, "ARMT"},           {0x09, "SPARC"},          {0x0A, "ARM64"},
    {0x0B, "RISCV"},          {0x21, "LZMA2"},          {0x030101, "LZMA"},
    {0x03030103, "x86 (BCJ)"}, {0x0303011B, "BCJ2"},    {0x03030205, "PPC"},
    {0x03030401, "IA64"},     {0x03030501, "ARM"},      {0x03030701, "ARMT"},
    {0x03030805, "SPARC"},    {0x030401, "PPMd"},       {0x040108, "Deflate"},
    {0x040109, "Deflate64"},  {0x040202, "BZip2"},      {0x04F71101, "Zstandard"},
    {0x04F71104, "LZ4"},      {0x06F10701, "AES-256"},
};

const char* CoderName(unsigned long id) {
    for (const Coder& c : kCoders) {
        if (c.id == id) return c.name;
    }
    return nullptr;
}

bool IsFilter(unsigned long id) {
    return (id >= 0x03 && id <= 0x0B) || (id >= 0x03030103 && id <= 0x03030805);
}

// The coder number after marker in text, as libarchive prints it (hexadecimal).
bool NumberAfter(const std::string& text, const char* marker, unsigned long& id,
                 size_t& end) {
    size_t at = text.find(marker);
    if (at == std::string::npos) return false;
    const char* start = text.c_str() + at + strlen(marker);
    char* stop = nullptr;
    id = strtoul(start, &stop, 16);
    end = static_cast<size_t>(stop - text.c_str());
    return stop != start;
}

const char kNotSupported[] = "には対応していません";

}  // namespace

void ExplainTarFailure(Failure& failure) {
    const std::string& reason = failure.reason;
    unsigned long first = 0;
    unsigned long second = 0;
    size_t end = 0;
    std::string named;
    if (NumberAfter(reason, "Unsupported filter ", first, end) &&
        NumberAfter(reason.substr(end), " for ", second, end)) {
        // A filter in front of a method libarchive runs only with x86's.
        const char* filter = CoderName(first);
        const char* method = CoderName(second);
        if (!filter || !method) return;
        named = std::string("7z の ") + method + " と組み合わせた " + filter + " フィルタ" +
                kNotSupported;
    } else if (NumberAfter(reason, "codec ID: ", first, end)) {
        const char* coder = CoderName(first);
        if (!coder) return;
        named = std::string("7z の ") + coder + (IsFilter(first) ? " フィルタ" : " 圧縮") +
                kNotSupported;
    } else {
        return;
    }
    // libarchive's own words stay in brackets for whoever has to look closer.
    size_t bracket = reason.find(" (");
    failure.reason = named + (bracket == std::string::npos ? std::string() : reason.substr(bracket));
    failure.code = kErrorMethod;
}

}  // namespace standin
