// Making Zibrak known to the shell (/i) and removing it again (/u).
#pragma once

void Install(const char* iniFile);
void Uninstall(const char* iniFile);
