// The uninstall log's bytes on every kind of template, written through at once, what it does
// when the file cannot be written, and a log of install size.
#include "install/uninstall_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "platform/fs.h"
#include "platform/profile.h"
#include "tests/unit/test_support.h"
#include "tests/unit/uninstall_log_cases.h"

namespace {

std::string LogValue(const std::string& path, const char* key) {
  char buffer[260];
  ReadProfileString("files", key, "<none>", buffer, sizeof buffer, path.c_str());
  return buffer;
}

// The whole-file writer gives the same bytes key by key.
TEST(UninstallLog, TemplatesGetTheExpectedBytes) {
  ScratchFolder scratch;
  for (const LogCase& c : LogCases()) {
    SCOPED_TRACE(c.name);
    std::string path = scratch.Join(std::string(c.name) + ".ini");
    std::string slow = scratch.Join(std::string(c.name) + ".slow.ini");
    if (c.hasFile) {
      ASSERT_TRUE(WriteWholeFile(path, c.before));
      ASSERT_TRUE(WriteWholeFile(slow, c.before));
    }
    CUninstallLog log(path.c_str());
    int index = 0;
    for (const char* entry : LogEntries()) {
      std::string key = "file" + std::to_string(index++);
      EXPECT_TRUE(log.AddEntry(entry));
      // On disk before AddEntry returns, with the log still open.
      EXPECT_EQ(entry, LogValue(path, key.c_str()));
      EXPECT_TRUE(WriteProfileString("files", key.c_str(), entry, slow.c_str()));
    }
    EXPECT_TRUE(log.WriteCount());
    EXPECT_TRUE(WriteProfileString("files", "filenum", "3", slow.c_str()));
    EXPECT_EQ(c.after, ReadWholeFile(path));
    EXPECT_EQ(c.after, ReadWholeFile(slow));
    EXPECT_EQ(3, log.Entries());
    EXPECT_FALSE(log.Failed());
    EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
  }
}

// A log that cannot be written says why, leaves what is there alone, and counts nothing.
TEST(UninstallLog, UnwritableLogIsReportedWithItsReason) {
  ScratchFolder scratch;
  const std::string before = "[files]\r\nfile0=C:\\a\r\n";
  struct Case {
    const char* name;
    std::function<bool(const std::string&)> make;
  } cases[] = {
      {"folder", [](const std::string& p) { return platform::CreateFolder(p.c_str()); }},
      {"read_only",
       [&](const std::string& p) {
         return WriteWholeFile(p, before) && platform::SetReadOnly(p.c_str());
       }},
      {"missing_folder", [](const std::string&) { return true; }},
      // A second name of a file elsewhere, made before the installation: never written into.
      {"hard_link",
       [&](const std::string& p) {
         std::string elsewhere = scratch.Join("elsewhere.ini");
         return WriteWholeFile(elsewhere, before) && MakeHardLink(elsewhere, p);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string folder = scratch.Join(c.name);
    ASSERT_TRUE(std::string(c.name) == "missing_folder" || platform::CreateFolder(folder.c_str()));
    std::string path = folder + "\\uninstall.ini";
    ASSERT_TRUE(c.make(path));
    CUninstallLog log(path.c_str());
    EXPECT_FALSE(log.AddEntry("C:\\b"));
    EXPECT_FALSE(log.AddEntry("C:\\c"));
    EXPECT_FALSE(log.WriteCount());
    EXPECT_EQ(0, log.Entries());
    EXPECT_TRUE(log.Failed());
    EXPECT_FALSE(log.Failure().empty());
    EXPECT_EQ(log.Path(), path);
    if (platform::FileExists(path.c_str())) {
      platform::SetNormalAttributes(path.c_str());
      EXPECT_EQ(before, ReadWholeFile(path));
    }
  }

  // An entry that would not read back as written is refused; the next one takes its number.
  std::string path = scratch.Join("uninstall.ini");
  ASSERT_TRUE(WriteWholeFile(path, "[files]\r\n"));
  CUninstallLog log(path.c_str());
  EXPECT_FALSE(log.AddEntry("C:\\a\r\nfile9=C:\\x"));
  EXPECT_TRUE(log.AddEntry("C:\\b"));
  EXPECT_TRUE(log.WriteCount());
  EXPECT_TRUE(log.Failed());
  EXPECT_EQ("[files]\r\nfile0=C:\\b\r\nfilenum=1\r\n", ReadWholeFile(path));
}

#ifndef _WIN32
// A full disk, made by the process's file size limit, cuts a write short inside the template's
// tail and past the old end. The entry is reported and not counted; the next write rebuilds the
// file, so neither the cut line nor its stray bytes past the shorter new end remain.
TEST(UninstallLog, WriteThatFailsPartWayIsRepairedByTheNext) {
  ScratchFolder scratch;
  std::string path = scratch.Join("uninstall.ini");
  ASSERT_TRUE(WriteWholeFile(path, "[files]\r\n[other]\r\nkeep=1\r\n"));
  CUninstallLog log(path.c_str());
  ASSERT_TRUE(log.AddEntry("C:\\a"));

  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = ReadWholeFile(path).size() + 30;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &tight));
  bool written = log.AddEntry(("C:\\" + std::string(60, 'b')).c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(platform::ErrorText(EFBIG), log.Failure());
  EXPECT_EQ(1, log.Entries());
  EXPECT_TRUE(log.AddEntry("C:\\c"));
  EXPECT_TRUE(log.WriteCount());
  EXPECT_EQ("[files]\r\nfile0=C:\\a\r\nfile1=C:\\c\r\nfilenum=2\r\n[other]\r\nkeep=1\r\n",
            ReadWholeFile(path));
  EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
}
#endif

// A template count, replaced at the end, is copied past a log many buffers long.
TEST(UninstallLog, TwentyThousandEntriesAreCompleteAndInOrder) {
  ScratchFolder scratch;
  std::string path = scratch.Join("uninstall.ini");
  const std::string head = "[product]\r\nname=App\r\n[files]\r\n";
  const std::string tail = "[other]\r\nkeep=1\r\n";
  ASSERT_TRUE(WriteWholeFile(path, head + "filenum=0\r\n" + tail));
  std::string expected = head + "filenum=20000\r\n";
  const int kEntries = 20000;
  CUninstallLog log(path.c_str());
  for (int i = 0; i < kEntries; ++i) {
    std::string value =
        "C:\\Program Files\\App\\dir" + std::to_string(i % 50) + "\\f" + std::to_string(i) + ".dat";
    ASSERT_TRUE(log.AddEntry(value.c_str()));
    expected += "file" + std::to_string(i) + "=" + value + "\r\n";
  }
  ASSERT_TRUE(log.WriteCount());
  EXPECT_EQ(kEntries, log.Entries());
  EXPECT_EQ(expected + tail, ReadWholeFile(path));
}

}  // namespace
