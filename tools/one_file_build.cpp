#include "tools/one_file_build.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "onefile/carried_folder.h"
#include "onefile/seal.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/sha256.h"
#include "tools/dist_check.h"
#include "tools/file_probes.h"
#include "tools/signing.h"
#include "tools/tool_error.h"

namespace {

// Signing tools pad the file to 8 bytes before they append the certificates: the stream starts
// and ends on such a boundary, so that nothing is inserted into or after it.
constexpr uint64_t kAlignment = 8;

bool PadTo(FILE* out, uint64_t* size) {
  while (*size % kAlignment != 0) {
    if (fputc(0, out) == EOF)
      return false;
    ++*size;
  }
  return true;
}

// The digest of the stream just written, read back from the file.
bool DigestOf(FILE* file, uint64_t offset, uint64_t size, unsigned char* digest) {
  if (!platform::SeekFile(file, static_cast<int64_t>(offset), SEEK_SET))
    return false;
  platform::CSha256 hash;
  std::vector<unsigned char> piece(1 << 16);
  while (size > 0) {
    size_t want = size < piece.size() ? static_cast<size_t>(size) : piece.size();
    if (fread(piece.data(), 1, want, file) != want)
      return false;
    hash.Update(piece.data(), want);
    size -= want;
  }
  hash.Finish(digest);
  return true;
}

// What the program needs to know of setup.ini before it can read it: the space the
// installation asks for, and on which volume it will likely go.
void ReadInstallFigures(const std::string& ini, onefile::Seal* seal) {
  CProfileSectionReader main;
  main.Load(ini.c_str(), "main");
  std::string value;
  // Read as setup.exe reads it, a signed number; none below zero.
  long needspace = main.Read("needspace", &value) ? strtol(value.c_str(), nullptr, 10) : 0;
  seal->needspace = needspace > 0 ? static_cast<uint32_t>(needspace) : 0;
  if (main.Read("location", &value) && value.size() >= 3)
    seal->installRoot = value.substr(0, 3);
}

// The file being written, removed unless it was renamed into place.
class CPartialFile {
 public:
  explicit CPartialFile(const std::string& path) : m_path(path) {}
  ~CPartialFile() {
    if (m_bMade)
      platform::RemoveFile(m_path.c_str());
  }
  void Made() { m_bMade = true; }
  void Placed() { m_bMade = false; }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  bool m_bMade = false;
};

}  // namespace

bool BuildOneFile(const OneFileInputs& inputs, uint64_t* bytes, std::string* error) {
  std::string program;
  if (!platform::ReadWholeFile(inputs.carrier.c_str(), "rb", &program))
    return FailWith(error, "cannot read the one-file program " + Quoted(inputs.carrier) + ": " +
                               Reason() + "; give it with --carrier");
  // Its signature would cover neither the seal nor the stream, and the certificates would lie
  // between the image and the stream: only the single file as a whole is signed.
  SignatureProbe probe = ProbeSignature(program);
  if (probe.isSigned || !probe.whyNot.empty())
    return FailWith(error, Quoted(inputs.carrier) +
                               " is signed; give the unsigned onefile.exe: the single file is "
                               "signed as a whole, with --sign-command");
  size_t sealAt = onefile::FindSeal(program);
  onefile::Seal seal;
  if (sealAt == std::string::npos)
    return FailWith(error, Quoted(inputs.carrier) +
                               " is not the one-file program (it holds no seal); use the "
                               "onefile.exe that came with mkpak");
  if (onefile::ReadSeal(reinterpret_cast<const unsigned char*>(program.data() + sealAt), &seal))
    return FailWith(error, Quoted(inputs.carrier) +
                               " carries a distribution already; use the onefile.exe that came "
                               "with mkpak");
  ReadInstallFigures(inputs.folder + "\\setup.ini", &seal);

  std::vector<onefile::CarriedFile> files;
  for (const char* name : kDistFiles) {
    std::string source =
        std::string(name) == "data.pak" ? inputs.storedPak : inputs.folder + "\\" + name;
    if (platform::FileExists(source.c_str()))
      files.push_back({name, source});
  }

  CPartialFile partial(inputs.out + ".part");
  platform::CFile out;
  if (!out.OpenReplacing(partial.Path().c_str()))
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " + Reason());
  partial.Made();
  uint64_t size = program.size();
  if (fwrite(program.data(), 1, program.size(), out.Get()) != program.size() ||
      !PadTo(out.Get(), &size))
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " + Reason());
  seal.streamOffset = size;
  onefile::CarryResult carried = inputs.level < 0
                                     ? onefile::WriteCarriedFolder(files, out.Get())
                                     : onefile::WriteCarriedFolder(files, out.Get(), inputs.level);
  if (!carried.ok())
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " +
                               onefile::DescribeCarryFault(carried.fault) +
                               (carried.name.empty() ? "" : " ('" + carried.name + "')"));
  int64_t end = platform::TellFile(out.Get());
  if (end < 0)
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " + Reason());
  size = static_cast<uint64_t>(end);
  seal.streamBytes = size - seal.streamOffset;
  if (!PadTo(out.Get(), &size) || !out.Close())
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " + Reason());

  unsigned char block[onefile::kSealSize];
  memcpy(block, program.data() + sealAt, sizeof block);
  platform::CFile written;
  if (!written.Open(partial.Path().c_str(), "rb") ||
      !DigestOf(written.Get(), seal.streamOffset, seal.streamBytes, seal.digest))
    return FailWith(error, "cannot read " + Quoted(partial.Path()) + " back: " + Reason());
  written.Close();
  onefile::PutSeal(seal, block);
  if (!written.OpenOwnForUpdate(partial.Path().c_str()) ||
      !platform::SeekFile(written.Get(), static_cast<int64_t>(sealAt), SEEK_SET) ||
      fwrite(block, 1, sizeof block, written.Get()) != sizeof block || !written.Close())
    return FailWith(error, "cannot write " + Quoted(partial.Path()) + ": " + Reason());
  // Signed last: the signature then covers the seal and the stream.
  if (!inputs.signCommand.empty() &&
      !SignCopy(inputs.signCommand, "the single file", partial.Path(), error))
    return false;
  if (!platform::RenameReplacing(partial.Path().c_str(), inputs.out.c_str()))
    return FailWith(error, "cannot rename " + Quoted(partial.Path()) + " to " + Quoted(inputs.out) +
                               ": " + Reason());
  partial.Placed();
  // A signature adds to the file: its size as it now lies.
  platform::CFile placed;
  int64_t placedSize = -1;
  if (placed.Open(inputs.out.c_str(), "rb") && platform::SeekFile(placed.Get(), 0, SEEK_END))
    placedSize = platform::TellFile(placed.Get());
  *bytes = placedSize < 0 ? size : static_cast<uint64_t>(placedSize);
  return true;
}
