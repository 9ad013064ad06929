#include "settings/Options.h"

#include <windows.h>


#include "base/Paths.h"
#include "base/Person.h"

const char kIniFileName[] = "Zibrak.ini";

OptionValues Options;
AssociationFlags LoadedAssociations = {};
int32_t LastMeltDirChoice = 0;
int32_t LastCompDirChoice = 0;

namespace {

const char kSection[] = "Option";
const char kInvalidFolderCaption[] = "不正なフォルダー";
const char kInvalidMeltFolder[] = "解凍先の指定が不正です。この設定は保存されません。";
const char kInvalidCompFolder[] = "圧縮先の指定が不正です。この設定は保存されません。";

// The one read-with-default / write layer over the [Option] section.
class OptionSection {
public:
    explicit OptionSection(const char* iniFile) : iniFile_(iniFile) {}

    int32_t readInt(const char* key, int32_t fallback) const {
        return static_cast<int32_t>(GetPrivateProfileIntA(kSection, key, fallback, iniFile_));
    }
    bool readBool(const char* key, bool fallback) const {
        return readInt(key, fallback ? 1 : 0) != 0;
    }
    // MAX_PATH buffer: a longer value arrives cut to its first 259 bytes.
    void readText(const char* key, StrBuf& into) const {
        char buffer[MAX_PATH] = {};
        GetPrivateProfileStringA(kSection, key, "", buffer, sizeof buffer, iniFile_);
        into.assign(buffer);
    }

    void writeInt(const char* key, int32_t value) const {
        WriteIntSetting(kSection, key, value, iniFile_);
    }
    void writeBool(const char* key, bool value) const { writeInt(key, value ? 1 : 0); }
    void writeText(const char* key, const StrBuf& value) const {
        WritePrivateProfileStringA(kSection, key, value.text(), iniFile_);
    }

private:
    const char* iniFile_;
};

bool IsExistingDirectory(const StrBuf& path) {
    bool isDir = false;
    return PathExists(path.text(), isDir) && isDir;
}

// A destination of type 3 is written only with a folder that exists; otherwise the file
// keeps its previous type and folder, and the user is told.
void SaveDestination(const OptionSection& section, const char* typeKey, int32_t type,
                     const char* pathKey, const StrBuf& path, const char* refusal) {
    if (type < 3) {
        section.writeInt(typeKey, type);
        return;
    }
    if (!IsExistingDirectory(path)) {
        CurrentPerson().ShowMessage(nullptr, refusal, kInvalidFolderCaption, MB_OK);
        return;
    }
    section.writeInt(typeKey, type);
    section.writeText(pathKey, path);
}

}  // namespace

void LoadOptions(const char* iniFile) {
    const OptionSection section(iniFile);
    const OptionValues defaults;
    OptionValues& o = Options;

    o.MeltDirType = section.readInt("MeltDirType", defaults.MeltDirType);
    o.CompDirType = section.readInt("CompDirType", defaults.CompDirType);
    o.CompType = section.readInt("CompType", defaults.CompType);
    o.LzhType = section.readInt("LzhType", defaults.LzhType);
    o.ZipCrypt = section.readBool("ZipCrypt", defaults.ZipCrypt);
    o.CabType = section.readInt("CabType", defaults.CabType);
    o.MakeSFX = section.readBool("MakeSFX", defaults.MakeSFX);
    o.MeltForAllArc = section.readBool("MeltForAllArc", defaults.MeltForAllArc);
    o.MeltMakeDir = section.readBool("MeltMakeDir", defaults.MeltMakeDir);
    o.MeltOverWrite = section.readBool("MeltOverWrite", defaults.MeltOverWrite);
    o.CompOverWrite = section.readBool("CompOverWrite", defaults.CompOverWrite);
    o.MeltOpenDir = section.readBool("MeltOpenDir", defaults.MeltOpenDir);
    o.CompOpenDir = section.readBool("CompOpenDir", defaults.CompOpenDir);
    section.readText("MeltPath", o.MeltPath);
    section.readText("CompPath", o.CompPath);
    o.CompWarn = section.readBool("CompWarn", defaults.CompWarn);
    o.CompWarnSize = section.readInt("CompWarnSize", defaults.CompWarnSize);
    o.AssoLzh = section.readBool("AssoLzh", defaults.AssoLzh);
    o.AssoZip = section.readBool("AssoZip", defaults.AssoZip);
    o.AssoCab = section.readBool("AssoCab", defaults.AssoCab);
    o.AssoTar = section.readBool("AssoTar", defaults.AssoTar);
    o.AssoGzip = section.readBool("AssoGzip", defaults.AssoGzip);
    o.AssoZ = section.readBool("AssoZ", defaults.AssoZ);
    o.AssoBz2 = section.readBool("AssoBz2", defaults.AssoBz2);
    o.AssoRar = section.readBool("AssoRar", defaults.AssoRar);
    o.AssoArj = section.readBool("AssoArj", defaults.AssoArj);
    o.AssoTaz = section.readBool("AssoTaz", defaults.AssoTaz);
    o.AssoTgz = section.readBool("AssoTgz", defaults.AssoTgz);
    o.AssoTbz = section.readBool("AssoTbz", defaults.AssoTbz);
    o.NoIcon = section.readBool("NoIcon", defaults.NoIcon);
    o.SendTo = section.readBool("SendTo", defaults.SendTo);

    LastMeltDirChoice = o.MeltDirType;
    LastCompDirChoice = o.CompDirType;

    LoadedAssociations = {o.AssoLzh, o.AssoZip, o.AssoCab, o.AssoTar, o.AssoGzip,
                          o.AssoZ,   o.AssoBz2, o.AssoRar, o.AssoArj, o.AssoTaz,
                          o.AssoTgz, o.AssoTbz, o.NoIcon};
}

void SaveOptions(const char* iniFile) {
    const OptionSection section(iniFile);
    const OptionValues& o = Options;

    SaveDestination(section, "MeltDirType", o.MeltDirType, "MeltPath", o.MeltPath,
                    kInvalidMeltFolder);
    SaveDestination(section, "CompDirType", o.CompDirType, "CompPath", o.CompPath,
                    kInvalidCompFolder);

    section.writeInt("CompType", o.CompType);
    section.writeInt("LzhType", o.LzhType);
    section.writeBool("ZipCrypt", o.ZipCrypt);
    section.writeInt("CabType", o.CabType);
    section.writeBool("MakeSFX", o.MakeSFX);
    section.writeBool("SendTo", o.SendTo);
    section.writeBool("MeltForAllArc", o.MeltForAllArc);
    section.writeBool("MeltMakeDir", o.MeltMakeDir);
    section.writeBool("MeltOpenDir", o.MeltOpenDir);
    section.writeBool("CompOpenDir", o.CompOpenDir);
    section.writeBool("MeltOverWrite", o.MeltOverWrite);
    section.writeBool("CompOverWrite", o.CompOverWrite);
    section.writeBool("CompWarn", o.CompWarn);
    section.writeInt("CompWarnSize", o.CompWarnSize);

    section.writeBool("AssoLzh", o.AssoLzh);
    section.writeBool("AssoZip", o.AssoZip);
    section.writeBool("AssoCab", o.AssoCab);
    section.writeBool("AssoTar", o.AssoTar);
    // Read back as "AssoGzip": the profile functions ignore the letter case of keys.
    section.writeBool("AssoGZip", o.AssoGzip);
    section.writeBool("AssoZ", o.AssoZ);
    section.writeBool("AssoBz2", o.AssoBz2);
    section.writeBool("AssoRar", o.AssoRar);
    section.writeBool("AssoArj", o.AssoArj);
    // The combined extensions follow their parts, whatever their own fields say.
    section.writeBool("AssoTaz", o.AssoTar || o.AssoZ);
    section.writeBool("AssoTgz", o.AssoTar || o.AssoGzip);
    section.writeBool("AssoTbz", o.AssoTar || o.AssoBz2);
    section.writeBool("NoIcon", o.NoIcon);
}

void WriteIntSetting(const char* section, const char* key, int32_t value, const char* iniFile) {
    char text[256];
    // user32's formatter: the C library's brings its floating-point code into the program.
    wsprintfA(text, "%ld", static_cast<long>(value));
    WritePrivateProfileStringA(section, key, text, iniFile);
}
