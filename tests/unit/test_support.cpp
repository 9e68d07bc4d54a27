#include "tests/unit/test_support.h"

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
