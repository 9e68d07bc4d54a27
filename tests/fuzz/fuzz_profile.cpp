// Reads arbitrary bytes as setup.ini through the installer's profile functions. Beyond the
// sanitizers' memory checks it traps when a result breaks the buffer contract, when a written
// key does not read back as written, when a write changes what other keys read, or when edits
// planned from one parse (as the uninstall log makes them) differ from the whole-file writer's.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/profile.h"
#include "platform/profile_edit.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Query {
  const char* section;
  const char* key;
  const char* def;
};

// Longer than every buffer below, so the default is cut too.
const std::string kLongDefault(300, 'd');

// The keys setup.exe reads, then names a hand-written file gets wrong.
const Query kQueries[] = {
    {"main", "title", ""},
    {"main", "location", "C:\\Program Files\\Demo"},
    {"main", "needspace", "0"},
    {"main", "totalfiles", "0"},
    {"shortcut", "group", "Demo"},
    {"shortcut", "itemnum", "0"},
    {"shortcut", "item0FileName", ""},
    {"shortcut", "item0Desc", "  padded default  "},
    {"shortcut", "item0Desktop", "0"},
    {"", "title", "nameless section"},
    {"main", "", "empty key"},
    {"my section", "my key", "\"quoted default\""},
    {"[main]", "title", "brackets"},
    {" MAIN ", " Title ", ""},
    {"main", "title", kLongDefault.c_str()},
};
constexpr size_t kQueryCount = sizeof kQueries / sizeof kQueries[0];

// The installer's path buffer (260) and the small sizes where cutting goes wrong.
const uint32_t kSizes[] = {1, 2, 16, 260};

struct Write {
  const char* section;
  const char* key;
  const char* value;
};

// Values that must read back unchanged: no blanks at the ends, no quotes around them.
const Write kWrites[] = {
    {"main", "title", "Demo Application 2.0"},
    {"main", "location", "C:\\Program Files\\Demo"},
    {"shortcut", "itemnum", "3"},
    {"shortcut", "item1Desc", ""},
    {"new section", "new key", "a value"},
    {"", "nameless", "before any section"},
};
constexpr size_t kWriteCount = sizeof kWrites / sizeof kWrites[0];

// Distinct names, as the uninstall log writes them: keys the file may hold, longer and shorter
// than before, and new ones.
const Write kLayoutWrites[] = {
    {"main", "title", "a title longer than most"},
    {"main", "new key", "1"},
    {"main", "LOCATION", "C:"},
    {"main", "totalfiles", "7"},
    {"main", "another new key", "2"},
};

// One parse, every edit taken in turn: the bytes must be those of a whole-file write per key.
void CheckLayout(const uint8_t* data, size_t size, const std::string& path) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CProfileSection layout;
  if (!layout.Parse(bytes, "main"))
    return;
  fuzz::Check(fuzz::WriteFile(path, data, size), "cannot write layout.ini");
  std::string planned = bytes;
  for (const Write& write : kLayoutWrites) {
    ProfileEdit edit;
    bool ok = layout.Plan(write.key, write.value, &edit);
    fuzz::Check(ok == WriteProfileString(write.section, write.key, write.value, path.c_str()),
                "the layout and the whole-file writer disagree on a write");
    if (!ok)
      return;
    layout.Take(edit);
    planned.replace(edit.begin, edit.end - edit.begin, edit.bytes);
    std::string written;
    fuzz::Check(fuzz::ReadFile(path, &written), "cannot read layout.ini");
    fuzz::Check(planned == written, "an edit planned from the layout differs from the writer's");
  }
}

// Every size: the result fits with its terminator, its length is what came back, and a smaller
// buffer gets a prefix of what a larger one gets. Returns the value read with the largest size.
std::string ReadChecked(const Query& query, const std::string& path) {
  std::string previous;
  for (uint32_t size : kSizes) {
    // Exactly size bytes, so ASan sees a write past the end.
    std::unique_ptr<char[]> buffer(new char[size]);
    memset(buffer.get(), 0x7F, size);
    uint32_t n =
        ReadProfileString(query.section, query.key, query.def, buffer.get(), size, path.c_str());
    fuzz::Check(n < size, "result does not leave room for the terminator");
    fuzz::Check(buffer[n] == '\0', "result is not terminated at its length");
    fuzz::Check(strlen(buffer.get()) == n, "result holds a NUL before its length");
    std::string value(buffer.get(), n);
    fuzz::Check(value.compare(0, previous.size(), previous) == 0,
                "a smaller buffer got more than a prefix of the value");
    previous = value;
  }
  ReadProfileInt(query.section, query.key, -1, path.c_str());
  return previous;
}

// One read with the installer's buffer size: what setup.exe would see.
std::string ReadValue(const Query& query, const std::string& path) {
  char buffer[260];
  uint32_t n =
      ReadProfileString(query.section, query.key, query.def, buffer, sizeof buffer, path.c_str());
  return std::string(buffer, n < sizeof buffer ? n : 0);
}

// Key names compare without regard to blanks at the ends and ASCII case.
bool SameKey(const char* a, const char* b) {
  auto trim = [](const char* s) {
    std::string t = s;
    t.erase(0, t.find_first_not_of(" \t"));
    t.erase(t.find_last_not_of(" \t") + 1);
    for (char& c : t)
      c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return t;
  };
  return trim(a) == trim(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& scratch = fuzz::Scratch();
  const std::string path = scratch + "\\setup.ini";
  fuzz::Check(fuzz::WriteFile(path, data, size), "cannot write setup.ini");
  std::string before[kQueryCount];
  for (size_t i = 0; i < kQueryCount; ++i)
    before[i] = ReadChecked(kQueries[i], path);

  // One write per input, picked by its size: mutations change that often, so every write meets
  // every kind of file (a first byte would nearly always be '[').
  const Write& write = kWrites[size % kWriteCount];
  const std::string copy = scratch + "\\edit.ini";
  fuzz::Check(fuzz::WriteFile(copy, data, size), "cannot write edit.ini");
  if (WriteProfileString(write.section, write.key, write.value, copy.c_str())) {
    Query written = {write.section, write.key, "<missing>"};
    fuzz::Check(ReadChecked(written, copy) == write.value, "written value does not read back");
    for (size_t i = 0; i < kQueryCount; ++i) {
      if (!SameKey(kQueries[i].key, write.key))
        fuzz::Check(ReadValue(kQueries[i], copy) == before[i], "a write changed another key");
    }
    // A second identical write finds the line the first one made and replaces it with itself.
    std::string once;
    std::string twice;
    fuzz::Check(fuzz::ReadFile(copy, &once), "cannot read edit.ini");
    fuzz::Check(WriteProfileString(write.section, write.key, write.value, copy.c_str()),
                "a repeated write failed");
    fuzz::Check(fuzz::ReadFile(copy, &twice), "cannot read edit.ini");
    fuzz::Check(once == twice, "a repeated write changed the file");
  }
  CheckLayout(data, size, scratch + "\\layout.ini");
  return 0;
}
