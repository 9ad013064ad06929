#include "base/StrBuf.h"

#include <windows.h>

#include <cstring>

namespace {

char* NewBlock(int32_t capacity) {
    char* block = new char[capacity];
    block[0] = '\0';
    return block;
}

int32_t TextLength(const char* text) { return static_cast<int32_t>(std::strlen(text)); }

}  // namespace

StrBuf::StrBuf() : text_(NewBlock(kDefaultCapacity)), capacity_(kDefaultCapacity) {}

StrBuf::StrBuf(const char* text) : text_(nullptr), capacity_(TextLength(text) + 1) {
    text_ = NewBlock(capacity_);
    std::memcpy(text_, text, capacity_);
}

StrBuf::StrBuf(const StrBuf& other) : text_(NewBlock(other.capacity_)), capacity_(other.capacity_) {
    std::memcpy(text_, other.text_, other.length() + 1);
}

StrBuf& StrBuf::operator=(const StrBuf& other) {
    assign(other);
    return *this;
}

StrBuf::~StrBuf() { delete[] text_; }

void StrBuf::assign(const char* text) {
    const int32_t needed = TextLength(text) + 1;
    if (capacity_ < needed) {
        // The old content is about to be overwritten, so it is not carried over. A source
        // inside this block always fits, so it is never freed before being read.
        delete[] text_;
        text_ = NewBlock(needed);
        capacity_ = needed;
    }
    // memmove: the source may be this very buffer (self-assignment, or a tail of it).
    std::memmove(text_, text, needed);
}

void StrBuf::assign(const StrBuf& other) { assign(other.text_); }

void StrBuf::append(const char* text) {
    const int32_t current = length();
    const int32_t added = TextLength(text);
    const int32_t needed = current + added + 2;
    if (capacity_ < needed) {
        char* block = NewBlock(needed);
        std::memcpy(block, text_, current);
        // Copied before the old block goes, in case text points into it.
        std::memcpy(block + current, text, added + 1);
        delete[] text_;
        text_ = block;
        capacity_ = needed;
        return;
    }
    std::memmove(text_ + current, text, added + 1);
}

int32_t StrBuf::length() const { return TextLength(text_); }

bool StrBuf::equalsIgnoreCase(const StrBuf& other) const {
    return CompareStringA(0x400, NORM_IGNORECASE, text_, -1, other.text_, -1) == CSTR_EQUAL;
}
