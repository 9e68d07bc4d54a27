#include "tests/unit/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

ScratchFolder::ScratchFolder() {
  platform::MakeTempFolder("instest", &m_path);
}

ScratchFolder::~ScratchFolder() {
  if (!m_path.empty())
    platform::RemoveTree(m_path.c_str());
}

std::string ScratchFolder::Join(const std::string& relative) const {
  return m_path + "\\" + relative;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = platform::OpenFile(path.c_str(), "wb");
  if (!file)
    return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return fclose(file) == 0 && ok;
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path.c_str(), "rb", &bytes);
  return bytes;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
#ifdef _WIN32
  return CreateHardLinkA(link.c_str(), existing.c_str(), nullptr) != 0;
#else
  return ::link(platform::HostPath(existing.c_str()).c_str(),
                platform::HostPath(link.c_str()).c_str()) == 0;
#endif
}
