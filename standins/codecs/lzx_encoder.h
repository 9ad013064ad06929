// An LZX compressor for the folders of Microsoft cabinets ("LZX_21(cab)", -ml21).
// No library on this system writes LZX, so this is the project's own, written from the
// format's public description. It is pure code over byte spans: no files, no Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// A cabinet's LZX stream is cut into frames of 32 KiB of original data; each frame's
// compressed bytes fill one CFDATA block, and the stream's state (window, repeated offsets,
// tree lengths) runs on from frame to frame through the whole folder.
const size_t kLzxFrameSize = 32768;

class LzxEncoder {
public:
    // windowBits 15 to 21: the window of 2^windowBits bytes (21 for -ml21). The stream
    // declares no E8 call translation.
    explicit LzxEncoder(int windowBits = 21);
    ~LzxEncoder();
    LzxEncoder(const LzxEncoder&) = delete;
    LzxEncoder& operator=(const LzxEncoder&) = delete;

    // Compresses the next frame: kLzxFrameSize bytes, or fewer for the folder's last one
    // (and not 0). Appends the frame's compressed bytes, padded to 16 bits, to out.
    void encodeFrame(const uint8_t* data, size_t size, std::string& out);

    // The folder's type in a CFFOLDER record: tcompTYPE_LZX with the window bits.
    uint16_t cabinetType() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Compresses a whole folder, frame by frame; each frame's bytes are appended to frames and
// its compressed size to sizes. For tests and small folders.
void EncodeLzxFolder(const uint8_t* data, size_t size, int windowBits, std::string& frames,
                     std::vector<uint16_t>& sizes);

}  // namespace standin
