#pragma once
// mkpak dist --one-file: a distribution folder as one program. A copy of the one-file program
// gets its seal filled; the folder's files follow its image as one solid xz stream, with a
// data.pak whose members are stored so that the stream does the compressing; the copy is
// signed last, so that the signature covers the stream. Unsigned, the same inputs give the same
// bytes.

#include <cstdint>
#include <string>

struct OneFileInputs {
  std::string carrier;      // the one-file program, as built (onefile.exe)
  std::string folder;       // the distribution folder just made
  std::string storedPak;    // its data.pak with stored members, carried in place of the folder's
  std::string out;          // the single file to write
  std::string signCommand;  // as DistInputs::signCommand
  int level = -1;           // the xz preset; -1: the smallest stream
};

// Writes out beside itself and renames it into place when complete; bytes is its size.
bool BuildOneFile(const OneFileInputs& inputs, uint64_t* bytes, std::string* error);
