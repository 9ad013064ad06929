#include "base/FileList.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "base/Handles.h"
#include "base/Paths.h"

namespace {

constexpr int32_t kFirstBlock = 20;

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
    const UINT files = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<char> name;
    for (UINT i = 0; i < files; ++i) {
        // Asked for its length first: a fixed MAX_PATH buffer would cut a longer name and
        // the job would run on a path that is not the one dropped.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        name.assign(length + 1, '\0');
        DragQueryFileA(drop, i, name.data(), length + 1);
        add(name.data());
    }
    DragFinish(drop);
}
