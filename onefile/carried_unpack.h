#pragma once
// What the one-file program does before it runs setup.exe, window aside: checks the stream in
// its own file against its seal before decoding a byte of it, makes sure the folder's volume
// has room, and writes the files into that folder. Nothing from the stream is run unless all of
// this succeeded.

#include <cstdint>
#include <cstdio>
#include <string>

#include "onefile/seal.h"

namespace onefile {

struct UnpackPlace {
  FILE* self = nullptr;  // the program's own file, held open so that nobody can change it
  Seal seal;             // read from the program's image
  std::string folder;    // a new, empty folder of ours, without a trailing backslash
};

class IUnpackView {
 public:
  virtual ~IUnpackView() = default;
  // The files hold total bytes; they are about to be written.
  virtual void BeginBytes(uint64_t total) = 0;
  virtual void AddBytes(uint64_t bytes) = 0;
  // Why the unpacking stopped, for the user: one message, caption "Setup".
  virtual void ShowMessage(const std::string& text) = 0;
};

// True when every carried file is in place.folder and the stream was whole. Otherwise the user
// has been told why and the folder is empty again.
bool UnpackCarried(const UnpackPlace& place, IUnpackView* view);

}  // namespace onefile
