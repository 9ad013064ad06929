#include "archivers/CommandText.h"

#include <cstring>

#include "base/Paths.h"

std::string QuoteArgument(const std::string& path) {
    std::string quoted;
    quoted.reserve(path.size() + 2);
    quoted += '"';
    quoted += path;
    quoted += '"';
    return quoted;
}

std::string ArchiveBaseName(const char* firstEntry) {
    const int separator = LastSeparator(firstEntry);
    const int dot = LastCharIndex(firstEntry, '.');
    const char* name = firstEntry + separator + 1;
    if (dot > separator) return std::string(name, firstEntry + dot);
    return std::string(name);
}

std::string ArchiveBaseDirectory(const char* firstEntry) {
    const int separator = LastSeparator(firstEntry);
    return std::string(firstEntry, firstEntry + separator + 1);
}

std::string ListEntryName(const char* entry, const std::string& baseDirectory) {
    if (LiesInDirectory(entry, baseDirectory)) return std::string(entry + baseDirectory.size());
    return std::string(entry);
}

void AppendListHead(std::string& list, const std::string& baseDirectory) {
    list += '"';
    list += baseDirectory;
    list += "\" ";
}

void AppendListEntry(std::string& list, const std::string& name, bool isDirectory) {
    list += '"';
    list += name;
    if (isDirectory) list += "\\*.*";
    list += "\" ";
}

std::string FillTemplate(const char* commandTemplate, const std::string& first,
                         const std::string& second) {
    std::string text;
    text.reserve(std::strlen(commandTemplate) + first.size() + second.size());
    int placeholder = 0;
    for (const char* p = commandTemplate; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (placeholder == 0) text += first;
            else if (placeholder == 1) text += second;
            ++placeholder;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            text += '%';
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

const char* OverwriteSwitch(int32_t chainPosition) {
    switch (chainPosition) {
        case 1: return " -m1 ";
        case 2:
        case 4: return " -o ";
        default: return "";
    }
}
