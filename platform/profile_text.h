#pragma once
// A profile file's bytes as UTF-16 units and back. Only a byte-order mark makes a file Unicode
// (UTF-8, or UTF-16 in either byte order); anything else is ANSI. Wine decodes the same way, so
// a UTF-16 or UTF-8 file reads the same as its ANSI twin.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace profile {

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

struct Text {
  Encoding encoding = Encoding::kAnsi;
  Units units;
  // The byte where each unit starts, then the file size: an editor splices bytes, so that
  // everything outside the edited line stays exactly as it was.
  std::vector<size_t> offsets;
  bool keepOffsets = true;
};

Text Decode(const std::string& bytes);
// The units alone, for a reader: without the offsets, which take four times the units' memory.
Units DecodeUnits(const std::string& bytes);

bool IsUtf16(Encoding encoding);

// New text in a file's own encoding. The units all come from code page 1252, so there are no
// surrogates to pair and no '?' to make.
std::string Encode(const Units& units, Encoding encoding);

}  // namespace profile
