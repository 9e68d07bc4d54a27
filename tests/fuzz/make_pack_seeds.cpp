// Writes the seed corpus of fuzz_pack_reader: small packages made by the pack tool's own writer,
// so the fuzzer starts from the bytes mkpak really produces, plus the damaged and hostile
// variants no writer would make. Run it after a change to the package format, then commit:
//   fuzz_pack_seeds tests/fuzz/corpus/pack
#include <cstdio>
#include <cstring>
#include <string>

#include "package/pack_file.h"
#include "platform/fs.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/pack_writer.h"

using namespace std::string_literals;

namespace {

// One member (header and zip) exactly as mkpak writes it; exits on failure, since a missing
// seed would quietly weaken the corpus.
std::string Member(const std::string& name, const std::string& content, int level = 6) {
  FILE* source = tmpfile();
  FILE* pak = tmpfile();
  std::string error = "cannot make a temporary file";
  std::string bytes;
  bool ok = source && pak && fwrite(content.data(), 1, content.size(), source) == content.size();
  if (ok) {
    rewind(source);
    ok = AppendPackMember(pak, name, source, level, &error);
  }
  if (ok) {
    rewind(pak);
    ok = platform::ReadToEnd(pak, &bytes);
    if (!ok)
      error = "cannot read the member back";
  }
  if (source)
    fclose(source);
  if (pak)
    fclose(pak);
  if (!ok) {
    fprintf(stderr, "member %s: %s\n", name.c_str(), error.c_str());
    exit(1);
  }
  return bytes;
}

// A member's name field replaced by bytes the writer would refuse (up to all 260, unterminated).
std::string Renamed(std::string member, const std::string& name) {
  memset(&member[0], 0, kPackNameSize);
  memcpy(&member[0], name.data(), name.size() < kPackNameSize ? name.size() : kPackNameSize);
  return member;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = platform::InstallerPath(argv[1]);
  const std::string readme = Member("readme.txt", "Thank you for installing Demo.\r\n");
  const std::string two = Member("app.exe", "MZ\x90\0\x03\0\0\0 demo program"s) +
                          Member("data\\words.txt", "alpha beta gamma delta alpha beta gamma\n");
  std::string headerOnly(kPackHeaderSize, '\0');
  memcpy(&headerOnly[0], "nothing.txt", 11);

  const struct {
    const char* file;
    std::string bytes;
  } seeds[] = {
      {"empty.pak", ""},
      {"one_member.pak", readme},
      {"two_members_subfolder.pak", two},
      {"empty_file.pak", Member("empty.txt", "")},
      {"zero_data_size.pak", headerOnly},
      {"stored.pak", Member("stored.txt", "stored as it is, not deflated", 0)},
      {"truncated_data.pak", two.substr(0, two.size() - 20)},
      {"truncated_header.pak", readme.substr(0, 100)},
      {"parent_name.pak", Renamed(readme, "..\\escape.txt")},
      {"unterminated_name.pak", Renamed(readme, std::string(kPackNameSize, 'A'))},
  };
  for (const auto& seed : seeds) {
    if (!fuzz::WriteFile(folder + "\\" + seed.file, seed.bytes.data(), seed.bytes.size())) {
      fprintf(stderr, "cannot write %s in %s\n", seed.file, argv[1]);
      return 1;
    }
  }
  printf("%zu seeds written to %s\n", sizeof seeds / sizeof seeds[0], argv[1]);
  return 0;
}
