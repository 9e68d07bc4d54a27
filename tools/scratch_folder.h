#pragma once
// A temporary folder of mkpak's, removed with what it holds when its owner goes.

#include <string>

#include "platform/fs.h"

class CScratchFolder {
 public:
  CScratchFolder() = default;
  ~CScratchFolder() {
    if (!m_path.empty())
      platform::RemoveTree(m_path.c_str());
  }
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;
  bool Create() { return platform::MakeTempFolder("mkpak-", &m_path); }
  const std::string& Path() const { return m_path; }
  std::string Join(const char* name) const { return m_path + "\\" + name; }

 private:
  std::string m_path;
};
