// The INI values as LoadOptions reads them, through a stand-in of the private-profile
// functions that keeps their rules. The first input byte says which of the two folders
// the disk holds; the rest is the INI file. Checks, for any file:
// - the two folder texts are at most 259 bytes; LoadedAssociations and the last confirmed
//   destination choices are the loaded values;
// - SaveOptions then LoadOptions (a new process reading the file written) gives the same
//   settings back, with the three combined extensions following their parts, whether or
//   not a folder was refused; a refused folder is announced, the extraction one first.
#include <windows.h>

#include <string>
#include <vector>

#include "fuzz/native/StandIn.h"
#include "fuzz/program/Check.h"
#include "settings/Options.h"

namespace {

const char kMeltRefused[] = "解凍先の指定が不正です。この設定は保存されません。";
const char kCompRefused[] = "圧縮先の指定が不正です。この設定は保存されません。";

// The disk holds a folder only where Windows can have a destination: a full path with a
// drive, without control characters (no Windows name holds one) and without a trailing
// space (Windows drops it from a name). It is found with or without one separator after
// it. False when the disk does not take it.
bool PutFolderOnDisk(const StrBuf& folder) {
    std::string path = folder.text();
    if (path.size() < 2 || path[1] != ':' || path.back() == ' ') return false;
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    standin::PutOnDisk(path, {FILE_ATTRIBUTE_DIRECTORY, "", 0});
    const std::string before = path.substr(0, path.size() - 1);
    if (path.back() == '\\' && !EndsInLoneLead(before))
        standin::PutOnDisk(before, {FILE_ATTRIBUTE_DIRECTORY, "", 0});
    return true;
}

// Whether SaveOptions must refuse the folder of a destination type: 1 yes, 0 no, -1 left
// open. A folder whose last character is double-byte with the trail byte 0x5C is left open:
// whether that byte counts as a separator is PathExists' own question.
int MustRefuse(int32_t type, const StrBuf& folder, bool held) {
    if (type < 3) return 0;
    if (!held) return 1;
    const std::string path = folder.text();
    if (path.back() == '\\' && EndsInLoneLead(path.substr(0, path.size() - 1))) return -1;
    return 0;
}

bool SameOptions(const OptionValues& a, const OptionValues& b) {
    return a.MeltDirType == b.MeltDirType && a.CompDirType == b.CompDirType &&
           a.CompType == b.CompType && a.LzhType == b.LzhType && a.ZipCrypt == b.ZipCrypt &&
           a.CabType == b.CabType && a.MakeSFX == b.MakeSFX &&
           a.MeltForAllArc == b.MeltForAllArc && a.MeltMakeDir == b.MeltMakeDir &&
           a.MeltOverWrite == b.MeltOverWrite && a.CompOverWrite == b.CompOverWrite &&
           a.MeltOpenDir == b.MeltOpenDir && a.CompOpenDir == b.CompOpenDir &&
           std::string(a.MeltPath.text()) == b.MeltPath.text() &&
           std::string(a.CompPath.text()) == b.CompPath.text() && a.CompWarn == b.CompWarn &&
           a.CompWarnSize == b.CompWarnSize && a.AssoLzh == b.AssoLzh &&
           a.AssoZip == b.AssoZip && a.AssoCab == b.AssoCab && a.AssoTar == b.AssoTar &&
           a.AssoGzip == b.AssoGzip && a.AssoZ == b.AssoZ && a.AssoBz2 == b.AssoBz2 &&
           a.AssoRar == b.AssoRar && a.AssoArj == b.AssoArj && a.AssoTaz == b.AssoTaz &&
           a.AssoTgz == b.AssoTgz && a.AssoTbz == b.AssoTbz && a.NoIcon == b.NoIcon &&
           a.SendTo == b.SendTo;
}

void CheckLoaded() {
    const OptionValues& o = Options;
    Require(o.MeltPath.length() <= 259 && o.CompPath.length() <= 259,
            "a folder text is at most 259 bytes");
    Require(LastMeltDirChoice == o.MeltDirType && LastCompDirChoice == o.CompDirType,
            "the last confirmed choices are the loaded ones");
    const AssociationFlags& l = LoadedAssociations;
    Require(l.AssoLzh == o.AssoLzh && l.AssoZip == o.AssoZip && l.AssoCab == o.AssoCab &&
                l.AssoTar == o.AssoTar && l.AssoGzip == o.AssoGzip && l.AssoZ == o.AssoZ &&
                l.AssoBz2 == o.AssoBz2 && l.AssoRar == o.AssoRar && l.AssoArj == o.AssoArj &&
                l.AssoTaz == o.AssoTaz && l.AssoTgz == o.AssoTgz && l.AssoTbz == o.AssoTbz &&
                l.NoIcon == o.NoIcon,
            "LoadedAssociations are the loaded flags");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t folders = data[0];
    standin::LoadProfile(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    standin::ClearDisk();

    LoadOptions(kIniFileName);
    CheckLoaded();
    const bool meltHeld = (folders & 1) && PutFolderOnDisk(Options.MeltPath);
    const bool compHeld = (folders & 2) && PutFolderOnDisk(Options.CompPath);
    const int meltRefused = MustRefuse(Options.MeltDirType, Options.MeltPath, meltHeld);
    const int compRefused = MustRefuse(Options.CompDirType, Options.CompPath, compHeld);

    OptionValues expected = Options;
    expected.AssoTaz = expected.AssoTar || expected.AssoZ;
    expected.AssoTgz = expected.AssoTar || expected.AssoGzip;
    expected.AssoTbz = expected.AssoTar || expected.AssoBz2;

    standin::ResetMessages(IDOK);
    SaveOptions(kIniFileName);
    if (meltRefused >= 0 && compRefused >= 0) {
        std::vector<std::string> announced;
        if (meltRefused) announced.push_back(kMeltRefused);
        if (compRefused) announced.push_back(kCompRefused);
        Require(standin::Messages() == announced,
                "each refused folder announced, the extraction one first");
    }

    standin::LoadProfile(standin::SaveProfile());
    Options = OptionValues();
    LoadOptions(kIniFileName);
    CheckLoaded();
    Require(SameOptions(expected, Options), "the settings survive a save and a load");
    return 0;
}
