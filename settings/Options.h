// Options: the process-wide settings record, one field per key of the [Option] section of
// the INI file, named after its key. Loaded once at start, written only after OK.
#pragma once
#include <cstdint>

#include "base/StrBuf.h"

// The INI file: a bare name, which the private-profile functions keep in the Windows folder.
extern const char kIniFileName[];  // "Zibrak.ini"

struct OptionValues {
    int32_t MeltDirType = 0;   // 0 desktop, 1 the archive's folder, 2 ask, 3 MeltPath
    int32_t CompDirType = 0;   // 0 desktop, 1 the first file's folder, 2 ask, 3 CompPath
    int32_t CompType = 0;      // 0 LZH, 1 ZIP, 2 CAB, 3 TGZ, 4 BZ2
    int32_t LzhType = 1;       // 0 LH0, 1 LH5, 2 LH7
    bool ZipCrypt = false;
    int32_t CabType = 0;       // 0 LZX21, 1 MSZIP
    bool MakeSFX = false;
    bool MeltForAllArc = true;
    bool MeltMakeDir = true;
    bool MeltOverWrite = false;
    bool CompOverWrite = false;
    bool MeltOpenDir = true;
    bool CompOpenDir = true;
    StrBuf MeltPath;
    StrBuf CompPath;
    bool CompWarn = true;
    int32_t CompWarnSize = 10; // megabytes of 2^20 bytes
    bool AssoLzh = false;
    bool AssoZip = false;
    bool AssoCab = false;
    bool AssoTar = false;
    bool AssoGzip = false;
    bool AssoZ = false;
    bool AssoBz2 = false;
    bool AssoRar = false;
    bool AssoArj = false;
    bool AssoTaz = false;
    bool AssoTgz = false;
    bool AssoTbz = false;
    bool NoIcon = true;
    bool SendTo = false;
};

// The association flags and NoIcon as loaded, for telling what the user changed.
struct AssociationFlags {
    bool AssoLzh, AssoZip, AssoCab, AssoTar, AssoGzip, AssoZ, AssoBz2, AssoRar, AssoArj,
        AssoTaz, AssoTgz, AssoTbz, NoIcon;
};

extern OptionValues Options;
extern AssociationFlags LoadedAssociations;

// The settings window's last confirmed choice of each destination group (0..3), which
// puts a radio back when its folder browser is cancelled. Set at load.
extern int32_t LastMeltDirChoice;
extern int32_t LastCompDirChoice;

void LoadOptions(const char* iniFile);
// Writes [Option]; a refused folder of type 3 is announced and its two keys keep their
// old values in the file.
void SaveOptions(const char* iniFile);
void WriteIntSetting(const char* section, const char* key, int32_t value, const char* iniFile);
