// One switch from a detected kind to its extractor, shared by the DLLs and the
// self-extracting program.
#include "standins/formats.h"

namespace standin {

bool ExtractArchive(Kind kind, const std::string& archive, const ExtractOptions& options) {
    switch (kind) {
    case Kind::Lzh: return ExtractLzh(archive, options);
    case Kind::Zip: return ExtractZip(archive, options);
    case Kind::Cab: return ExtractCab(archive, options);
    case Kind::Rar: return ExtractRar(archive, options);
    case Kind::Arj: return ExtractArj(archive, options);
    case Kind::Tar:
    case Kind::Gzip: return ExtractTar(archive, options);
    case Kind::None: break;
    }
    return false;
}

}  // namespace standin
