// The size-warning box's text as a number of megabytes.
#pragma once
#include <cstdint>

// atoi's reading (leading blanks, an optional sign, the digits up to the first other
// character, 0 without digits), but clamped to the int32 range where atoi's result
// would be undefined.
int32_t ParseWarnSize(const char* text);
