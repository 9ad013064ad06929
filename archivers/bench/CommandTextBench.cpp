// Prints how long Compress takes to build and issue its command text for growing file
// lists, so that the cost can be seen to grow in step with the list (not with its square).
// Run: tools/wine-run.sh build/bin/command_text_bench.exe [folder of the stand-in DLLs]
#include <windows.h>

#include <cstdio>
#include <string>

#include "archivers/Chain.h"
#include "base/FileList.h"
#include "base/StrBuf.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    std::string standins = argc > 1 ? argv[1] : "";
    if (standins.empty()) {
        char buffer[MAX_PATH] = "";
        GetEnvironmentVariableA("ZIBRAK_STANDIN_DIR", buffer, MAX_PATH);
        standins = buffer;
    }
    SetDllDirectoryA(standins.c_str());
    BuildArchiverChain();
    if (!Unlha32Loaded) {
        std::printf("Unlha32.dll not found (give the stand-ins' folder as the argument)\n");
        return 1;
    }

    // Names of files that do not exist: the stand-in refuses the job after reading the
    // whole command text, so what is timed is the building, the call and the parsing.
    const StrBuf label("LH5(lzh)");
    const StrBuf destination("C:\\bench-out\\");
    std::printf("%8s %12s %10s %12s\n", "entries", "text bytes", "ms", "ns per byte");
    for (int entries = 10000; entries <= 80000; entries *= 2) {
        FileList files;
        for (int i = 0; i < entries; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "C:\\bench-in\\folder\\file%06d.txt", i);
            files.add(name);
        }
        const double textBytes = entries * 17.0;  // "file000000.txt" quoted, then a space
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        ArchiverChain->Compress(label, files, destination);
        QueryPerformanceCounter(&end);
        const double seconds = Seconds(start, end);
        std::printf("%8d %12.0f %10.1f %12.1f\n", entries, textBytes, seconds * 1e3,
                    seconds * 1e9 / textBytes);
    }
    DestroyArchiverChain();
    return 0;
}
