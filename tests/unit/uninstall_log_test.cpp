// The uninstall log's bytes on every kind of template, write-through, what it does when the file
// changes under it or cannot be written, and a log of install size.
#include "install/uninstall_log.h"

#include <gtest/gtest.h>

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

// The slow path gives the same bytes, so falling back to it mid-log changes nothing.
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
    {
      CUninstallLog log(path.c_str());
      for (const LogWrite& w : LogWrites()) {
        SCOPED_TRACE(w.key);
        EXPECT_TRUE(log.Write(w.key, w.value));
        // On disk before Write returns, with the log still open.
        EXPECT_EQ(w.value, LogValue(path, w.key));
        EXPECT_TRUE(WriteProfileString("files", w.key, w.value, slow.c_str()));
      }
      EXPECT_EQ(c.after, ReadWholeFile(path));
    }
    EXPECT_EQ(c.after, ReadWholeFile(slow));
    EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
  }
}

// Someone else's change is kept: the log notices the new size and starts afresh from the file.
TEST(UninstallLog, KeepsChangesMadeUnderIt) {
  ScratchFolder scratch;
  std::string path = scratch.Join("uninstall.ini");
  ASSERT_TRUE(WriteWholeFile(path, "[files]\r\n[b]\r\n"));
  CUninstallLog log(path.c_str());
  EXPECT_TRUE(log.Write("file0", "C:\\a"));
  ASSERT_TRUE(WriteWholeFile(path, ReadWholeFile(path) + "k=1\r\n[late]\r\n"));
  EXPECT_TRUE(log.Write("file1", "C:\\b"));
  EXPECT_TRUE(log.Write("file2", "C:\\c"));
  EXPECT_EQ("[files]\r\nfile0=C:\\a\r\nfile1=C:\\b\r\nfile2=C:\\c\r\n[b]\r\nk=1\r\n[late]\r\n",
            ReadWholeFile(path));
}

TEST(UninstallLog, FailuresAreReportedAndLeaveTheFileAlone) {
  ScratchFolder scratch;
  const std::string before = "[files]\r\nfile0=C:\\a\r\n";
  std::string readOnly = scratch.Join("readonly.ini");
  ASSERT_TRUE(WriteWholeFile(readOnly, before));
  ASSERT_TRUE(platform::SetReadOnly(readOnly.c_str()));
  {
    CUninstallLog log(readOnly.c_str());
    EXPECT_FALSE(log.Write("file0", "C:\\b"));
    EXPECT_FALSE(log.Write("file1", "C:\\b"));
  }
  platform::SetNormalAttributes(readOnly.c_str());
  EXPECT_EQ(before, ReadWholeFile(readOnly));

  CUninstallLog orphan(scratch.Join("absent\\uninstall.ini").c_str());
  EXPECT_FALSE(orphan.Write("file0", "C:\\a"));

  // Refused keys and values change nothing, and the log goes on where it was.
  std::string path = scratch.Join("uninstall.ini");
  ASSERT_TRUE(WriteWholeFile(path, before));
  CUninstallLog log(path.c_str());
  EXPECT_TRUE(log.Write("file1", "C:\\b"));
  EXPECT_FALSE(log.Write("a=b", "C:\\c"));
  EXPECT_FALSE(log.Write("file2", "C:\\c\r\nfile3=C:\\d"));
  EXPECT_FALSE(log.Write(nullptr, "C:\\c"));
  EXPECT_TRUE(log.Write("file2", "C:\\c"));
  EXPECT_EQ(before + "file1=C:\\b\r\nfile2=C:\\c\r\n", ReadWholeFile(path));
}

#ifndef _WIN32
// A full disk, made by the process's file size limit: the write that does not fit reports
// false, earlier entries stay, and once there is room the log carries on, mending the line that
// was cut short.
TEST(UninstallLog, FullDiskIsReportedAndRecovered) {
  ScratchFolder scratch;
  std::string path = scratch.Join("uninstall.ini");
  ASSERT_TRUE(WriteWholeFile(path, "[files]\r\n"));
  CUninstallLog log(path.c_str());
  ASSERT_TRUE(log.Write("file0", "C:\\a"));

  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = saved;
  tight.rlim_cur = ReadWholeFile(path).size() + 5;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &tight));
  bool written = log.Write("file1", "C:\\bb");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ("C:\\a", LogValue(path, "file0"));
  EXPECT_TRUE(log.Write("file1", "C:\\bb"));
  EXPECT_TRUE(log.Write("file2", "C:\\c"));
  EXPECT_EQ("[files]\r\nfile0=C:\\a\r\nfile1=C:\\bb\r\nfile2=C:\\c\r\n", ReadWholeFile(path));
}
#endif

// Keys the log added and no longer holds in memory are found in the file when written again.
TEST(UninstallLog, RepeatedKeysInALongLogMatchTheSlowPath) {
  ScratchFolder scratch;
  for (const std::string& before : LongLogTemplates()) {
    std::string path = scratch.Join("uninstall.ini");
    std::string slow = scratch.Join("slow.ini");
    ASSERT_TRUE(WriteWholeFile(path, before));
    CUninstallLog log(path.c_str());
    for (int i = 0; i < kLongLogEntries; ++i)
      ASSERT_TRUE(log.Write(LongLogKey(i).c_str(), LongLogValue(i).c_str()));
    // Every key again as it is: each is found, wherever the reads split the file, and
    // replaced by itself.
    std::string whole = ReadWholeFile(path);
    for (int i = 0; i < kLongLogEntries; ++i)
      ASSERT_TRUE(log.Write(LongLogKey(i).c_str(), LongLogValue(i).c_str()));
    ASSERT_EQ(whole, ReadWholeFile(path));
    ASSERT_TRUE(WriteWholeFile(slow, whole));
    for (const LogWrite& w : LongLogRepeats()) {
      SCOPED_TRACE(w.key);
      EXPECT_TRUE(log.Write(w.key, w.value));
      EXPECT_TRUE(WriteProfileString("files", w.key, w.value, slow.c_str()));
      EXPECT_EQ(ReadWholeFile(slow), ReadWholeFile(path));
    }
    EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
  }
}

TEST(UninstallLog, TwentyThousandEntriesAreCompleteAndInOrder) {
  ScratchFolder scratch;
  std::string path = scratch.Join("uninstall.ini");
  const std::string head = "[product]\r\nname=App\r\n[files]\r\n";
  const std::string tail = "[other]\r\nkeep=1\r\n";
  ASSERT_TRUE(WriteWholeFile(path, head + tail));
  std::string expected = head;
  const int kEntries = 20000;
  {
    CUninstallLog log(path.c_str());
    for (int i = 0; i < kEntries; ++i) {
      std::string key = "file" + std::to_string(i);
      std::string value = "C:\\Program Files\\App\\dir" + std::to_string(i % 50) + "\\f" +
                          std::to_string(i) + ".dat";
      ASSERT_TRUE(log.Write(key.c_str(), value.c_str()));
      expected += key + "=" + value + "\r\n";
    }
    ASSERT_TRUE(log.Write("filenum", std::to_string(kEntries).c_str()));
  }
  expected += "filenum=" + std::to_string(kEntries) + "\r\n" + tail;
  EXPECT_EQ(expected, ReadWholeFile(path));
}

}  // namespace
