// Unarj32j.dll's walk over an ARJ archive with the project's own decoder (libarchive has
// no ARJ reader); the engine checks the names and writes the files.
#include "standins/codecs/arj_reader.h"
#include "standins/arj/arj.h"
#include "standins/core/file_streams.h"
#include "standins/core/names.h"

namespace standin {

void WalkArj(const std::string& archive, EntryTarget& target) {
    FileInput input(archive);
    if (!input.valid()) {
        target.fail(std::string(), CodecStatus::sourceFailed);
        return;
    }
    ArjReader reader(input);
    CodecStatus status = reader.open();
    if (status != CodecStatus::ok) {
        target.fail(std::string(), status);
        return;
    }
    ArjEntry entry;
    for (;;) {
        status = reader.next(entry);
        if (status == CodecStatus::end) return;
        if (status != CodecStatus::ok) {
            target.fail(std::string(), status);
            return;
        }
        bool go = true;
        // ARJ marks no name's coding: its bytes decide (Shift-JIS, or UTF-8 when they are).
        std::string name = DecodeStoredName(entry.name, NameBytes::unmarked);
        if (entry.fileType == ArjFileType::directory) {
            go = target.folder(name);
        } else if (entry.fileType == ArjFileType::binary || entry.fileType == ArjFileType::text) {
            go = target.file(name, entry.dosTime,
                             [&](ByteSink& sink) { return reader.extract(sink); });
        }
        // Volume labels and chapters carry no file.
        if (!go) return;
    }
}

}  // namespace standin
