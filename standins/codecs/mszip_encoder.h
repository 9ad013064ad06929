// MSZIP, the deflate flavour of cabinet folders: each 32 KiB frame is one complete raw
// deflate stream behind the signature "CK", with the previous frame as its dictionary.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include <zlib.h>

namespace standin {

class MszipEncoder {
public:
    MszipEncoder();
    ~MszipEncoder();
    MszipEncoder(const MszipEncoder&) = delete;
    MszipEncoder& operator=(const MszipEncoder&) = delete;

    // Compresses the next frame (at most 32 KiB) and appends "CK" and its deflate stream to
    // out. False only when zlib fails (out of memory).
    bool encodeFrame(const uint8_t* data, size_t size, std::string& out);

    static const uint16_t kCabinetType = 0x0001;
    static const int kLevel = 4;  // zlib's compression level

private:
    z_stream z_{};
    bool ready_ = false;
    std::string previous_;  // the last frame: the next one's dictionary
};

}  // namespace standin
