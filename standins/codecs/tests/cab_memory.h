// A one-folder cabinet built in memory around LZX frames, and read back with Linux's
// libarchive: the native tests' and the fuzz target's way to check the LZX encoder against a
// decoder that is not the project's own.
#pragma once
#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standins/codecs/lzx_encoder.h"
#include "standins/codecs/mszip_encoder.h"

namespace lzx_test {

inline void Le16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Le32(std::string& s, uint32_t v) {
    Le16(s, v & 0xFFFF);
    Le16(s, v >> 16);
}

// The cabinet checksum of a CFDATA block: its data, then its two size fields.
inline uint32_t Checksum(const unsigned char* p, size_t n, uint32_t sum) {
    for (; n >= 4; n -= 4, p += 4)
        sum ^= p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    uint32_t tail = 0;
    for (size_t i = 0; i < n; ++i) tail = (tail << 8) | p[i];
    return sum ^ tail;
}

// One file "data.bin" holding data, in one folder of LZX with windowBits (15-21), or of
// MSZIP when windowBits is 0.
inline std::string MakeCabinet(const std::string& data, int windowBits = 21) {
    std::string frames;
    std::vector<uint16_t> sizes;
    uint16_t type = 0x0003 | (windowBits << 8);
    if (windowBits) {
        standin::EncodeLzxFolder(reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                                 windowBits, frames, sizes);
    } else {
        type = standin::MszipEncoder::kCabinetType;
        standin::MszipEncoder mszip;
        for (size_t at = 0; at < data.size(); at += standin::kLzxFrameSize) {
            size_t before = frames.size();
            mszip.encodeFrame(reinterpret_cast<const uint8_t*>(data.data()) + at,
                              std::min(standin::kLzxFrameSize, data.size() - at), frames);
            sizes.push_back(static_cast<uint16_t>(frames.size() - before));
        }
    }
    const std::string name = "data.bin";
    size_t filesAt = 36 + 8;
    size_t dataAt = filesAt + 16 + name.size() + 1;
    std::string cab = "MSCF";
    Le32(cab, 0);
    Le32(cab, static_cast<uint32_t>(dataAt + frames.size() + 8 * sizes.size()));
    Le32(cab, 0);
    Le32(cab, static_cast<uint32_t>(filesAt));
    Le32(cab, 0);
    cab += '\x03';
    cab += '\x01';
    Le16(cab, 1);  // folders
    Le16(cab, 1);  // files
    Le16(cab, 0);  // flags
    Le16(cab, 0x1234);
    Le16(cab, 0);
    Le32(cab, static_cast<uint32_t>(dataAt));
    Le16(cab, static_cast<uint32_t>(sizes.size()));
    Le16(cab, type);
    Le32(cab, static_cast<uint32_t>(data.size()));
    Le32(cab, 0);
    Le16(cab, 0);
    Le16(cab, 0x5A21);  // 2025-01-01
    Le16(cab, 0);
    Le16(cab, 0x20);
    cab += name;
    cab += '\0';
    size_t frameAt = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        size_t original = std::min(standin::kLzxFrameSize, data.size() - i * standin::kLzxFrameSize);
        std::string header;
        Le16(header, sizes[i]);
        Le16(header, static_cast<uint32_t>(original));
        const auto* p = reinterpret_cast<const unsigned char*>(frames.data()) + frameAt;
        uint32_t sum = Checksum(p, sizes[i], 0);
        sum = Checksum(reinterpret_cast<const unsigned char*>(header.data()), 4, sum);
        Le32(cab, sum);
        cab += header;
        cab.append(frames, frameAt, sizes[i]);
        frameAt += sizes[i];
    }
    return cab;
}

// The first entry's data as libarchive decodes it; false (with the reason) on any error.
inline bool ReadCabinet(const std::string& cab, std::string& out, std::string& error) {
    out.clear();
    archive* a = archive_read_new();
    archive_read_support_format_cab(a);
    bool ok = archive_read_open_memory(a, cab.data(), cab.size()) == ARCHIVE_OK;
    archive_entry* entry = nullptr;
    ok = ok && archive_read_next_header(a, &entry) == ARCHIVE_OK;
    char buffer[65536];
    while (ok) {
        la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
        if (n < 0) ok = false;
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    if (!ok) error = archive_error_string(a) ? archive_error_string(a) : "unknown error";
    archive_read_free(a);
    return ok;
}

}  // namespace lzx_test
