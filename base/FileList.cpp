#include "base/FileList.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "base/Handles.h"
#include "base/Paths.h"

namespace {

constexpr int32_t kFirstBlock = 20;

// Adds every name of the drop's DROPFILES block in one walk. DragQueryFileA walks the list
// from its head for every index it is asked for, so asking name by name costs n²/2 steps:
// minutes for a drop of 100,000 files. Wide names are converted to the system code page as
// DragQueryFileA converts them. False, with nothing added, when the block cannot be read as
// DROPFILES.
bool AddDropBlock(HDROP drop, FileList& list) {
    const SIZE_T size = GlobalSize(drop);
    const auto* block = static_cast<const char*>(GlobalLock(drop));
    if (block == nullptr) return false;
    const auto* header = reinterpret_cast<const DROPFILES*>(block);
    const bool readable = size >= sizeof(DROPFILES) && header->pFiles >= sizeof(DROPFILES) &&
                          header->pFiles < size && (!header->fWide || header->pFiles % 2 == 0);
    if (readable && !header->fWide) {
        const char* end = block + size;
        for (const char* name = block + header->pFiles; name < end && *name != '\0';) {
            const auto* nul = static_cast<const char*>(std::memchr(name, '\0', end - name));
            if (nul == nullptr) break;  // a last name without its end is no name
            list.add(name);
            name = nul + 1;
        }
    } else if (readable) {
        const auto* end = reinterpret_cast<const WCHAR*>(block + size - size % 2);
        std::string name;
        for (auto* wide = reinterpret_cast<const WCHAR*>(block + header->pFiles);
             wide < end && *wide != L'\0';) {
            const WCHAR* nul = wide;
            while (nul < end && *nul != L'\0') ++nul;
            if (nul == end) break;
            const int length = static_cast<int>(nul - wide);
            const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr,
                                                  nullptr);
            name.assign(static_cast<size_t>(bytes), '\0');
            WideCharToMultiByte(CP_ACP, 0, wide, length, &name[0], bytes, nullptr, nullptr);
            list.add(name.c_str());
            wide = nul + 1;
        }
    }
    GlobalUnlock(drop);
    return readable;
}

// The drop asked name by name, for a handle that is not a readable DROPFILES block.
void AddDropByQuery(HDROP drop, FileList& list) {
    const UINT files = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<char> name;
    for (UINT i = 0; i < files; ++i) {
        // Asked for its length first: a fixed MAX_PATH buffer would cut a longer name and
        // the job would run on a path that is not the one dropped.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        name.assign(length + 1, '\0');
        DragQueryFileA(drop, i, name.data(), length + 1);
        list.add(name.data());
    }
}

}  // namespace

void FileList::clear() {
    items_.reset();
    count_ = 0;
    capacity_ = 0;
}

void FileList::add(const char* path) {
    if (!items_) {
        count_ = 0;
        capacity_ = kFirstBlock;
        items_.reset(new StrBuf[kFirstBlock]);
    }
    if (count_ >= capacity_) {
        const int32_t grown = capacity_ * 2;
        std::unique_ptr<StrBuf[]> block(new StrBuf[grown]);
        for (int32_t i = 0; i < count_; ++i) block[i] = items_[i];
        items_ = std::move(block);
        capacity_ = grown;
    }

    // Only the final component is looked up: the directory part stays exactly as given,
    // short names, letter case and a relative start included.
    const size_t dirLength = static_cast<size_t>(LastSeparator(path) + 1);
    std::string entry(path, dirLength);

    // "." and ".." are found under the folder's own name ("C:\\dl\\." as "dl"), which
    // after the directory part would name another file; they stay as given.
    const std::string name(path + dirLength);
    WIN32_FIND_DATAA found;
    FindHandle search;
    if (name != "." && name != "..") search.reset(FindFirstFileA(path, &found));
    if (search) {
        entry += found.cFileName;
    } else {
        // Nothing on disk (or a path ending in a separator): the name as given.
        entry += path + dirLength;
    }
    items_[count_].assign(entry.c_str());
    ++count_;
}

void FileList::fillFromCommandLine(const char* text) {
    clear();
    const ArgList args = SplitCommandLine(text);
    for (int i = 0; i < args.count(); ++i) {
        const char* token = args.at(i);
        if (token[0] == '-' || token[0] == '/') continue;
        add(token);
    }
}

void FileList::fillFromDrop(HDROP drop) {
    clear();
    if (!AddDropBlock(drop, *this)) AddDropByQuery(drop, *this);
    DragFinish(drop);
}
