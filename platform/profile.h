#pragma once
// Private-profile (INI) files, read and written by our own code with the platform's rules, so
// that both builds read setup.ini exactly as GetPrivateProfileStringA / GetPrivateProfileIntA
// would, and the native build needs no Windows API.

#include <cstdint>

// Like GetPrivateProfileStringA: copies the value of key in section (or def when the file, the
// section or the key is missing) into buffer, cut to size - 1 bytes and NUL-terminated.
// Returns the number of bytes copied, without the NUL.
uint32_t ReadProfileString(const char* section, const char* key, const char* def, char* buffer,
                           uint32_t size, const char* path);

// Like GetPrivateProfileIntA: the value read as a decimal integer, or def when it is missing or
// empty.
int ReadProfileInt(const char* section, const char* key, int def, const char* path);

// Like WritePrivateProfileStringA for one key: creates the file and the section when missing,
// replaces an existing key's line, otherwise adds the key at the end of the section; every
// other byte of the file stays as it was. The file is replaced whole, never left half-written.
bool WriteProfileString(const char* section, const char* key, const char* value,
                        const char* path);
