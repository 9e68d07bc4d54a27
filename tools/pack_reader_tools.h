#pragma once
// What mkpak reads back: listing, verifying and extracting a package with the installer's own
// reader, so a package that passes here is one the installer accepts.

#include <cstdint>
#include <functional>
#include <string>

struct MemberListing {
  std::string name;
  uint32_t packedSize = 0;    // the header's data size: the member's zip archive
  int64_t unpackedSize = -1;  // from the zip's local header; -1 when unreadable
};

struct PackFault {
  uint64_t offset = 0;  // of the faulty member's header
  std::string name;     // the member's name as far as it could be read
  std::string what;     // an English sentence
};

// Walks the headers (without unpacking) and calls list for each member. False, with the fault,
// at the first member that is damaged or would not install.
bool ListPack(const std::string& pakPath, const std::function<void(const MemberListing&)>& list,
              PackFault* fault);

// Unpacks every member into destFolder exactly as the installer does, calling
// extracted with each final path. With keepFiles false each file is deleted right after its
// check, so verifying needs room for one member only. Returns false at the first fault.
bool ExtractPack(const std::string& pakPath, const std::string& destFolder, bool keepFiles,
                 const std::function<void(const std::string&)>& extracted, size_t* members,
                 PackFault* fault);

// ExtractPack into a temporary folder that is removed afterwards. When unpackedBytes is given,
// it receives the size of all the files as they were unpacked; look is called with each file's
// path while it is there.
bool VerifyPack(const std::string& pakPath, size_t* members, PackFault* fault,
                uint64_t* unpackedBytes = nullptr,
                const std::function<void(const std::string&)>& look = nullptr);
