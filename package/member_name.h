#pragma once
// Member names come from the package, which is untrusted input: a name decides where bytes go
// on the user's disk. One rule set serves the installer (refuse to extract) and the pack tool
// (refuse to build), so the tool never makes a package the installer would turn down.

#include <cstddef>

enum class NameCheck {
  kOk,
  kEmpty,
  kTooLong,             // 260 bytes or more: no room for the terminator in the header
  kAbsolute,            // starts with a backslash or slash
  kDriveLetter,         // "C:..." or any colon (also alternate data streams)
  kParentFolder,        // a ".." component
  kEmptyComponent,      // doubled or trailing backslash
  kForbiddenChar,       // < > : " / | ? * or a control character
  kTrailingDotOrBlank,  // a component Windows would silently rename ("a.", "b ", ".")
  kReservedName,        // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-9, LPT1-9 (also with a
                        // superscript 1-3), with or without extension
  kCutCharacter,        // ends in the first byte of a two-byte character
};

// Checks length bytes of name (no NUL among them is expected), read as text of the ANSI code
// page (platform/path_text.h).
NameCheck CheckMemberName(const char* name, size_t length);

// The program group and each shortcut's description become a folder and a file name below the
// user's Programs and Desktop folders: one that could climb out of them ("..\\..\\Windows") or
// is no valid name is refused by the installer (nothing made, a failed shortcut) and by mkpak
// check.
NameCheck CheckShortcutName(const char* name, size_t length);

// A short English phrase for messages: "holds a '..' component".
const char* DescribeNameCheck(NameCheck check);
