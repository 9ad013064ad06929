// The argument-text tokenizer and the file list built from it. Checks, for any text:
// - the tokens read back unchanged from a text that writes each one bare or in quotes
//   (so no token is one that the tokenizer's own rules cannot produce);
// - every token is bytes of the text, in order;
// - the file list has one entry per token not beginning with '-' or '/', in token order,
//   each the token's directory part unchanged followed by the stored name of what the
//   disk holds there, or by the token's own last component when the disk has nothing;
// - a drop of the same names gives one such entry per name, switches included, and the
//   drop is released.
#include <string>
#include <vector>

#include "base/CommandLine.h"
#include "base/FileList.h"
#include "base/Paths.h"
#include "fuzz/native/StandIn.h"
#include "fuzz/program/Check.h"

namespace {

std::vector<std::string> Tokens(const char* text) {
    const ArgList list = SplitCommandLine(text);
    std::vector<std::string> tokens;
    for (int i = 0; i < list.count(); ++i) tokens.emplace_back(list.at(i));
    return tokens;
}

// A text that the tokenizer reads as exactly these tokens. A token that a bare start can
// give (not empty, no space, no leading quote) is written bare; any other goes in quotes,
// which a quote inside it would end early. Without closeLast the last quoted token is
// left open, which the end of the text closes.
std::string Render(const std::vector<std::string>& tokens, bool closeLast) {
    std::string text;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        const bool bare = !token.empty() && token.find(' ') == std::string::npos && token[0] != '"';
        if (bare) {
            text += token + ' ';
            continue;
        }
        Require(token.find('"') == std::string::npos, "a token that no text can give back");
        text += '"' + token;
        // A closing quote ends the token by itself: no space is needed after it.
        if (i + 1 < tokens.size() || closeLast) text += '"';
    }
    return text;
}

// The name the disk stores for a typed last component: longer and in other letter case,
// as a long name differs from a typed short one.
std::string StoredNameOf(const std::string& lastComponent) {
    std::string stored = "Long ";
    for (char c : lastComponent) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        stored += c;
    }
    return stored;
}

// The entry a path gets: its directory part as given, then the name the disk stores, or
// its own last component when the disk has nothing there.
std::string ExpectedEntry(const std::string& path) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return path;
    FindClose(search);
    const size_t dirLength = static_cast<size_t>(LastSeparator(path.c_str()) + 1);
    return path.substr(0, dirLength) + found.cFileName;
}

void CheckEntries(const FileList& files, const std::vector<std::string>& expected) {
    Require(files.count() == static_cast<int32_t>(expected.size()), "one entry per file");
    for (int32_t i = 0; i < files.count(); ++i)
        Require(expected[static_cast<size_t>(i)] == files.at(i).text(), "entry text");
    // The block grows 20, 40, 80, ... and only when full.
    const int32_t capacity = files.capacity();
    Require(capacity >= files.count() &&
                (capacity == 0 || (capacity % 20 == 0 && ((capacity / 20) & (capacity / 20 - 1)) == 0 &&
                                   capacity < 2 * files.count() + 20)),
            "the block holds the entries and grows by doubling from 20");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = TextOf(data, size);
    const std::vector<std::string> tokens = Tokens(text.c_str());

    size_t from = 0;
    for (const std::string& token : tokens) {
        // Tokens come in order and never overlap: each is found after the one before.
        const size_t at = token.empty() ? from : text.find(token, from);
        Require(at != std::string::npos, "a token that is not bytes of the text");
        from = at + token.size();
    }
    for (bool closeLast : {true, false}) {
        const std::string again = Render(tokens, closeLast);
        Require(Tokens(again.c_str()) == tokens, "tokens do not survive being written back");
    }

    // The disk holds every other file token that has a last component. Not "." or "..":
    // Windows finds those under another folder's name, which the file list must not take.
    standin::ClearDisk();
    for (size_t i = 0; i < tokens.size(); i += 2) {
        const std::string& token = tokens[i];
        const std::string last = token.substr(static_cast<size_t>(LastSeparator(token.c_str()) + 1));
        if (!last.empty() && last != "." && last != "..")
            standin::PutOnDisk(token, {0x20, StoredNameOf(last), 1});
    }
    std::vector<std::string> expected;
    std::vector<std::string> expectedFromDrop;
    std::vector<std::string> dropped;  // a drop holds no empty name: two NULs end its list
    for (const std::string& token : tokens) {
        const std::string entry = ExpectedEntry(token);
        if (!token.empty()) {
            dropped.push_back(token);
            expectedFromDrop.push_back(entry);
        }
        if (token[0] != '-' && token[0] != '/') expected.push_back(entry);
    }

    FileList files;
    files.add("left over from before");
    files.fillFromCommandLine(text.c_str());
    CheckEntries(files, expected);

    standin::SetDroppedFiles(dropped);
    files.fillFromDrop(nullptr);
    CheckEntries(files, expectedFromDrop);
    Require(standin::DropReleased(), "the drop is released");
    return 0;
}
