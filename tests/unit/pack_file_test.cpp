#include "package/pack_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/unzip_single.h"
#include "platform/held_folder.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

class PackFileTest : public ::testing::Test {
 public:
  std::string Path(const char* relative) const { return m_scratch.Join(relative); }

 protected:
  // Writes the package bytes and opens them with a reader as the installer does.
  void OpenPackage(const std::string& bytes) {
    m_pack.Close();
    ASSERT_TRUE(WriteWholeFile(m_pakPath, bytes));
    ASSERT_TRUE(m_pack.Open(m_pakPath.c_str(), true));
  }

  // Every file and folder below the scratch folder except the package itself.
  std::vector<std::string> Created(const std::string& folder = "") {
    std::vector<std::string> found;
    std::vector<platform::FolderEntry> entries;
    std::string path = folder.empty() ? m_scratch.path() : m_scratch.Join(folder);
    if (!platform::ListFolder(path.c_str(), &entries))
      return found;
    for (const platform::FolderEntry& entry : entries) {
      std::string relative = folder.empty() ? entry.name : folder + "\\" + entry.name;
      if (relative == "data.pak")
        continue;
      found.push_back(relative);
      if (entry.folder) {
        for (const std::string& inner : Created(relative))
          found.push_back(inner);
      }
    }
    return found;
  }

  ScratchFolder m_scratch;
  std::string m_pakPath = m_scratch.Join("data.pak");
  std::string m_location = m_scratch.Join("dest");
  CPackFile m_pack;
  char m_name[kPackNameSize] = {};
};

TEST_F(PackFileTest, EmptyPackageEndsCleanlyAndCreatesNothing) {
  OpenPackage("");
  EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kEnd);
  EXPECT_TRUE(Created().empty());
}

TEST_F(PackFileTest, PartialHeaderIsTruncationAndWritesNothing) {
  std::string member = MemberBytes("a.txt", "alpha");
  for (size_t extra : {size_t{1}, size_t{100}, kPackHeaderSize - 1}) {
    SCOPED_TRACE(extra);
    OpenPackage(member + RawHeader("b.txt", 5).substr(0, extra));
    ASSERT_TRUE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
    EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
    EXPECT_EQ(m_pack.StopReason(), PackStop::kTruncated);
    EXPECT_EQ(Created(), (std::vector<std::string>{"dest", "dest\\a.txt.zip"}));
    platform::RemoveTree(m_location.c_str());
  }
}

TEST_F(PackFileTest, StagesEachMemberBelowTheLocationWithItsFolders) {
  // The location's own parents are missing too: the walk creates all of them.
  std::string location = m_scratch.Join("new\\dest");
  std::string first = MemberBytes("top.txt", "top");
  std::string nested = MemberBytes("a\\b\\c.txt", "nested");
  std::string empty = RawHeader("zero.bin", 0);
  OpenPackage(first + nested + empty);

  ASSERT_TRUE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_STREQ(m_name, "top.txt");
  ASSERT_TRUE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_STREQ(m_name, "a\\b\\c.txt");
  ASSERT_TRUE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_STREQ(m_name, "zero.bin");
  EXPECT_FALSE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kEnd);

  EXPECT_EQ(ReadWholeFile(location + "\\top.txt.zip"), first.substr(kPackHeaderSize));
  EXPECT_EQ(ReadWholeFile(location + "\\a\\b\\c.txt.zip"), nested.substr(kPackHeaderSize));
  EXPECT_TRUE(platform::FileExists((location + "\\zero.bin.zip").c_str()));
  EXPECT_EQ(ReadWholeFile(location + "\\zero.bin.zip"), "");
  EXPECT_FALSE(platform::FileExists((location + "\\a\\b\\c.txt").c_str()));
}

TEST_F(PackFileTest, FolderRemovedBetweenMembersIsMadeAgain) {
  OpenPackage(MemberBytes("a\\x.txt", "x") + MemberBytes("a\\y.txt", "y"));
  ASSERT_TRUE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  ASSERT_TRUE(platform::RemoveTree(m_location.c_str()));
  ASSERT_TRUE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_TRUE(platform::FileExists((m_location + "\\a\\y.txt.zip").c_str()));
}

TEST_F(PackFileTest, LocationWithTrailingBackslashIsUsedAsGiven) {
  OpenPackage(MemberBytes("sub\\f.txt", "data"));
  std::string location = m_location + "\\";
  ASSERT_TRUE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_TRUE(platform::FileExists((m_location + "\\sub\\f.txt.zip").c_str()));
}

TEST_F(PackFileTest, DataEndingInsideAMemberLeavesTheTruncatedStagedFile) {
  std::string member = MemberBytes("big.txt", std::string(5000, 'x'), 0);
  OpenPackage(member.substr(0, kPackHeaderSize + 40));
  EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kTruncated);
  EXPECT_STREQ(m_pack.StopName(), "big.txt");
  EXPECT_EQ(ReadWholeFile(m_location + "\\big.txt.zip").size(), 40u);
  // The stream is at its end now; asking again reports the same damage.
  EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kTruncated);
}

TEST_F(PackFileTest, HostileNamesAreRefusedBeforeAnythingIsWritten) {
  const std::string hostile[] = {
      "..\\escaped.txt",     "a\\..\\..\\escaped.txt", "\\escaped.txt", "C:\\escaped.txt",
      "c:escaped.txt",       "a/../../escaped.txt",    "con.txt",       "",
      std::string(260, 'n'),  // no terminator within the name field
  };
  for (const std::string& name : hostile) {
    SCOPED_TRACE(name);
    OpenPackage(RawHeader(name, 4) + "PK\x03\x04");
    EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
    EXPECT_EQ(m_pack.StopReason(), PackStop::kUnsafeName);
    EXPECT_TRUE(Created().empty());
  }
}

TEST_F(PackFileTest, StagedPathThatWouldNotFitIsRefused) {
  // location + "\" + name + ".zip" fills the longest path exactly; one more character is over.
  std::string location = m_scratch.Join("LLL");
  std::string name(kMaxPathChars - 5 - location.size(), 'n');
  OpenPackage(MemberBytes(name, "x") + MemberBytes(name, "x"));
  ASSERT_TRUE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  location += "L";
  EXPECT_FALSE(m_pack.ExtractNext(location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kPathTooLong);
  EXPECT_FALSE(platform::FolderExists(location.c_str()));
}

TEST_F(PackFileTest, StagedFileThatCannotBeWrittenIsAnIoError) {
  OpenPackage(MemberBytes("locked.txt", "data"));
  ASSERT_TRUE(platform::CreateFolder(m_location.c_str()));
  std::string staged = m_location + "\\locked.txt.zip";
  ASSERT_TRUE(WriteWholeFile(staged, "mine"));
  ASSERT_TRUE(platform::SetReadOnly(staged.c_str()));
  EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kIoError);
  EXPECT_NE(m_pack.StopError(), 0u);
  EXPECT_EQ(ReadWholeFile(staged), "mine");
}

TEST_F(PackFileTest, OpenAndModeRules) {
  OpenPackage(MemberBytes("a.txt", "alpha") + MemberBytes("b.txt", "beta"));
  // A null path changes nothing: the open stream stays usable.
  EXPECT_FALSE(m_pack.Open(nullptr, true));
  ASSERT_TRUE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_FALSE(m_pack.ExtractNext(nullptr, nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kNotReadable);
  // A path that cannot be opened closes the old stream.
  EXPECT_FALSE(m_pack.Open(m_scratch.Join("missing.pak").c_str(), true));
  EXPECT_FALSE(m_pack.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kNotReadable);
  EXPECT_EQ(m_pack.Close(), 0);

  // Write mode truncates, and never reads without a stream of the caller's.
  std::string other = m_scratch.Join("other.pak");
  CPackFile writer(other.c_str(), false);
  EXPECT_FALSE(writer.ExtractNext(m_location.c_str(), nullptr, m_name));
  EXPECT_EQ(writer.StopReason(), PackStop::kNotReadable);
  platform::CFile stream;
  ASSERT_TRUE(stream.Open(m_pakPath.c_str(), "rb"));
  EXPECT_TRUE(writer.ExtractNext(m_location.c_str(), stream.Get(), nullptr));
}

// Bytes that deflate cannot shrink, so their archive stays as large as they are.
std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

TEST_F(PackFileTest, MembersUnpackInPlaceWithoutStagedArchives) {
  // Small archives are read into memory, large ones read where they lie; the order mixes both
  // so that the stream must find each next header after a large member.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", "alpha"},         {"bin\\big.dat", Noise(3 * kMemberInMemoryMax, 1)},
      {"bin\\small.txt", "beta"}, {"stored.bin", Noise(kMemberInMemoryMax + 1, 2)},
      {"empty.txt", ""},          {"x\\y\\z.txt", "nested"},
  };
  std::string bytes;
  for (const auto& file : files)
    bytes += MemberBytes(file.first, file.second, file.first == "stored.bin" ? 0 : 6);
  OpenPackage(bytes);
  std::string location = m_scratch.Join("new\\dest");
  for (const auto& file : files) {
    SCOPED_TRACE(file.first);
    ASSERT_TRUE(m_pack.NextMember(location.c_str(), m_name));
    EXPECT_EQ(m_name, file.first);
    std::string finalPath = location + "\\" + m_name;
    UnzipFault fault;
    EXPECT_TRUE(m_pack.UnzipMember(&fault)) << DescribeUnzipFault(fault);
    EXPECT_EQ(ReadWholeFile(finalPath), file.second);
  }
  EXPECT_FALSE(m_pack.NextMember(location.c_str(), m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kEnd);
  for (const std::string& created : Created())
    EXPECT_EQ(created.find(".zip"), std::string::npos) << created;
}

TEST_F(PackFileTest, DamageFoundInPlaceStopsOrFailsOnlyThatMember) {
  // A member whose data the package does not hold whole is truncation, found before anything
  // is made for it, small or large.
  for (size_t size : {size_t{5000}, 2 * size_t{kMemberInMemoryMax}}) {
    SCOPED_TRACE(size);
    std::string member = MemberBytes("sub\\cut.dat", Noise(size, 3), 0);
    OpenPackage(MemberBytes("ok.txt", "ok") + member.substr(0, member.size() - 1));
    ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
    EXPECT_FALSE(m_pack.NextMember(m_location.c_str(), m_name));
    EXPECT_EQ(m_pack.StopReason(), PackStop::kTruncated);
    EXPECT_STREQ(m_pack.StopName(), "sub\\cut.dat");
    EXPECT_EQ(Created(), (std::vector<std::string>{"dest"}));
    platform::RemoveTree(m_location.c_str());
  }

  // Corrupt data inside a large archive fails that file; the next member still reads.
  std::string big = MemberBytes("big.dat", Noise(2 * kMemberInMemoryMax, 4), 0);
  big[kPackHeaderSize + ZipDataOffset(big.substr(kPackHeaderSize)) + 1000] ^= 0x55;
  OpenPackage(big + MemberBytes("after.txt", "after"));
  ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  UnzipFault fault;
  EXPECT_FALSE(m_pack.UnzipMember(&fault));
  EXPECT_EQ(fault, UnzipFault::kCrcMismatch);
  ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  EXPECT_TRUE(m_pack.UnzipMember(&fault));
  EXPECT_EQ(ReadWholeFile(m_location + "\\after.txt"), "after");

  // With nothing staged, the longest path is the file's own.
  std::string name(kMaxPathChars - 1 - m_location.size(), 'n');
  OpenPackage(MemberBytes(name, "x"));
  EXPECT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  OpenPackage(MemberBytes(name + "n", "x"));
  EXPECT_FALSE(m_pack.NextMember(m_location.c_str(), m_name));
  EXPECT_EQ(m_pack.StopReason(), PackStop::kPathTooLong);
}

#ifdef _WIN32
// Wine makes no junctions: the system's answer is changed so that dest\sub reads as one. The
// member that goes there fails, and nothing is written through it.
std::string g_junction;
bool IsJunction(const std::string& final) {
  return platform::SameFinalPath(final, g_junction);
}

TEST_F(PackFileTest, NothingIsWrittenThroughAJunction) {
  ASSERT_TRUE(platform::CreateFolder(m_location.c_str()));
  ASSERT_TRUE(platform::CreateFolder(Path("dest\\sub").c_str()));
  g_junction = Path("dest\\sub");
  platform::SetLinkForTesting(IsJunction);
  OpenPackage(MemberBytes("sub\\1.txt", "ours"));
  ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  UnzipFault fault = UnzipFault::kNone;
  EXPECT_FALSE(m_pack.UnzipMember(&fault));
  platform::SetLinkForTesting(nullptr);
  EXPECT_EQ(fault, UnzipFault::kLinkedFolder);
  EXPECT_FALSE(platform::FileExists(Path("dest\\sub\\1.txt").c_str()));
}
#endif

#ifndef _WIN32
// What a program that can write the chosen folder may prepare, or do between two members, to
// have the installer write elsewhere: a link where a member's folder goes, that folder or the
// chosen folder itself swapped for a link, a hard or symbolic link under a member's name. POSIX
// links stand in for junctions (Windows ones need a privilege the tests do not have).
struct PlantRow {
  const char* what;
  void (*before)(PackFileTest*);   // before the first member
  void (*between)(PackFileTest*);  // between the two members
  UnzipFault second;               // what becomes of the second member
};

class PlantTest : public PackFileTest, public ::testing::WithParamInterface<PlantRow> {};

void Link(PackFileTest* test, const char* target, const char* link) {
  ASSERT_EQ(symlink(platform::HostPath(test->Path(target).c_str()).c_str(),
                    platform::HostPath(test->Path(link).c_str()).c_str()),
            0);
}

void SwapForLink(PackFileTest* test, const char* folder) {
  ASSERT_TRUE(platform::RenameReplacing(test->Path(folder).c_str(),
                                        (test->Path(folder) + ".away").c_str()));
  Link(test, "elsewhere", folder);
}

TEST_P(PlantTest, NothingElsewhereIsWritten) {
  const PlantRow& row = GetParam();
  ASSERT_TRUE(platform::CreateFolder(Path("elsewhere").c_str()));
  ASSERT_TRUE(platform::CreateFolder(Path("dest").c_str()));
  for (const char* name : {"1.txt", "2.txt"})
    ASSERT_TRUE(WriteWholeFile(Path("elsewhere\\") + name, "not ours"));
  if (row.before)
    row.before(this);
  OpenPackage(MemberBytes("sub\\1.txt", "ours") + MemberBytes("sub\\2.txt", "ours"));
  UnzipFault fault = UnzipFault::kNone;
  ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  m_pack.UnzipMember(&fault);
  if (row.between)
    row.between(this);
  ASSERT_TRUE(m_pack.NextMember(m_location.c_str(), m_name));
  m_pack.UnzipMember(&fault);
  EXPECT_EQ(fault, row.second) << DescribeUnzipFault(fault);
  for (const char* name : {"1.txt", "2.txt"})
    EXPECT_EQ(ReadWholeFile(Path("elsewhere\\") + name), "not ours") << name;
}

const PlantRow kPlants[] = {
    {"LinkWhereAFolderGoes", [](PackFileTest* t) { Link(t, "elsewhere", "dest\\sub"); }, nullptr,
     UnzipFault::kLinkedFolder},
    {"FolderSwappedBetweenMembers", nullptr, [](PackFileTest* t) { SwapForLink(t, "dest\\sub"); },
     UnzipFault::kNone},
    {"ChosenFolderSwappedBetweenMembers", nullptr, [](PackFileTest* t) { SwapForLink(t, "dest"); },
     UnzipFault::kNone},
    {"HardLinkUnderAMemberName",
     [](PackFileTest* t) {
       ASSERT_TRUE(platform::CreateFolder(t->Path("dest\\sub").c_str()));
       ASSERT_EQ(link(platform::HostPath(t->Path("elsewhere\\2.txt").c_str()).c_str(),
                      platform::HostPath(t->Path("dest\\sub\\2.txt").c_str()).c_str()),
                 0);
     },
     nullptr, UnzipFault::kNone},
    {"SymbolicLinkUnderAMemberName",
     [](PackFileTest* t) {
       ASSERT_TRUE(platform::CreateFolder(t->Path("dest\\sub").c_str()));
       Link(t, "elsewhere\\2.txt", "dest\\sub\\2.txt");
     },
     nullptr, UnzipFault::kNone},
};
INSTANTIATE_TEST_SUITE_P(Plants, PlantTest, ::testing::ValuesIn(kPlants),
                         [](const auto& info) { return std::string(info.param.what); });
#endif

}  // namespace
