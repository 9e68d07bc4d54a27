#pragma once
// Building data.pak: one member per regular file of a source folder, in a stable sorted order,
// each a one-file zip made with minizip around a deflate stream made with libdeflate. Used by
// mkpak and by the tests, which build their packages with the same code a package author uses.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct libdeflate_compressor;

struct PackEntry {
  std::string name;        // member name: the path below the source folder, with backslashes
  std::string sourcePath;  // where the bytes come from, in the installer's path form
  uint64_t size = 0;
};

// False, with a message, for the first entry the installer could not install: an unsafe or too
// long name, or a file of 4 GiB or more.
bool CheckPackEntries(const std::vector<PackEntry>& entries, std::string* error);

// Compression levels: 0 stores the files; 1 to 12 deflate them with libdeflate, 1 the fastest.
// 1-9 trade speed for size as zlib's levels of those numbers do (libdeflate is faster and
// smaller at each), 10-12 are slower and smaller still.
constexpr int kStoreLevel = 0;
constexpr int kBestLevel = 12;

// How much of a file is deflated at once (pack_writer.cpp says why).
constexpr size_t kDeflateChunkBytes = 16u << 20;

// Deflates members' data with libdeflate. One serves a whole package: its compressor (megabytes
// at the highest levels) is made once, and its buffers grow with the largest file, up to a chunk.
class CMemberDeflater {
 public:
  // Tests give a small chunkBytes, so that small files cross chunk boundaries.
  explicit CMemberDeflater(int level, size_t chunkBytes = kDeflateChunkBytes);
  ~CMemberDeflater();
  CMemberDeflater(const CMemberDeflater&) = delete;
  CMemberDeflater& operator=(const CMemberDeflater&) = delete;

  // False when the level is not 0 to 12 or memory for the compressor or buffers ran out.
  bool IsReady() const { return m_ready; }
  int Level() const { return m_level; }
  size_t ChunkBytes() const { return m_chunkBytes; }
  // The caller reads the next piece of a file here, up to Capacity() bytes.
  unsigned char* Chunk() { return m_chunk.get(); }
  size_t Capacity() const { return m_capacity; }
  // Makes Capacity() at least bytes, at most ChunkBytes(), keeping what Chunk() holds. False
  // when memory ran out.
  bool Reserve(size_t bytes);
  // Deflates the first size bytes of Chunk() as the next part of one deflate stream, which the
  // last part ends. The output stays valid until the next call. False only when libdeflate's
  // output does not inflate, which would be a fault in it.
  bool Deflate(size_t size, bool last, const unsigned char** out, size_t* outSize);

 private:
  int m_level;
  size_t m_chunkBytes;
  bool m_ready = false;
  libdeflate_compressor* m_compressor = nullptr;
  std::unique_ptr<unsigned char[]> m_chunk;
  size_t m_capacity = 0;
  std::unique_ptr<unsigned char[]> m_out;
  size_t m_outBytes = 0;
};

// Appends one member: the 268-byte header, then a one-file zip of source's bytes (deflated by
// deflater, or stored at level 0; fixed time stamp so equal input gives equal bytes).
bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, CMemberDeflater* deflater,
                      std::string* error);
// The same with a deflater of its own at level, for a single member.
bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, int level,
                      std::string* error);

// The uninstaller's member: at the top, as it reads the log beside itself, and first of all.
// Names are matched without regard to case, as Windows matches file names.
constexpr char kUninstallerMember[] = "uninstall.exe";
bool IsUninstallerMember(const std::string& name);

struct BuildOptions {
  int level = kBestLevel;
  // When set: this file becomes the member uninstall.exe, first in the package, so that even an
  // installation that stops after its first file leaves an uninstaller beside the log.
  std::string uninstaller;
  // Called after each member with (members done, total members, bytes done, total bytes).
  std::function<void(size_t, size_t, uint64_t, uint64_t)> progress;
};

struct BuildSummary {
  size_t members = 0;
  uint64_t bytes = 0;                // size of the package
  uint64_t unpackedBytes = 0;        // of all its files together, as installed
  size_t longestName = 0;            // bytes of the longest member name
  std::vector<std::string> skipped;  // entries that are neither folders nor regular files
};

// Builds outPath from sourceDir. The package is written beside outPath under another name and
// renamed into place only when complete, so a failure leaves no half-written output behind.
bool BuildPack(const std::string& sourceDir, const std::string& outPath,
               const BuildOptions& options, BuildSummary* summary, std::string* error);
