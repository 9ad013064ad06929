// StrBuf: an owned, growable, NUL-terminated byte string in the system code page.
// Its capacity rules are observable (copies keep the source's capacity, append keeps one
// spare byte), so they are kept exactly.
#pragma once
#include <cstdint>

class StrBuf {
public:
    static constexpr int32_t kDefaultCapacity = 260;  // MAX_PATH

    StrBuf();                              // capacity 260, empty text
    explicit StrBuf(const char* text);     // capacity = length + 1
    StrBuf(const StrBuf& other);           // capacity = other's capacity
    StrBuf& operator=(const StrBuf& other);
    virtual ~StrBuf();

    void assign(const char* text);
    void assign(const StrBuf& other);
    void append(const char* text);

    int32_t length() const;
    int32_t capacity() const { return capacity_; }
    // Writable for the short in-place cuts callers make (cut at an index, then restore).
    char* text() { return text_; }
    const char* text() const { return text_; }

    // The user's locale comparison ignoring case (CompareStringA, NORM_IGNORECASE).
    bool equalsIgnoreCase(const StrBuf& other) const;

private:
    char* text_;
    int32_t capacity_;
};
