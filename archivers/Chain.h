// The ArchiverChain: the seven archivers in their fixed order, reached from its head, and
// the availability flags the settings window and the compression road read.
#pragma once
#include "archivers/Archiver.h"

extern Archiver* ArchiverChain;  // the head; none until BuildArchiverChain

extern bool Unlha32Loaded;
extern bool Zip32jLoaded;
extern bool Cab32Loaded;
extern bool Tar32Loaded;
extern bool Zcrypt32Present;

void BuildArchiverChain();
void AppendArchiver(Archiver* archiver);
void DestroyArchiverChain();
