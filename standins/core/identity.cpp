// The DLLs' names and versions, alone in their object file: the stand-ins' windows and the
// self-extracting programs name the DLL without linking its command texts.
#include "standins/core/identity.h"

namespace standin {
namespace {

const Identity kIdentities[] = {
    {"Unlha32.dll", "Unlha", 267},  {"UnZip32.dll", "UnZip", 542}, {"Zip32j.dll", "Zip", 230},
    {"Cab32.dll", "Cab", 98},       {"Unrar32.dll", "Unrar", 17},  {"Unarj32j.dll", "Unarj", 101},
    {"Tar32.dll", "Tar", 239},
};

}  // namespace

const Identity& IdentityOf(Dll dll) {
    return kIdentities[static_cast<int>(dll)];
}

}  // namespace standin
