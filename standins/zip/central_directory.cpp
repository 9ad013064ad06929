// UnZip32.dll's own reading of the central directory, once per command before libarchive
// reads the archive: entries whose data overlap are refused, a split archive's last part and
// an empty archive are named for what they are, and the Deflate64 entries libarchive refuses
// are decoded by the project's own decoder, size and CRC checked.
#include <algorithm>

#include "standins/codecs/zip_directory.h"
#include "standins/zip/zip.h"
#include "standins/core/identity.h"

namespace standin {
namespace {

const uint16_t kDeflate64 = 9;

const char kReasonSplitLastPart[] =
    "分割された ZIP 書庫の最後の部分です。分割書庫には対応していません";
const char kReasonEmpty[] = "空の ZIP 書庫です (ファイルがありません)。展開するものはありません";
const char kReasonOverlapBefore[] = "書庫が壊れています (";  // then the count
const char kReasonOverlapAfter[] =
    " 個のファイルのデータがほかのファイルと重なっています。"
    "わずかな書庫から大量のデータを書き出させる細工のおそれがあるので展開しません)";

}  // namespace

bool ZipCentralDirectory::check(const std::string& archive, Failure& refusal) {
    input_.reset(new FileInput(archive));
    deflate64_.clear();
    // What cannot be read here is left to libarchive, which names the damage itself.
    if (!input_->valid()) return true;
    ZipDirectory directory(*input_);
    const CodecStatus opened = directory.open();
    if (opened == CodecStatus::multiVolume) {
        refusal.reason = kReasonSplitLastPart;
        refusal.code = kErrorMethod;
        return false;
    }
    if (opened != CodecStatus::ok) return true;
    std::vector<ZipSpan> spans;
    const CodecStatus walked = ReadZipSpans(directory, spans);
    if (walked == CodecStatus::end && spans.empty()) {
        // Nothing failed and nothing is lost: the box says so, and the result is success.
        refusal.reason = kReasonEmpty;
        refusal.code = kOk;
        return false;
    }
    const size_t overlapping =
        CountOverlapping(spans, directory.directoryStart(), directory.directoryEnd());
    if (overlapping > 0) {
        refusal.reason = kReasonOverlapBefore + std::to_string(overlapping) + kReasonOverlapAfter;
        refusal.code = kErrorHeaderBroken;
        return false;
    }
    for (const ZipSpan& span : spans) {
        if (span.entry.method == kDeflate64 && span.located) deflate64_.push_back(span);
    }
    // Sorted by local header offset, so by data offset too: the entries do not overlap.
    return true;
}

bool ZipCentralDirectory::decode(uint64_t dataOffset, ByteSink& sink, CodecStatus& status) {
    auto found = std::lower_bound(
        deflate64_.begin(), deflate64_.end(), dataOffset,
        [](const ZipSpan& span, uint64_t at) { return span.dataOffset < at; });
    if (!input_ || found == deflate64_.end() || found->dataOffset != dataOffset) return false;
    ZipDirectory directory(*input_);
    status = directory.extract(found->entry, sink);
    return true;
}

}  // namespace standin
