// The seven archivers in their fixed order and the availability flags, built once at start.
#include "archivers/Chain.h"

#include "base/Handles.h"

Archiver* ArchiverChain = nullptr;

bool Unlha32Loaded = false;
bool Zip32jLoaded = false;
bool Cab32Loaded = false;
bool Tar32Loaded = false;
bool Zcrypt32Present = false;

namespace {

// Zcrypt32.dll is only probed: ZIP passwords need it beside Zip32j.dll.
bool ProbeZcrypt32() { return Module(LoadLibraryA("Zcrypt32.dll")).valid(); }

}  // namespace

void BuildArchiverChain() {
    auto* unlha = new DllArchiver;
    Unlha32Loaded = unlha->LoadDll("Unlha32.dll", "UnlhaGetVersion", "Unlha", "UnlhaCheckArchive");
    unlha->AddFormat("LH0(lzh)", "lzh", "a -x1 -r2 -a1 -jm0 %s %s");
    unlha->AddFormat("LH5(lzh)", "lzh", "a -x1 -r2 -a1 -jm2 %s %s");
    unlha->AddFormat("LH7(lzh)", "lzh", "a -x1 -r2 -a1 -jm4 %s %s");
    unlha->sfxTemplate.assign("s -gw3 %s %s");
    unlha->extractTemplate.assign("e -c1 -a1 -x1 -jyc  %s %s");
    AppendArchiver(unlha);

    auto* unzip = new DllArchiver;
    unzip->LoadDll("UnZip32.dll", "UnZipGetVersion", "UnZip", "UnZipCheckArchive");
    unzip->extractTemplate.assign("-x %s %s");
    AppendArchiver(unzip);

    Zcrypt32Present = ProbeZcrypt32();

    auto* zip = new DllArchiver;
    Zip32jLoaded = zip->LoadDll("Zip32j.dll", "ZipGetVersion", "Zip", "ZipCheckArchive");
    zip->AddFormat("ZIP_6(zip)", "zip", "-r -S %s %s");
    zip->AddFormat("ZIP_Cr(ZCr)", "zip", "-e -r -S %s %s");
    zip->sfxTemplate.assign("--sfx %s");
    AppendArchiver(zip);

    auto* cab = new DllArchiver;
    Cab32Loaded = cab->LoadDll("Cab32.dll", "CabGetVersion", "Cab", "CabCheckArchive");
    cab->AddFormat("MSZIP(cab)", "cab", "-a -r -mz %s %s");
    cab->AddFormat("LZX_21(cab)", "cab", "-a -r -ml21 %s %s");
    cab->sfxTemplate.assign("-f %s %s");
    cab->extractTemplate.assign("-x %s %s");
    AppendArchiver(cab);

    auto* unrar = new DllArchiver;
    unrar->LoadDll("Unrar32.dll", "UnrarGetVersion", "Unrar", "UnrarCheckArchive");
    unrar->extractTemplate.assign("-x %s %s");
    AppendArchiver(unrar);

    auto* unarj = new DllArchiver;
    unarj->LoadDll("Unarj32j.dll", "UnarjGetVersion", "Unarj", "UnarjCheckArchive");
    unarj->extractTemplate.assign("x -jyc -p %s %s");
    AppendArchiver(unarj);

    auto* tar = new DllArchiver;
    Tar32Loaded = tar->LoadDll("Tar32.dll", "TarGetVersion", "Tar", "TarCheckArchive");
    tar->AddFormat("GZIP_6(tgz)", "tar.gz", "cvfz %s %s");
    tar->AddFormat("BZIP2_9(bz2)", "bz2", "cvfzB %s %s");
    tar->sfxTemplate.assign("--self-extracting=1 cvfz %s %s");
    tar->extractTemplate.assign("xvf %s %s");
    AppendArchiver(tar);
}

void AppendArchiver(Archiver* archiver) {
    if (ArchiverChain == nullptr) {
        ArchiverChain = archiver;
        return;
    }
    Archiver* last = ArchiverChain;
    while (last->next != nullptr) last = last->next;
    last->next = archiver;
}

void DestroyArchiverChain() {
    Archiver* archiver = ArchiverChain;
    while (archiver != nullptr) {
        Archiver* following = archiver->next;
        delete archiver;
        archiver = following;
    }
}
