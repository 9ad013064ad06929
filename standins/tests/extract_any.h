// Extraction by detected kind, with no window, for the tests: the one place that names
// every family's readers, which no DLL may link.
#pragma once
#include <string>

#include "standins/core/formats.h"

namespace standin {

// True when every entry was extracted; false for Kind::None or any failure.
bool ExtractArchive(Kind kind, const std::string& archive, const ExtractOptions& options);

}  // namespace standin
