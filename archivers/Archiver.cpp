// The base archiver refuses everything; only DllArchiver does real work.
#include "archivers/Archiver.h"

bool Archiver::CanExtract(const StrBuf&) { return false; }

bool Archiver::SupportsFormat(const StrBuf&) { return false; }

bool Archiver::CanMakeSfx() { return false; }

bool Archiver::Extract(const StrBuf&, const StrBuf&, int32_t, bool) { return false; }

bool Archiver::Compress(const StrBuf&, const FileList&, const StrBuf&) { return false; }

bool Archiver::CompressSfx(const StrBuf&, const FileList&, const StrBuf&) { return false; }

void Archiver::Describe(StrBuf& out) { out.assign("????"); }
