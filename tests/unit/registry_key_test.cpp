// CRegistryKey against the real registry, in a scratch key of this process under
// HKEY_CURRENT_USER that goes away after each test.
#include "shell/registry_key.h"

#include <string>

#include <gtest/gtest.h>

namespace {

class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &m_key, nullptr));
    // GoogleTest's first trace on a thread opens a handle it keeps; take it before counting.
    { SCOPED_TRACE(""); }
    m_nextHandle = NextHandle();
  }
  void TearDown() override {
    EXPECT_EQ(m_nextHandle, NextHandle()) << "a key was left open";
    RegCloseKey(m_key);
    RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    // Fails, as it should, while another run still has its key there.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\InstallerTests");
  }
  // The last of sixteen handles opened together. Wine gives out the lowest free slot, so this
  // moves up exactly when a handle below it was left open; GetProcessHandleCount gives 0 there.
  HKEY NextHandle() const {
    HKEY keys[16] = {};
    for (HKEY& key : keys)
      RegOpenKeyExA(m_key, nullptr, 0, KEY_READ, &key);
    for (HKEY key : keys)
      RegCloseKey(key);
    return keys[15];
  }
  // Stores the bytes exactly: RegSetValueExA counts a NUL it finds just after a string's bytes,
  // so a non-NUL byte is put there.
  void Set(const char* name, DWORD type, const std::string& data) {
    const std::string buffer = data + 'X';
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(m_key, name, 0, type, reinterpret_cast<const BYTE*>(buffer.data()),
                             static_cast<DWORD>(data.size())));
  }

  // Per process, so test runs sharing a Wine prefix do not meet.
  const std::string m_path = "Software\\InstallerTests\\" + std::to_string(GetCurrentProcessId());
  HKEY m_key = nullptr;
  HKEY m_nextHandle = nullptr;
};

struct ValueCase {
  const char* name;
  DWORD type;        // 0: not stored
  std::string data;  // stored byte for byte
  std::string text;  // what QueryString gives for the default "def"
  LONG status;       // m_lStatus afterwards
};

TEST_F(RegistryKeyTest, QueryStringReadsOnlyWholeStringValues) {
  const std::string s254(254, 'a'), s255(255, 'b'), raw255(255, 'c');
  const ValueCase cases[] = {
      {"sz", REG_SZ, std::string("C:\\Program Files\\App\0", 21), "C:\\Program Files\\App", 0},
      {"expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15), "%SystemRoot%\\x", 0},
      {"dword", REG_DWORD, std::string("\x01\0\0\0", 4), "def", 0},
      {"binary", REG_BINARY, std::string("abc\0", 4), "def", 0},
      {"multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5), "def", 0},
      {"longest", REG_SZ, s254 + '\0', s254, 0},
      {"too long", REG_SZ, s255 + '\0', "def", ERROR_MORE_DATA},
      {"empty", REG_SZ, std::string(1, '\0'), "", 0},
      {"no bytes", REG_SZ, "", "", 0},
      {"no terminator", REG_SZ, "abc", "abc", 0},
      {"full, no terminator", REG_SZ, raw255, raw255, 0},
      {"inner NUL", REG_SZ, std::string("ab\0cd\0", 6), "ab", 0},
      {"missing", 0, "", "def", ERROR_FILE_NOT_FOUND},
  };
  for (const ValueCase& c : cases) {
    if (c.type)
      Set(c.name, c.type, c.data);
  }
  CRegistryKey key;
  ASSERT_EQ(1, key.OpenSubKey(m_path.c_str(), 0));
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.type, key.QueryValueType(c.name));
    EXPECT_EQ(c.text, key.QueryString(c.name, "def").str());
    EXPECT_EQ(c.status, key.m_lStatus);
  }
}

TEST_F(RegistryKeyTest, OpenSubKeyIsRelativeToTheRootAndKeepsThePathOnFailure) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(m_key, "Volatile", 0, nullptr, REG_OPTION_VOLATILE,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  RegCloseKey(key);
  const std::string deep = m_path + "\\Missing\\Deeper";
  CRegistryKey reg;
  ASSERT_EQ(1, reg.OpenSubKey(m_path.c_str(), 0));

  EXPECT_EQ(0, reg.OpenSubKey(deep.c_str(), 0));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.m_lStatus);
  EXPECT_EQ(m_path, reg.m_strSubKey.str());
  // The system refuses a lasting key below a volatile one; the reason is kept.
  EXPECT_EQ(0, reg.OpenSubKey((m_path + "\\Volatile\\Child").c_str(), 1));
  EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, reg.m_lStatus);
  EXPECT_EQ(m_path, reg.m_strSubKey.str());

  EXPECT_EQ(1, reg.OpenSubKey(deep.c_str(), 1));
  EXPECT_EQ(deep, reg.m_strSubKey.str());
  EXPECT_EQ(1, reg.OpenSubKey(m_path.c_str(), 0));  // from the root, not below deep
  EXPECT_EQ(1, reg.OpenSubKey(deep.c_str(), 0));    // it lasts

  reg.SelectRoot(HKEY_LOCAL_MACHINE);
  reg.m_lStatus = ERROR_FILE_NOT_FOUND;
  reg.Clear();
  EXPECT_EQ(HKEY_CURRENT_USER, reg.m_hRoot);
  EXPECT_TRUE(reg.m_strSubKey.IsEmpty());
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.m_lStatus);
}

TEST_F(RegistryKeyTest, SelectRootTakesOnlyThePredefinedRoots) {
  const struct {
    HKEY root;
    int taken;
  } cases[] = {{HKEY_CLASSES_ROOT, 1}, {HKEY_CURRENT_USER, 1},   {HKEY_LOCAL_MACHINE, 1},
               {HKEY_USERS, 1},        {HKEY_CURRENT_CONFIG, 0}, {m_key, 0}};
  for (const auto& c : cases) {
    CRegistryKey reg;
    reg.m_hRoot = HKEY_USERS;
    reg.m_strSubKey = "Kept";
    EXPECT_EQ(c.taken, reg.SelectRoot(c.root));
    EXPECT_EQ(c.taken ? c.root : HKEY_USERS, reg.m_hRoot);
    EXPECT_EQ("Kept", reg.m_strSubKey.str());
  }
}

TEST_F(RegistryKeyTest, EmptySubKeySelectsTheRootItself) {
  // A value of the root's own, per process; only EXPECTs until it is removed again.
  const std::string name = "InstallerTests." + std::to_string(GetCurrentProcessId());
  RegSetValueExA(HKEY_CURRENT_USER, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("root"),
                 5);
  CRegistryKey fresh, reg;
  EXPECT_EQ("root", fresh.QueryString(name.c_str(), "def").str());
  EXPECT_EQ(1, reg.OpenSubKey(m_path.c_str(), 0));
  EXPECT_EQ("def", reg.QueryString(name.c_str(), "def").str());
  reg.m_lStatus = 1234;  // no registry call may replace it
  EXPECT_EQ(1, reg.OpenSubKey("", 1));
  EXPECT_EQ(1234, reg.m_lStatus);
  EXPECT_TRUE(reg.m_strSubKey.IsEmpty());
  EXPECT_EQ("root", reg.QueryString(name.c_str(), "def").str());
  RegDeleteValueA(HKEY_CURRENT_USER, name.c_str());
}

TEST(RegistryKeyShellFolders, ProgramsAndDesktopAreSet) {
  CRegistryKey reg;
  ASSERT_EQ(1, reg.OpenSubKey(
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0));
  for (const char* name : {"Programs", "Desktop"}) {
    const std::string path = reg.QueryString(name, "").str();
    EXPECT_EQ(name, path.substr(path.find_last_of('\\') + 1)) << path;
  }
}

}  // namespace
