#include "jobs/Formats.h"

#include <cstring>

namespace {

struct LabelExtension {
    const char* label;
    const char* extension;
};

// Each label beside the extension its archiver writes; ZIP_Cr still writes a .zip.
const LabelExtension kLabels[] = {
    {"LH0(lzh)", "lzh"},       {"LH5(lzh)", "lzh"},       {"LH7(lzh)", "lzh"},
    {"ZIP_6(zip)", "zip"},     {"ZIP_Cr(ZCr)", "zip"},    {"MSZIP(cab)", "cab"},
    {"LZX_21(cab)", "cab"},    {"GZIP_6(tgz)", "tar.gz"}, {"BZIP2_9(bz2)", "bz2"},
};

}  // namespace

const char* ChooseFormatLabel(int32_t compType, int32_t lzhType, int32_t cabType, bool zipCrypt,
                              bool zcrypt32Present) {
    switch (compType) {
    case 1:
        // Without Zcrypt32.dll the encrypting archiver cannot work, so plain ZIP it is.
        return zipCrypt && zcrypt32Present ? "ZIP_Cr(ZCr)" : "ZIP_6(zip)";
    case 2:
        return cabType == 1 ? "MSZIP(cab)" : "LZX_21(cab)";
    case 3:
        return "GZIP_6(tgz)";
    case 4:
        return "BZIP2_9(bz2)";
    default:
        if (lzhType == 0) return "LH0(lzh)";
        if (lzhType == 2) return "LH7(lzh)";
        return "LH5(lzh)";
    }
}

const char* ArchiveExtension(const char* label) {
    for (const LabelExtension& entry : kLabels)
        if (std::strcmp(entry.label, label) == 0) return entry.extension;
    return nullptr;
}

const char* SaveDialogFilter(int32_t compType) {
    // The literal's own terminator is the list's closing NUL.
    return compType == 0 ? "LZH(*.lzh)\0*.lzh\0" : "ZIP(*.zip)\0*.zip\0";
}

const char* SaveDialogExtension(int32_t compType) { return compType == 0 ? ".lzh" : ".zip"; }
