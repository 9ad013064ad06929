// Thin owners of Win32 handles, so that every early return releases what it opened.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <utility>

// A handle type with one close function and one "none" value.
template <typename H, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    H get() const { return handle_; }
    bool valid() const { return handle_ != Traits::none(); }
    explicit operator bool() const { return valid(); }
    H release() { return std::exchange(handle_, Traits::none()); }
    void reset(H handle = Traits::none()) {
        if (valid()) Traits::close(handle_);
        handle_ = handle;
    }

private:
    H handle_ = Traits::none();
};

struct FileHandleTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct ModuleTraits {
    static HMODULE none() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
struct RegKeyTraits {
    static HKEY none() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};

using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;   // CreateFileA
using FindHandle = UniqueHandle<HANDLE, FindHandleTraits>;   // FindFirstFileA
using Module = UniqueHandle<HMODULE, ModuleTraits>;          // LoadLibraryA
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;             // RegOpenKeyExA, RegCreateKeyExA

// Owns one reference of a COM interface.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For the out-parameter of CoCreateInstance and QueryInterface.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&ptr_);
    }
    void reset() {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};

// Keeps COM initialised on this thread for the lifetime of the object.
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

// An item list from the shell, freed with CoTaskMemFree.
class ItemList {
public:
    explicit ItemList(LPITEMIDLIST pidl = nullptr) : pidl_(pidl) {}
    ~ItemList() { CoTaskMemFree(pidl_); }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    LPITEMIDLIST get() const { return pidl_; }
    LPITEMIDLIST* out() { return &pidl_; }
    explicit operator bool() const { return pidl_ != nullptr; }

private:
    LPITEMIDLIST pidl_;
};
