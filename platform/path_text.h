#pragma once
// Paths as text of the system's ANSI code page, the one place they are parsed and compared. On
// Chinese, Japanese and Korean Windows (code pages 932, 936, 949, 950) a lead byte and the byte
// after it are one character, and that second byte may be '\' or an ASCII letter: the folder
// 表 is the bytes 95 5C. A byte-wise check is then steerable: an unelevated program that names a
// folder so that a byte-wise check puts a path inside or outside the install folder (or merges
// ア with ヂ by case) would have the elevated uninstaller remove what is not ours, or the
// installer write outside the folder the user chose. So every caller walks text by characters
// through here. On single-byte code pages (1252) every byte is a character and nothing changes.
//
// A lead byte with nothing after it (a character cut short) counts as a byte of its own here;
// callers that must not accept one (member names) refuse it.

#include <cstddef>

namespace platform {

// Whether byte starts a two-byte character in the ANSI code page: the system's on Windows
// (asked of the system each time), 1252 natively, unless a test has set one.
bool IsLeadByte(unsigned char byte);

// Whether byte starts a two-byte character in codePage: 932, 936, 949 and 950 have lead bytes,
// any other code page none. For tools that know no target code page.
bool IsLeadByteIn(unsigned codePage, unsigned char byte);

// Reads text as codePage from now on, on both sides; 0 goes back to the system's (1252
// natively).
void SetCodePageForTesting(unsigned codePage);

// SetCodePageForTesting for one scope, so a failed test leaves the system's behind.
class CCodePageForTesting {
 public:
  explicit CCodePageForTesting(unsigned codePage) { SetCodePageForTesting(codePage); }
  ~CCodePageForTesting() { SetCodePageForTesting(0); }
  CCodePageForTesting(const CCodePageForTesting&) = delete;
  CCodePageForTesting& operator=(const CCodePageForTesting&) = delete;
};

// 2 when text[at] is a lead byte with another byte after it, else 1.
size_t CharSize(const char* text, size_t length, size_t at);

// Whether at is where a character starts, or the end.
bool IsCharBoundary(const char* text, size_t length, size_t at);

// The first '\' at or after from (where a character starts) that is a character of its own, or
// length when there is none: a component of a relative name runs from from to there.
size_t NextSeparator(const char* text, size_t length, size_t from);

// The last '\' that is a character of its own in *at; false when there is none.
bool LastSeparator(const char* text, size_t length, size_t* at);

// Whether the last character is '\'.
bool EndsInSeparator(const char* text, size_t length);

// The same text, ASCII letters compared without regard to case and every two-byte character
// exactly.
bool SamePathText(const char* a, size_t aLength, const char* b, size_t bLength);

// Whether path lies below folder: folder's text (as SamePathText compares it) ending where a
// character of path starts, then a '\' of its own and at least one more byte. What lies below
// starts at path + folderLength + 1.
bool IsPathBelow(const char* path, size_t pathLength, const char* folder, size_t folderLength);

}  // namespace platform
