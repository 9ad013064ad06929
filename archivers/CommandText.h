// The pieces of an archiver command text: quoting, the archive's base name and directory,
// the relative names of the file list, and the filling of a template's %s placeholders.
// Pure byte work on system-code-page text, so it stays free of <windows.h>.
#pragma once
#include <cstdint>
#include <string>

// path in double quotes; nothing inside is escaped.
std::string QuoteArgument(const std::string& path);

// The first entry's file name without its extension: cut at the last '.' only when that
// '.' stands after the last separator ("v1.2\\notes" gives "notes", ".profile" gives "").
std::string ArchiveBaseName(const char* firstEntry);
// The first entry up to and including its last separator; empty when it has none.
std::string ArchiveBaseDirectory(const char* firstEntry);

// The name an entry goes by in the file list: relative to the base directory when it lies
// in it, its full path otherwise (cutting a foreign path would name a wrong file).
std::string ListEntryName(const char* entry, const std::string& baseDirectory);

// Appends the file-list argument's opening item: the base directory in quotes and a space.
void AppendListHead(std::string& list, const std::string& baseDirectory);
// Appends one entry: quoted, "\\*.*" before the closing quote for a directory, then a space.
void AppendListEntry(std::string& list, const std::string& name, bool isDirectory);

// Replaces the template's %s placeholders in order with first and second ("%%" gives '%').
// A template with one %s ignores second; the result has no length limit.
std::string FillTemplate(const char* commandTemplate, const std::string& first,
                         const std::string& second);

// The switch put before the extract template when overwriting is requested, by the
// archiver's place in the chain; "" where that DLL has none.
const char* OverwriteSwitch(int32_t chainPosition);
