// CUninstallLog against the system's WritePrivateProfileStringA on the same templates and
// writes: the system's own reader must see the same sections, keys and values in both files,
// and where Wine writes the same bytes (see LogCase::wineBytes), the files must be identical.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "install/uninstall_log.h"
#include "tests/unit/test_support.h"
#include "tests/unit/uninstall_log_cases.h"

namespace {

// Splits the API's list of NUL-terminated strings.
std::vector<std::string> Strings(const std::vector<char>& buffer, DWORD length) {
  std::vector<std::string> strings;
  for (DWORD i = 0; i < length; i += strings.back().size() + 1)
    strings.emplace_back(&buffer[i]);
  return strings;
}

// Key names compare without regard to case, so they are listed folded.
std::string FoldedKey(std::string line) {
  for (size_t i = 0; i < line.size() && line[i] != '='; ++i)
    line[i] = static_cast<char>(toupper(static_cast<unsigned char>(line[i])));
  return line;
}

// Every section (the nameless one first) with its lines, as the system reads them.
std::vector<std::string> Listing(const std::string& path) {
  std::vector<char> buffer(1 << 16);
  DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), buffer.size(), path.c_str());
  std::vector<std::string> names = Strings(buffer, length);
  names.insert(names.begin(), "");
  std::vector<std::string> listing;
  for (const std::string& name : names) {
    listing.push_back("[" + name + "]");
    length = GetPrivateProfileSectionA(name.c_str(), buffer.data(), buffer.size(), path.c_str());
    for (const std::string& line : Strings(buffer, length))
      listing.push_back(FoldedKey(line));
  }
  return listing;
}

TEST(UninstallLogAgainstWindows, ReadsTheSameAndMatchesWinesBytes) {
  ScratchFolder scratch;
  for (const LogCase& c : LogCases()) {
    SCOPED_TRACE(c.name);
    std::string ours = scratch.Join(std::string(c.name) + ".ours.ini");
    std::string theirs = scratch.Join(std::string(c.name) + ".theirs.ini");
    if (c.hasFile) {
      ASSERT_TRUE(WriteWholeFile(ours, c.before));
      ASSERT_TRUE(WriteWholeFile(theirs, c.before));
    }
    {
      CUninstallLog log(ours.c_str());
      int index = 0;
      for (const char* entry : LogEntries()) {
        std::string key = "file" + std::to_string(index++);
        EXPECT_TRUE(log.AddEntry(entry));
        EXPECT_TRUE(WritePrivateProfileStringA("files", key.c_str(), entry, theirs.c_str()));
      }
      EXPECT_TRUE(log.WriteCount());
      EXPECT_TRUE(WritePrivateProfileStringA("files", "filenum", "3", theirs.c_str()));
    }
    std::vector<std::string> listing = Listing(theirs);
    EXPECT_EQ(listing, Listing(ours));
    EXPECT_NE(listing.end(), std::find(listing.begin(), listing.end(), "FILENUM=3"));
    if (c.wineBytes) {
      EXPECT_EQ(ReadWholeFile(theirs), ReadWholeFile(ours));
    }
  }
}

}  // namespace
