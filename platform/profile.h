#pragma once
// Private-profile (INI) files, read and written by our own code with the platform's rules, so
// that both builds read setup.ini exactly as GetPrivateProfileStringA / GetPrivateProfileIntA
// would, and the native build needs no Windows API.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Like GetPrivateProfileStringA: copies the value of key in section (or def when the file, the
// section or the key is missing) into buffer, cut to size - 1 bytes and NUL-terminated.
// Returns the number of bytes copied, without the NUL. A null section or key reads as missing
// (the API's listings are not offered); a null buffer or a size of 0 copies nothing.
uint32_t ReadProfileString(const char* section, const char* key, const char* def, char* buffer,
                           uint32_t size, const char* path);

// Like GetPrivateProfileIntA: the value read as an integer (decimal, or after 0x, 0o or 0b
// hexadecimal, octal or binary, as Wine reads it), or def when it is missing or empty.
int ReadProfileInt(const char* section, const char* key, int def, const char* path);

// Like WritePrivateProfileStringA for one key: creates the file and the section when missing,
// replaces an existing key's line, otherwise adds the key at the end of the section; every
// other byte of the file stays as it was. The file is replaced whole, never left half-written.
// Lines it writes end in CRLF and keep the file's encoding (ANSI, or UTF-8 or UTF-16 with a
// byte-order mark). An empty section means the keys before the first section header. Returns
// false on any failure, and refuses null arguments and what would not read back as written:
// line breaks anywhere, and a key that is empty or holds '=' or starts with '['.
bool WriteProfileString(const char* section, const char* key, const char* value, const char* path);

// ---- For a writer that edits one open file many times (the uninstall log) ----

// WriteProfileString parses the whole file for every key. CProfileSection parses it once and
// keeps one section's layout up to date edit by edit, so each later edit is planned without
// looking at the file again. WriteProfileString is built on it, so both make the same bytes.

enum class ProfileEncoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

// Bytes [begin, end) of the file become `bytes`.
struct ProfileEdit {
  size_t begin = 0;
  size_t end = 0;
  std::string bytes;
};

// Reads back the file a layout plans edits for, as every edit planned so far has left it.
class IProfileReader {
 public:
  // Exactly size bytes from offset into *bytes; false when they cannot be read.
  virtual bool ReadAt(size_t offset, size_t size, std::string* bytes) = 0;

 protected:
  ~IProfileReader() = default;
};

class CProfileSection {
 public:
  // Reads where section's keys lie in a whole file's bytes. False for a file or a name that
  // WriteProfileString refuses to write.
  bool Parse(const std::string& bytes, const char* section);

  // The edit WriteProfileString would make to set key to value, for the file as it is after
  // every edit planned so far; the layout then takes that edit as made. False, with the layout
  // unchanged, for a key or value WriteProfileString refuses, or when the reader fails.
  bool SetKey(const char* key, const char* value, ProfileEdit* edit);

  // From now on the keys SetKey adds are not held one by one, only as a filter of filterBits
  // bits: a name it has never seen is added at once, any other is looked for among the added
  // lines through reader. Memory then stays the same however many keys are added. Parsed keys
  // stay exact; a later Parse empties the filter.
  void KeepAddedKeysInFile(IProfileReader* reader, size_t filterBits = size_t{1} << 22);

  // Where the next new key goes; all bytes from here on follow the section.
  size_t InsertAt() const { return m_insertAt; }

 private:
  struct Line {
    size_t begin;  // the key's whole line, without its line break
    size_t end;
  };
  bool ParseLayout(const std::string& bytes, const char* section);
  void ReplaceLine(Line* line, const std::string& bytes, ProfileEdit* edit);
  bool FilterHolds(const std::u16string& folded, bool add);
  bool FindAdded(const std::u16string& folded, Line* line, bool* found);
  // Lines from `from` on move when a line before them changes length.
  void MoveFrom(size_t from, size_t removed, size_t added);

  ProfileEncoding m_encoding = ProfileEncoding::kAnsi;
  std::unordered_map<std::u16string, Line> m_keys;  // by name folded to upper case
  size_t m_insertAt = 0;                            // where a new key's line goes
  std::u16string m_lead;  // what must come first: a line break and/or the section's header
  // Only with KeepAddedKeysInFile: the lines SetKey added lie in [m_addedBegin, m_insertAt).
  IProfileReader* m_reader = nullptr;
  std::vector<uint64_t> m_filter;
  size_t m_filterBits = 0;
  size_t m_addedBegin = 0;
};

// Writes bytes beside path and renames them over it, so a failure leaves the old file whole.
bool ReplaceWholeFile(const char* path, const std::string& bytes);
