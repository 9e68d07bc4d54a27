#pragma once
// Wine's virtual desktop goes away when its last window does, and a program starting just then
// fails to make its windows. A hidden window of the test program keeps the desktop up.

#include <windows.h>

#include <gtest/gtest.h>

class KeepDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    m_window = CreateWindowA("STATIC", "keep desktop", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr);
  }
  void TearDown() override {
    if (m_window)
      DestroyWindow(m_window);
  }

 private:
  HWND m_window = nullptr;
};
