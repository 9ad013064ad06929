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
// minutes for a drop of 100,000 files. Wide names go to addWide. False, with nothing added,
// when the block cannot be read as DROPFILES.
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
        for (auto* wide = reinterpret_cast<const WCHAR*>(block + header->pFiles);
             wide < end && *wide != L'\0';) {
            const WCHAR* nul = wide;
            while (nul < end && *nul != L'\0') ++nul;
            if (nul == end) break;
            list.addWide(WideText(wide, nul));
            wide = nul + 1;
        }
    }
    GlobalUnlock(drop);
    return readable;
}

// The drop asked name by name, for a handle that is not a readable DROPFILES block.
void AddDropByQuery(HDROP drop, FileList& list) {
    const UINT files = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<WCHAR> name;
    for (UINT i = 0; i < files; ++i) {
        // Asked for its length first: a fixed MAX_PATH buffer would cut a longer name and
        // the job would run on a path that is not the one dropped.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        name.assign(length + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), length + 1);
        list.addWide(WideText(name.data(), length));
    }
}

}  // namespace

void FileList::clear() {
    items_.reset();
    count_ = 0;
    capacity_ = 0;
    longNames_.clear();
    refused_.clear();
}

void FileList::append(const std::string& entry) {
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
    items_[count_].assign(entry.c_str());
    ++count_;
}

void FileList::add(const char* path) {
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
    append(entry);
}

void FileList::addWide(const WideText& path, ShortPathLookup lookup) {
    // Decided by the wide form alone: the lossy spelling may well name another real file.
    if (FitsCodePage(path)) {
        add(ToCodePage(path).c_str());
        return;
    }
    std::string spelled;
    if (!SpellWithShortNames(path, lookup, spelled)) {
        refused_.push_back(path);
        return;
    }
    size_t nameStart = path.size();
    while (nameStart > 0 && path[nameStart - 1] != L'\\' && path[nameStart - 1] != L'/')
        --nameStart;
    const WideText name = path.substr(nameStart);
    if (FitsCodePage(name)) {
        add(spelled.c_str());  // only folders on the way needed aliases
        return;
    }
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW(path.c_str(), &found));
    longNames_[count_] = SpellWithUnderscores(search ? WideText(found.cFileName) : name);
    append(spelled);
}

std::string FileList::longNameAt(int32_t index) const {
    const char* entry = items_[index].text();
    const auto found = longNames_.find(index);
    if (found == longNames_.end()) return entry;
    return std::string(entry, static_cast<size_t>(LastSeparator(entry) + 1)) + found->second;
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

void FileList::fillFromCommandLine(const WCHAR* text) {
    clear();
    for (const WideText& token : SplitWideCommandLine(text)) {
        if (!token.empty() && (token[0] == L'-' || token[0] == L'/')) continue;
        addWide(token);
    }
}

void FileList::fillFromDrop(HDROP drop) {
    clear();
    if (!AddDropBlock(drop, *this)) AddDropByQuery(drop, *this);
    DragFinish(drop);
}
