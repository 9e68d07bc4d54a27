#include "platform/file_closer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/fs.h"
#include "tests/unit/test_support.h"

namespace {

// Whether a handle to the file is still open anywhere in this process.
bool StillOpen(const std::string& path, int fd) {
#ifdef _WIN32
  (void)fd;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return false;
#else
  (void)path;
  return fcntl(fd, F_GETFD) != -1;
#endif
}

// More files than may wait at once, so the writer also waits for room.
TEST(FileCloser, EveryFileHandedOverIsClosedWhenFinishReturns) {
  ScratchFolder scratch;
  std::vector<std::string> paths;
  std::vector<int> fds;
  platform::CFileCloser closer;
  for (int i = 0; i < 200; ++i) {
    paths.push_back(scratch.Join("f" + std::to_string(i)));
    FILE* file = platform::OpenFile(paths.back().c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fds.push_back(fileno(file));
    std::string bytes = "file " + std::to_string(i);
    ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
    ASSERT_EQ(0, fflush(file));
    closer.Close(file, paths.back().c_str());
  }
  std::string failed;
  platform::ErrorCode error = 0;
  EXPECT_TRUE(closer.Finish(&failed, &error));
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_FALSE(StillOpen(paths[i], fds[i])) << paths[i];
    EXPECT_EQ("file " + std::to_string(i), ReadWholeFile(paths[i]));
  }
}

#ifndef _WIN32
// A stream whose descriptor is already gone fails to close, as a close on a lost share would.
// Each is closed before the next file opens, which could otherwise reuse its descriptor.
TEST(FileCloser, TheFirstFailedCloseIsReportedWithItsPath) {
  ScratchFolder scratch;
  platform::CFileCloser closer;
  std::string failed;
  platform::ErrorCode error = 0;
  for (const char* name : {"good", "bad1", "bad2", "good2"}) {
    std::string path = scratch.Join(name);
    FILE* file = platform::OpenFile(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    if (name[0] == 'b')
      close(fileno(file));
    closer.Close(file, path.c_str());
    closer.Finish(&failed, &error);
  }
  EXPECT_FALSE(closer.Finish(&failed, &error));
  EXPECT_EQ(scratch.Join("bad1"), failed);
  EXPECT_EQ(static_cast<platform::ErrorCode>(EBADF), error);
}
#endif

}  // namespace
