#include "package/unzip_single.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"

namespace {

// A zip with several members, as other tools make them, written with minizip directly.
bool WriteZip(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& members) {
  zipFile zip = zipOpen64(platform::HostPath(path.c_str()).c_str(), APPEND_STATUS_CREATE);
  if (!zip)
    return false;
  bool ok = true;
  for (const auto& member : members) {
    zip_fileinfo info = {};
    ok = ok && zipOpenNewFileInZip(zip, member.first.c_str(), &info, nullptr, 0, nullptr, 0,
                                   nullptr, Z_DEFLATED, 6) == ZIP_OK;
    ok = ok && zipWriteInFileInZip(zip, member.second.data(),
                                   static_cast<unsigned>(member.second.size())) == ZIP_OK;
    ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

class UnzipSingleFileTest : public ::testing::Test {
 protected:
  // Unpacks zip bytes into m_dest; returns the result and leaves the fault in m_fault.
  bool Unzip(const std::string& zip) {
    EXPECT_TRUE(WriteWholeFile(m_zip, zip));
    return UnzipSingleFile(m_zip.c_str(), m_dest.c_str(), &m_fault);
  }

  ScratchFolder m_scratch;
  std::string m_zip = m_scratch.Join("file.txt.zip");
  std::string m_dest = m_scratch.Join("file.txt");
  UnzipFault m_fault = UnzipFault::kNone;
  const std::string m_content = std::string(100000, 'a') + "middle" + std::string(50000, 'z');
};

TEST_F(UnzipSingleFileTest, DeflatedAndStoredMembersUnpackIntact) {
  for (int level : {0, 1, 9}) {
    SCOPED_TRACE(level);
    EXPECT_TRUE(Unzip(ZipBytes(m_content, level)));
    EXPECT_EQ(m_fault, UnzipFault::kNone);
    EXPECT_EQ(ReadWholeFile(m_dest), m_content);
  }
}

TEST_F(UnzipSingleFileTest, OnlyTheFirstMemberIsWrittenWhateverItsName) {
  ASSERT_TRUE(WriteZip(m_zip, {{"other-name.bin", "first"}, {"second.txt", "second"}}));
  EXPECT_TRUE(UnzipSingleFile(m_zip.c_str(), m_dest.c_str()));
  EXPECT_EQ(ReadWholeFile(m_dest), "first");

  ASSERT_TRUE(WriteZip(m_zip, {{"folder/", ""}}));
  EXPECT_TRUE(UnzipSingleFile(m_zip.c_str(), m_dest.c_str()));
  EXPECT_TRUE(platform::FileExists(m_dest.c_str()));
  EXPECT_EQ(ReadWholeFile(m_dest), "");
}

TEST_F(UnzipSingleFileTest, ArchivesThatDoNotOpenLeaveTheOutputUntouched) {
  ASSERT_TRUE(WriteWholeFile(m_dest, "previous"));
  std::string zip = ZipBytes(m_content);
  const std::pair<std::string, UnzipFault> cases[] = {
      {"", UnzipFault::kNotZip},  // a zero-size member's staged file
      {"not a zip archive at all", UnzipFault::kNotZip},
      {zip.substr(0, ZipCentralOffset(zip) + 10), UnzipFault::kNotZip},  // cut short
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Unzip(c.first));
    EXPECT_EQ(m_fault, c.second);
    EXPECT_EQ(ReadWholeFile(m_dest), "previous");
  }
  EXPECT_FALSE(UnzipSingleFile(m_scratch.Join("missing.zip").c_str(), m_dest.c_str()));
  EXPECT_EQ(ReadWholeFile(m_dest), "previous");
}

TEST_F(UnzipSingleFileTest, DamagedDataIsAFailureNotASuccess) {
  std::string deflated = ZipBytes(m_content, 6);
  std::string corrupt = deflated;
  size_t data = ZipDataOffset(corrupt);
  for (size_t i = 0; i < 8; ++i)
    corrupt[data + 2 + i] = static_cast<char>(0xFF);
  EXPECT_FALSE(Unzip(corrupt));
  EXPECT_EQ(m_fault, UnzipFault::kDamaged);

  // A stored member whose bytes changed: every byte reads, only the CRC tells.
  std::string stored = ZipBytes(m_content, 0);
  stored[ZipDataOffset(stored) + 100001] ^= 0x20;
  EXPECT_FALSE(Unzip(stored));
  EXPECT_EQ(m_fault, UnzipFault::kCrcMismatch);
  EXPECT_EQ(ReadWholeFile(m_dest).size(), m_content.size());

  // The central directory's CRC disagrees with intact data.
  std::string crc = ZipBytes(m_content, 6);
  crc[ZipCentralOffset(crc) + 16] ^= 0x01;
  crc[kZipLocalCrc] ^= 0x01;
  EXPECT_FALSE(Unzip(crc));
  EXPECT_EQ(m_fault, UnzipFault::kCrcMismatch);
}

TEST_F(UnzipSingleFileTest, EncryptedMemberIsRefused) {
  std::string zip = ZipBytes("secret", 0);
  zip[kZipLocalFlags] |= 1;
  zip[ZipCentralOffset(zip) + 8] |= 1;
  EXPECT_FALSE(Unzip(zip));
  EXPECT_EQ(m_fault, UnzipFault::kEncrypted);
  EXPECT_FALSE(platform::FileExists(m_dest.c_str()));
}

TEST_F(UnzipSingleFileTest, ExistingOutputIsReplacedUnlessReadOnly) {
  ASSERT_TRUE(WriteWholeFile(m_dest, "old contents that are longer than the new ones"));
  EXPECT_TRUE(Unzip(ZipBytes("new")));
  EXPECT_EQ(ReadWholeFile(m_dest), "new");

  ASSERT_TRUE(platform::SetReadOnly(m_dest.c_str()));
  EXPECT_FALSE(Unzip(ZipBytes("newer")));
  EXPECT_EQ(m_fault, UnzipFault::kCannotWrite);
  EXPECT_EQ(ReadWholeFile(m_dest), "new");

  // The output's folder is never created here.
  EXPECT_FALSE(UnzipSingleFile(m_zip.c_str(), m_scratch.Join("no\\such.txt").c_str(), &m_fault));
  EXPECT_EQ(m_fault, UnzipFault::kCannotWrite);
}

}  // namespace
