// The size-warning box's number (ParseWarnSize). Checks, for any text:
// - it reads what the C library's strtoll reads in base 10, held to the int32 range;
// - any int32 written in decimal, with blanks before and any text after, reads back as
//   itself.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "fuzz/program/Check.h"
#include "ui/WarnSize.h"

namespace {

int32_t ReferenceReading(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = TextOf(data, size);
    Require(ParseWarnSize(text.c_str()) == ReferenceReading(text), "reads as strtoll does");

    if (size >= 4) {
        int32_t value;
        std::memcpy(&value, data, sizeof value);
        const std::string written = " \t" + std::to_string(value) + TextOf(data + 4, size - 4);
        // Digits after the number would join it.
        if (size == 4 || data[4] < '0' || data[4] > '9')
            Require(ParseWarnSize(written.c_str()) == value, "a written number reads back");
    }
    return 0;
}
