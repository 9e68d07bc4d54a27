#include "tools/pack_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/pack_format.h"
#include "platform/file.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"
#include "tools/pack_reader_tools.h"

namespace {

class PackWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::CreateFolder(m_source.c_str()));
    for (const char* folder : {"b", "b\\deep", "a"})
      ASSERT_TRUE(platform::CreateFolder((m_source + "\\" + folder).c_str()));
    for (const auto& file : m_files)
      ASSERT_TRUE(WriteWholeFile(m_source + "\\" + file.first, file.second));
  }

  bool Build(const std::string& out, int level = BuildOptions().level) {
    BuildOptions options;
    options.level = level;
    return BuildPack(m_source, out, options, &m_summary, &m_error);
  }

  std::vector<std::string> Names(const std::string& pak) {
    std::vector<std::string> names;
    PackFault fault;
    EXPECT_TRUE(ListPack(
        pak, [&](const MemberListing& m) { names.push_back(m.name); }, &fault));
    return names;
  }

  ScratchFolder m_scratch;
  std::string m_source = m_scratch.Join("src");
  std::string m_pak = m_scratch.Join("data.pak");
  const std::vector<std::pair<std::string, std::string>> m_files = {
      {"z.txt", "last"}, {"a\\one.txt", "one"}, {"b\\deep\\two.bin", std::string(70000, '\x07')},
      {"b\\empty", ""},  {"B.TXT", "upper"},
  };
  BuildSummary m_summary;
  std::string m_error;
};

TEST_F(PackWriterTest, MembersAreEveryFileInSortedOrderAndUnpackIntact) {
  ASSERT_TRUE(Build(m_pak)) << m_error;
  EXPECT_EQ(m_summary.members, m_files.size());
  EXPECT_EQ(Names(m_pak), (std::vector<std::string>{"B.TXT", "a\\one.txt", "b\\deep\\two.bin",
                                                    "b\\empty", "z.txt"}));
  std::string dest = m_scratch.Join("installed");
  size_t members = 0;
  PackFault fault;
  ASSERT_TRUE(ExtractPack(m_pak, dest, true, nullptr, &members, &fault)) << fault.what;
  EXPECT_EQ(members, m_files.size());
  for (const auto& file : m_files)
    EXPECT_EQ(ReadWholeFile(dest + "\\" + file.first), file.second);
}

TEST_F(PackWriterTest, SameInputGivesTheSameBytesAndLevelZeroStores) {
  ASSERT_TRUE(Build(m_pak));
  std::string again = m_scratch.Join("again.pak");
  ASSERT_TRUE(Build(again));
  EXPECT_EQ(ReadWholeFile(m_pak), ReadWholeFile(again));

  ASSERT_TRUE(Build(again, 0));
  std::string stored = ReadWholeFile(again);
  EXPECT_EQ(stored[kPackHeaderSize + kZipLocalMethod], 0);
  EXPECT_GT(stored.size(), ReadWholeFile(m_pak).size());
  size_t members = 0;
  PackFault fault;
  EXPECT_TRUE(VerifyPack(again, &members, &fault)) << fault.what;
}

// A file larger than a chunk is one deflate stream of joined chunks. Every way a chunk can end
// must join: after a Huffman block at any bit of its last byte (text in small chunks), after
// several blocks, stored or not, and at a chunk's end exactly.
TEST_F(PackWriterTest, MembersDeflatedInChunksUnpackIntact) {
  const char* const words[] = {"setup ", "install ", "folder\n", "a ", "of ", "data ", "x", "\r\n"};
  std::string text, noise;
  uint32_t seed = 1;
  for (int i = 0; i < 40000; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += words[seed >> 16 & 7];
    noise += static_cast<char>(seed >> 24);
  }
  const struct {
    const char* what;
    std::string content;
    size_t chunkBytes;
  } cases[] = {
      {"text", text, 1000},
      {"noise and text", noise.substr(0, 30000) + text.substr(0, 60000), 45000},
      {"whole chunks", text.substr(0, 3000), 1000},
      {"empty", "", 1000},
  };
  std::string sourcePath = m_scratch.Join("chunked");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteWholeFile(sourcePath, c.content));
    CMemberDeflater deflater(kBestLevel, c.chunkBytes);
    platform::CFile source, pak;
    ASSERT_TRUE(source.Open(sourcePath.c_str(), "rb") && pak.Open(m_pak.c_str(), "wb"));
    ASSERT_TRUE(AppendPackMember(pak.Get(), "member", source.Get(), &deflater, &m_error))
        << m_error;
    ASSERT_TRUE(pak.Close());
    std::string dest = m_scratch.Join(std::string("out-") + c.what);
    size_t members = 0;
    PackFault fault;
    ASSERT_TRUE(ExtractPack(m_pak, dest, true, nullptr, &members, &fault)) << fault.what;
    EXPECT_EQ(ReadWholeFile(dest + "\\member"), c.content);
  }
}

TEST_F(PackWriterTest, RefusesWhatTheInstallerCouldNotInstall) {
  const std::vector<std::pair<PackEntry, std::string>> cases = {
      {{std::string(260, 'n'), "x", 1}, "260 bytes"},
      {{"a\\..\\x", "x", 1}, "'..'"},
      {{"lpt1.txt", "x", 1}, "device"},
      {{"what?.txt", "x", 1}, "forbids"},
      {{"huge.iso", "x", 1ull << 32}, "4 GiB"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(CheckPackEntries({c.first}, &error));
    EXPECT_NE(error.find(c.second), std::string::npos) << error;
  }
  EXPECT_TRUE(CheckPackEntries({{"ok\\x", "x", (1ull << 32) - 1}}, &m_error));
}

TEST_F(PackWriterTest, FailedBuildLeavesNoOutputBehind) {
  ASSERT_TRUE(WriteWholeFile(m_pak, "previous package"));
  BuildOptions options;
  options.level = kBestLevel + 1;
  EXPECT_FALSE(BuildPack(m_source, m_pak, options, &m_summary, &m_error));
  EXPECT_FALSE(BuildPack(m_scratch.Join("missing"), m_pak, BuildOptions(), &m_summary, &m_error));
  EXPECT_NE(m_error.find("does not exist"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(m_pak), "previous package");
  EXPECT_FALSE(platform::FileExists((m_pak + ".part").c_str()));
}

// Damage that verify must find, with the offset and name of the member it is in.
TEST_F(PackWriterTest, VerifyReportsTheFirstFaultWithItsMember) {
  std::string good = MemberBytes("good.txt", "fine");
  std::string second = MemberBytes("second.txt", std::string(5000, 's'), 0);
  std::string badCrc = second;
  badCrc[kPackHeaderSize + ZipDataOffset(second.substr(kPackHeaderSize)) + 10] ^= 1;
  struct Case {
    std::string tail;
    std::string name;
    std::string what;
  } cases[] = {
      {second.substr(0, second.size() - 1), "second.txt", "truncated"},
      {badCrc, "second.txt", "CRC"},
      {RawHeader("second.txt", 5) + "hello", "second.txt", "not a zip"},
      {RawHeader("..\\second.txt", 4) + "PK\x03\x04", "..\\second.txt", "safe"},
      {second.substr(0, 100), "", "truncated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteWholeFile(m_pak, good + c.tail));
    size_t members = 0;
    PackFault fault;
    EXPECT_FALSE(VerifyPack(m_pak, &members, &fault));
    EXPECT_EQ(fault.offset, good.size());
    EXPECT_EQ(fault.name, c.name);
    EXPECT_NE(fault.what.find(c.what), std::string::npos) << fault.what;
    EXPECT_EQ(members, 1u);
  }
}

}  // namespace
