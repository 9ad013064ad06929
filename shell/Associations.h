// File associations of the twelve archive extensions under HKEY_CLASSES_ROOT, and the
// records of what they pointed at before ([OrigAsso] and [OrigIcon] in the INI file).
#pragma once
#include <windows.h>

// The twelve extensions, always handled in this order.
extern const char* const kAssociationExtensions[12];

// own: take the extension over; else give it back to its recorded ProgID.
void RegisterAssociation(const char* extension, bool own, bool noIcon, const char* iniFile);
void SaveOriginalAssociation(const char* extension, const char* iniFile);
// Rewrites every extension whose flag, or NoIcon, differs from what was loaded.
void UpdateAssociations(const char* iniFile);
