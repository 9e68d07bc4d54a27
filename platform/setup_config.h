#pragma once
// The distribution folder and its setup.ini. Nothing is cached: each call asks the system or
// reads the file anew, so every reader sees the file as it is at that moment.

#include "platform/cstring.h"

// The running program's folder with one trailing backslash (C:\dist\ for C:\dist\setup.exe).
CString GetModuleDir();

// GetModuleDir() + "setup.ini".
CString GetSetupIniPath();

// A string value of setup.ini read through a 260-byte buffer: at most 259 characters.
CString ReadSetupString(const char* section, const char* key, const char* def);

// An integer value of setup.ini; 0 when missing.
int ReadSetupInt(const char* section, const char* key);
