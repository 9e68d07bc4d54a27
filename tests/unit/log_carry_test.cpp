#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/log_carry.h"
#include "install/log_entries.h"
#include "install/uninstall_log.h"
#include "platform/fs.h"
#include "tests/unit/test_support.h"

namespace {

const char kTemplate[] = "[uninstall]\r\ntitle=Demo\r\n\r\n[files]\r\n";

// An earlier installation into App: two files, its group with a link, a desktop link.
class LogCarryTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* folder : {"App", "App\\sub", "Programs", "Programs\\Old", "Desktop"})
      platform::CreateFolder(Path(folder).c_str());
    for (const char* file : {"App\\a.txt", "App\\sub\\b.txt", "Programs\\Old\\Run.lnk",
                             "Desktop\\Run.lnk", "outside.txt"})
      ASSERT_TRUE(WriteWholeFile(Path(file), "x"));
    ASSERT_TRUE(WriteWholeFile(Path("uninstall.ini"), kTemplate));
  }

  std::string Path(const std::string& relative) const { return m_scratch.Join(relative); }
  std::string LogPath() const { return Path("App\\uninstall.ini"); }
  int Prepare() {
    LogPlaces places{Path("App").c_str(), Path("Programs").c_str(), Path("Desktop").c_str()};
    return PrepareLog(places, Path("uninstall.ini").c_str());
  }
  // The log as the uninstaller reads it, after one more entry from the worker.
  std::vector<std::string> EntriesAfterWorker(int firstEntry) {
    CUninstallLog log(LogPath().c_str(), firstEntry);
    EXPECT_TRUE(log.AddEntry(Path("App\\new.txt").c_str()));
    EXPECT_TRUE(log.WriteCount());
    CLogKeys keys;
    EXPECT_TRUE(keys.Load(LogPath().c_str()));
    std::vector<std::string> out;
    for (const CString& entry : ReadLogEntries(&keys))
      out.push_back(entry.c_str());
    return out;
  }

  ScratchFolder m_scratch;
};

TEST_F(LogCarryTest, EarlierEntriesTheRulesAllowAndThatStillExist) {
  const std::string a = Path("App\\a.txt"), b = Path("App\\sub\\b.txt");
  const std::string group = Path("Programs\\Old"), link = Path("Programs\\Old\\Run.lnk");
  const std::string desktop = Path("Desktop\\Run.lnk"), added = Path("App\\new.txt");
  struct Row {
    const char* what;
    std::string old;  // the old log's [files]
    std::vector<std::string> entries;
    const char* groupCount;
  } rows[] = {
      {"with filenum",
       "file0=" + a + "\r\nfile1=" + b + "\r\nfile2=" + group + "\r\nfile3=" + link +
           "\r\nfile4=" + desktop + "\r\nfilenum=5\r\n",
       {a, b, group, link, desktop, added},
       "2"},
      {"cancelled: no filenum, read up to the gap",
       "file0=" + a + "\r\nfile1=" + b + "\r\nfile3=" + desktop + "\r\n",
       {a, b, added},
       nullptr},
      {"tampered",
       "file0=" + Path("outside.txt") + "\r\nfile1=" + Path("App\\..\\outside.txt") +
           "\r\nfile2=" + a + "\r\nfile3=" + Path("Desktop\\..\\outside.txt") + "\r\n",
       {a, added},
       nullptr},
      {"gone, and a repeat",
       "file0=" + Path("App\\gone.txt") + "\r\nfile1=" + a + "\r\nfile2=" + a + "\r\n",
       {a, added},
       nullptr},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(WriteWholeFile(LogPath(), "[uninstall]\r\ntitle=Old\r\n[files]\r\n" + row.old));
    int first = Prepare();
    EXPECT_EQ(first + 1, static_cast<int>(row.entries.size())) << row.what;
    // The template's text, then the carried entries.
    std::string log = ReadWholeFile(LogPath());
    EXPECT_EQ(log.rfind(kTemplate, 0), 0u) << row.what << "\n" << log;
    CLogKeys keys;
    keys.Parse(log);
    CString count;
    EXPECT_EQ(keys.Read("groupnum", &count), row.groupCount != nullptr) << row.what;
    if (row.groupCount) {
      EXPECT_STREQ(count, row.groupCount) << row.what;
    }
    EXPECT_EQ(EntriesAfterWorker(first), row.entries) << row.what;
  }
}

// No readable log of ours: the template, byte for byte, and the worker starts at file0; the
// old log stays whole when the new one cannot be written.
TEST_F(LogCarryTest, FirstInstallationsAndFailures) {
  EXPECT_EQ(Prepare(), 0);
  EXPECT_EQ(ReadWholeFile(LogPath()), kTemplate);

  ASSERT_TRUE(platform::RemoveFile(LogPath().c_str()));
  ASSERT_TRUE(platform::CreateFolder(LogPath().c_str()));
  EXPECT_EQ(Prepare(), 0);
  EXPECT_TRUE(platform::FolderExists(LogPath().c_str()));
  ASSERT_TRUE(platform::RemoveFolder(LogPath().c_str()));

  const std::string old = "[files]\r\nfile0=" + Path("App\\a.txt") +
                          "\r\nfile1=" + Path("App\\gone.txt") + "\r\nfilenum=2\r\n";
  ASSERT_TRUE(WriteWholeFile(LogPath(), old));
  ASSERT_TRUE(platform::CreateFolder((LogPath() + ".tmp").c_str()));  // nothing can go beside
  EXPECT_EQ(Prepare(), 2);
  EXPECT_EQ(ReadWholeFile(LogPath()), old);
}

}  // namespace
