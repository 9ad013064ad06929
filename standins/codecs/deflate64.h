// Deflate64 (ZIP method 9): Deflate with a 64 KiB window, length code 285 meaning 3 plus
// 16 extra bits, and distance codes 30 and 31. Neither libarchive nor Debian's zlib build
// decodes it, so the stand-ins carry their own streaming decoder.
#pragma once
#include <cstdint>

#include "standins/codecs/codec_status.h"

namespace standin {

// Decodes one raw Deflate64 stream (no zlib or gzip wrapper) from source to sink, up to and
// including its final block. Memory stays at the window plus the Huffman tables whatever the
// input says.
// - outputLimit: the most bytes the caller will accept (a ZIP entry's declared size); a
//   stream that would write more ends with corruptData after writing exactly outputLimit,
//   so an endless or lying stream cannot run on.
// - written, when given, receives the bytes written to sink, also after a failure.
// Returns ok, truncated (the source ended before the final block did), corruptData,
// sinkRefused or sourceFailed. Bytes after the final block are left unread or ignored.
CodecStatus inflate64(ByteSource& source, ByteSink& sink, uint64_t outputLimit,
                      uint64_t* written = nullptr);

}  // namespace standin
