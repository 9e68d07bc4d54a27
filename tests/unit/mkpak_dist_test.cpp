// mkpak dist and mkpak check as a publisher runs them: the program itself, started with its
// arguments, its report and exit status read back (natively, and mkpak.exe under Wine).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "onefile/seal.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/setup_config.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace {

void Put(std::string* bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

// The headers of a PE32 program for machine, with code bytes after them: all that the check
// reads, and enough for osslsigncode to sign.
std::string ProgramBytes(uint32_t machine, size_t code = 0) {
  std::string bytes(0x40 + 24 + 0xe0, '\0');
  bytes.replace(0, 2, "MZ");
  Put(&bytes, 0x3c, 0x40, 4);
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  Put(&bytes, 0x44, machine, 2);
  Put(&bytes, 0x54, 0xe0, 2);     // size of the optional header
  Put(&bytes, 0x56, 0x0102, 2);   // an executable for a 32-bit machine
  Put(&bytes, 0x58, 0x10b, 2);    // PE32
  Put(&bytes, 0x58 + 92, 16, 4);  // data directories, all empty
  return bytes + std::string(code, '\x90');
}

// The one-file program as mkpak sees it: a program whose image holds an empty seal.
std::string CarrierBytes() {
  const char magic[16] = {ONEFILE_SEAL_MAGIC};
  std::string seal(onefile::kSealSize, '\0');
  seal.replace(0, sizeof magic, magic, sizeof magic);
  std::string bytes = ProgramBytes(0x14c, 4096);
  bytes.replace(0x400, seal.size(), seal);
  return bytes;
}

// A 24-bit bitmap with a BITMAPINFOHEADER.
std::string BitmapBytes(uint32_t width, uint32_t height, uint32_t planes = 1) {
  uint32_t stride = (width * 3 + 3) / 4 * 4;
  std::string bytes(54 + stride * height, '\0');
  bytes.replace(0, 2, "BM");
  Put(&bytes, 2, static_cast<uint32_t>(bytes.size()), 4);
  Put(&bytes, 10, 54, 4);
  Put(&bytes, 14, 40, 4);
  Put(&bytes, 18, width, 4);
  Put(&bytes, 22, height, 4);
  Put(&bytes, 26, planes, 2);
  Put(&bytes, 28, 24, 2);
  return bytes;
}

const char* const kFiles[] = {"setup.exe", "setup.ini", "data.pak", "uninstall.ini", "face.bmp"};

std::string Quote(const std::string& text) {
#ifdef _WIN32
  return "\"" + text + "\"";
#else
  return "'" + platform::HostPath(text.c_str()) + "'";
#endif
}

class MkpakDistTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // mkpak is copied beside the test program; here it finds setup.exe and uninstall.exe
    // beside itself, as in a release.
    std::string built = GetModuleDir().str() + kMkpakName;
    ASSERT_TRUE(platform::CopyFileReplacing(built.c_str(), m_mkpak.c_str()));
#ifndef _WIN32
    ASSERT_EQ(chmod(platform::HostPath(m_mkpak.c_str()).c_str(), 0755), 0);
#endif
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("setup.exe"), ProgramBytes(0x14c)));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("uninstall.exe"), "MZ uninstaller"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("onefile.exe"), CarrierBytes()));
    for (const char* folder : {"payload", "payload\\docs"})
      ASSERT_TRUE(platform::CreateFolder(m_scratch.Join(folder).c_str()));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("payload\\readme.txt"), "read me"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("payload\\docs\\license.txt"), "free"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("face.bmp"), BitmapBytes(384, 151)));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("template.ini"), "[uninstall]\r\ntitle=App\r\n"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("setup.ini"),
                               "; the demo\r\n[main]\r\ntitle=App Setup\r\n\r\n[shortcut]\r\n"
                               "group=App\r\nitemnum=2\r\nitem0FileName=readme.txt\r\n"
                               "item0Desc=Read Me\r\nitem1FileName=docs\r\nitem1Desc=Docs\r\n"));
  }

  // Runs mkpak with args; returns its exit status, with what it printed in m_said.
  int Mkpak(const std::vector<std::string>& args) {
    std::string command = Quote(m_mkpak);
    for (const std::string& arg : args)
      command += " " + Quote(arg);
    std::string said = m_scratch.Join("said.txt");
    command += " >" + Quote(said) + " 2>&1";
#ifdef _WIN32
    // cmd /c takes off the outer quotes.
    int status = system(("\"" + command + "\"").c_str());
#else
    int raw = system(command.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    m_said = ReadWholeFile(said);
    return status;
  }

  int Dist(const std::string& out, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {
        "dist",       m_scratch.Join("payload"),     "-o",     out,
        "--ini",      m_scratch.Join("setup.ini"),   "--face", m_scratch.Join("face.bmp"),
        "--template", m_scratch.Join("template.ini")};
    args.insert(args.end(), more.begin(), more.end());
    return Mkpak(args);
  }

#ifdef _WIN32
  static constexpr const char* kMkpakName = "mkpak.exe";
#else
  static constexpr const char* kMkpakName = "mkpak";
#endif
  ScratchFolder m_scratch;
  std::string m_mkpak = m_scratch.Join(kMkpakName);
  std::string m_said;
};

struct FaultRow {
  const char* fault;
  void (*make)(const std::string& dist);
  int status;
  const char* said;  // part of the report
};

void SetKey(const std::string& dist, const char* section, const char* key, const char* value) {
  ASSERT_TRUE(WriteProfileString(section, key, value, (dist + "\\setup.ini").c_str()));
}

void Remove(const std::string& dist, const char* file) {
  ASSERT_TRUE(platform::RemoveFile((dist + "\\" + file).c_str()));
}

void Write(const std::string& dist, const char* file, const std::string& bytes) {
  ASSERT_TRUE(WriteWholeFile(dist + "\\" + file, bytes));
}

std::string PackageWithout(bool uninstallerLast) {
  std::string pak = MemberBytes("docs\\license.txt", "free") + MemberBytes("readme.txt", "read me");
  return uninstallerLast ? pak + MemberBytes("uninstall.exe", "MZ") : pak;
}

const FaultRow kFaults[] = {
    {"no setup.exe", [](const std::string& d) { Remove(d, "setup.exe"); }, 1,
     "error: setup.exe: missing"},
    {"setup.exe for x86-64",
     [](const std::string& d) { Write(d, "setup.exe", ProgramBytes(0x8664)); }, 1,
     "error: setup.exe: is built for machine 0x8664 (x86-64), not i686"},
    {"no data.pak", [](const std::string& d) { Remove(d, "data.pak"); }, 1,
     "error: data.pak: missing"},
    {"data.pak cut short",
     [](const std::string& d) { Write(d, "data.pak", PackageWithout(false).substr(0, 300)); }, 1,
     "error: data.pak: fault at offset 0 (member 'docs\\license.txt')"},
    {"setup.exe cut short inside its header",
     [](const std::string& d) { Write(d, "setup.exe", ProgramBytes(0x14c).substr(0, 0x5c)); }, 1,
     "error: setup.exe: is cut short inside its PE header"},
    {"shortcut to nothing",
     [](const std::string& d) { SetKey(d, "shortcut", "item0FileName", "bin\\app.exe"); }, 1,
     "error: setup.ini: [shortcut] item0FileName=bin\\app.exe names no member of data.pak"},
    {"group leaves the Programs folder",
     [](const std::string& d) { SetKey(d, "shortcut", "group", "..\\Windows"); }, 1,
     "error: setup.ini: [shortcut] group=..\\Windows holds a '..' component"},
    {"description Windows forbids",
     [](const std::string& d) { SetKey(d, "shortcut", "item1Desc", "Docs?"); }, 1,
     "error: setup.ini: [shortcut] item1Desc=Docs? holds a character that Windows forbids"},
    {"description in a folder never made",
     [](const std::string& d) { SetKey(d, "shortcut", "item1Desc", "More\\Docs"); }, 1,
     "error: setup.ini: [shortcut] item1Desc=More\\Docs holds a backslash"},
    {"uninstaller not first",
     [](const std::string& d) { Write(d, "data.pak", PackageWithout(true)); }, 1,
     "error: data.pak: uninstall.exe is member 3, not the first"},
    {"totalfiles wrong", [](const std::string& d) { SetKey(d, "main", "totalfiles", "2"); }, 0,
     "warning: setup.ini: [main] totalfiles=2, but data.pak holds 3 members"},
    {"needspace too small", [](const std::string& d) { SetKey(d, "main", "needspace", "0"); }, 0,
     "warning: setup.ini: [main] needspace=0, but the files take 1 MB unpacked"},
    {"no face.bmp", [](const std::string& d) { Remove(d, "face.bmp"); }, 0,
     "warning: face.bmp: missing"},
    {"face.bmp Windows does not load",
     [](const std::string& d) { Write(d, "face.bmp", BitmapBytes(10, 10, 2)); }, 0,
     "warning: face.bmp: has 2 colour planes instead of 1"},
    {"face.bmp cut short",
     [](const std::string& d) { Write(d, "face.bmp", BitmapBytes(10, 10).substr(0, 100)); }, 0,
     "warning: face.bmp: is cut short"},
    {"face.bmp too wide", [](const std::string& d) { Write(d, "face.bmp", BitmapBytes(385, 20)); },
     0, "warning: face.bmp: 385 x 20 pixels is larger than the main dialog's 384 x 151"},
    {"no log template", [](const std::string& d) { Remove(d, "uninstall.ini"); }, 0,
     "warning: uninstall.ini: missing"},
    {"no uninstaller", [](const std::string& d) { Write(d, "data.pak", PackageWithout(false)); }, 0,
     "warning: data.pak: holds no uninstall.exe"},
    {"itemnum counts an item without keys",
     [](const std::string& d) { SetKey(d, "shortcut", "itemnum", "3"); }, 0,
     "warning: setup.ini: [shortcut] itemnum=3, but item 2 has no keys"},
    {"an item beyond itemnum",
     [](const std::string& d) { SetKey(d, "shortcut", "item2Desc", "Late"); }, 0,
     "warning: setup.ini: [shortcut] item2Desc is never read, as itemnum=2"},
    {"member name two-byte code pages read differently",
     [](const std::string& d) {
       Write(d, "data.pak",
             MemberBytes("uninstall.exe", "MZ") + PackageWithout(false) +
                 MemberBytes("docs\\r\xE9sum\xE9.txt", "cv"));
     },
     0,
     "warning: data.pak: member 'docs\\r\xE9sum\xE9.txt' has a byte of 0x80 or above before a "
     "backslash or ASCII letter, so on Chinese, Japanese or Korean Windows the name reads "
     "differently"},
    {"value the installer cuts",
     [](const std::string& d) { SetKey(d, "main", "title", std::string(260, 'x').c_str()); }, 0,
     "warning: setup.ini: [main] title is 260 characters long"},
};

TEST_F(MkpakDistTest, ChecksAGoodFolderCleanAndReportsEachFaultWithItsStatus) {
  std::string good = m_scratch.Join("good");
  ASSERT_EQ(Dist(good), 0) << m_said;
  EXPECT_NE(m_said.find("mkpak check: 0 errors, 0 warnings"), std::string::npos) << m_said;
  EXPECT_NE(m_said.find("info: setup.exe: not signed"), std::string::npos) << m_said;
  EXPECT_EQ(ReadWholeFile(good + "\\setup.ini"),
            "; the demo\r\n[main]\r\ntitle=App Setup\r\ntotalfiles=3\r\nneedspace=1\r\n\r\n"
            "[shortcut]\r\ngroup=App\r\nitemnum=2\r\nitem0FileName=readme.txt\r\n"
            "item0Desc=Read Me\r\nitem1FileName=docs\r\nitem1Desc=Docs\r\n");

  for (const FaultRow& row : kFaults) {
    SCOPED_TRACE(row.fault);
    std::string dist = m_scratch.Join(row.fault);
    ASSERT_TRUE(platform::CreateFolder(dist.c_str()));
    for (const char* file : kFiles)
      ASSERT_TRUE(
          platform::CopyFileReplacing((good + "\\" + file).c_str(), (dist + "\\" + file).c_str()));
    row.make(dist);
    EXPECT_EQ(Mkpak({"check", dist}), row.status) << m_said;
    EXPECT_NE(m_said.find(row.said), std::string::npos) << m_said;
  }
  EXPECT_EQ(Mkpak({"check", "--strict", m_scratch.Join("no face.bmp")}), 1) << m_said;
  EXPECT_NE(m_said.find("mkpak check: 0 errors, 1 warning"), std::string::npos) << m_said;
}

TEST_F(MkpakDistTest, SameInputsGiveTheSameFolderAndAnEarlierOneIsReplaced) {
  std::string first = m_scratch.Join("first");
  std::string second = m_scratch.Join("second");
  ASSERT_EQ(Dist(first, {"--one-file", first + ".exe"}), 0) << m_said;
  ASSERT_EQ(Dist(second, {"--one-file", second + ".exe"}), 0) << m_said;
  ASSERT_EQ(Dist(second, {"--one-file", second + ".exe"}), 0) << m_said;
  for (const char* file : kFiles) {
    std::string bytes = ReadWholeFile(first + "\\" + file);
    EXPECT_FALSE(bytes.empty()) << file;
    EXPECT_EQ(bytes, ReadWholeFile(second + "\\" + file)) << file;
  }
  EXPECT_TRUE(ReadWholeFile(first + ".exe") == ReadWholeFile(second + ".exe"));
}

TEST_F(MkpakDistTest, RefusalsLeaveNothingBehind) {
  std::string dist = m_scratch.Join("dist");
  ASSERT_EQ(Dist(dist), 0) << m_said;
  std::string before = ReadWholeFile(dist + "\\data.pak");
  // The payload already holds the uninstaller that dist would put first.
  ASSERT_TRUE(WriteWholeFile(m_scratch.Join("payload\\Uninstall.exe"), "MZ"));
  EXPECT_EQ(Dist(dist), 2) << m_said;
  EXPECT_NE(m_said.find("already holds 'Uninstall.exe'"), std::string::npos) << m_said;
  EXPECT_EQ(ReadWholeFile(dist + "\\data.pak"), before);
  ASSERT_TRUE(platform::RemoveFile(m_scratch.Join("payload\\Uninstall.exe").c_str()));

  // A folder with something else in it is not the publisher's distribution to replace.
  ASSERT_TRUE(WriteWholeFile(dist + "\\notes.txt", "mine"));
  EXPECT_EQ(Dist(dist), 2) << m_said;
  EXPECT_NE(m_said.find("holds 'notes.txt'"), std::string::npos) << m_said;
  EXPECT_EQ(ReadWholeFile(dist + "\\notes.txt"), "mine");

  // Inside the payload, the folder would be packed into itself.
  EXPECT_EQ(Dist(m_scratch.Join("payload\\dist")), 2) << m_said;
  EXPECT_NE(m_said.find("lies inside the payload"), std::string::npos) << m_said;
  EXPECT_FALSE(platform::FolderExists(m_scratch.Join("payload\\dist.part").c_str()));

  EXPECT_EQ(Dist(m_scratch.Join("new"), {"--setup", m_scratch.Join("none.exe")}), 2) << m_said;
  for (const char* left : {"new", "new.part", "dist.part", "dist.old"})
    EXPECT_FALSE(platform::FolderExists(m_scratch.Join(left).c_str())) << left;
}

// Signing: each program is signed as a copy, the signature read back by mkpak check, and a
// change after signing or a failed command caught.
TEST_F(MkpakDistTest, SignsCopiesOfBothProgramsAndCheckReportsTheirSignatures) {
  std::string tool, openssl;
  if (!platform::FindOnPath("osslsigncode", &tool) || !platform::FindOnPath("openssl", &openssl))
    GTEST_SKIP() << "osslsigncode or openssl is not installed";
  std::string cert = m_scratch.Join("cert.pem"), key = m_scratch.Join("key.pem");
  ASSERT_EQ(system((Quote(openssl) +
                    " req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Test"
                    " -keyout " +
                    Quote(key) + " -out " + Quote(cert) + " 2>/dev/null")
                       .c_str()),
            0);
  std::string setup = ProgramBytes(0x14c, 4096), uninstaller = ProgramBytes(0x14c, 2048);
  ASSERT_TRUE(WriteWholeFile(m_scratch.Join("setup.exe"), setup));
  ASSERT_TRUE(WriteWholeFile(m_scratch.Join("uninstall.exe"), uninstaller));
  // Double quotes inside: the whole command is passed to mkpak in single ones.
  auto host = [](const std::string& path) {
    return "\"" + platform::HostPath(path.c_str()) + "\"";
  };
  std::string sign = host(tool) + " sign -certs " + host(cert) + " -key " + host(key) +
                     " -in {} -out {}.signed >/dev/null && mv {}.signed {}";

  std::string dist = m_scratch.Join("signed");
  std::string single = m_scratch.Join("app.exe");
  ASSERT_EQ(Dist(dist, {"--sign-command", sign, "--one-file", single}), 0) << m_said;
  EXPECT_EQ(ReadWholeFile(m_scratch.Join("setup.exe")), setup);
  EXPECT_EQ(ReadWholeFile(m_scratch.Join("uninstall.exe")), uninstaller);

  struct Row {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::vector<const char*> said;
  };
  const Row rows[] = {
      {"signed and verified",
       {"check", "--ca-file", cert, dist},
       0,
       {"info: setup.exe: signed, and the signature verifies",
        "info: data.pak: uninstall.exe: signed, and the signature verifies",
        "mkpak check: 0 errors, 0 warnings"}},
      {"the single file: itself and what it carries",
       {"check", "--ca-file", cert, single},
       0,
       {"info: app.exe: signed, and the signature verifies",
        "info: app.exe: setup.exe: signed, and the signature verifies",
        "info: app.exe: data.pak: uninstall.exe: signed, and the signature verifies"}},
      {"chain not trusted without the CA",
       {"check", dist},
       0,
       {"info: setup.exe: signed; the signature could not be verified here"}},
      {"a failing command",
       {"dist", m_scratch.Join("payload"), "-o", m_scratch.Join("failed"), "--ini",
        m_scratch.Join("setup.ini"), "--sign-command", "exit 3; {}"},
       2,
       {"signing uninstall.exe with 'exit 3; {}' failed: it ended with exit status 3"}},
      {"a signed program to carry the folder",
       {"dist", m_scratch.Join("payload"), "-o", m_scratch.Join("failed"), "--ini",
        m_scratch.Join("setup.ini"), "--one-file", m_scratch.Join("failed.exe"), "--carrier",
        dist + "\\setup.exe"},
       2,
       {"is signed; give the unsigned onefile.exe"}},
      {"a command that signs nothing",
       {"dist", m_scratch.Join("payload"), "-o", m_scratch.Join("failed"), "--ini",
        m_scratch.Join("setup.ini"), "--sign-command", "test -f {}"},
       2,
       {"signing uninstall.exe with 'test -f {}' left the file unchanged"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(Mkpak(row.args), row.status) << m_said;
    for (const char* said : row.said)
      EXPECT_NE(m_said.find(said), std::string::npos) << m_said;
  }
  for (const char* left : {"failed", "failed.part"})
    EXPECT_FALSE(platform::FolderExists(m_scratch.Join(left).c_str())) << left;
  EXPECT_FALSE(platform::FileExists(m_scratch.Join("failed.exe").c_str()));

  // One byte of the single file's payload changed after signing: the signature and the
  // program's own seal both tell.
  std::string changedSingle = ReadWholeFile(single);
  changedSingle[CarrierBytes().size() + 40] ^= 1;  // the stream follows the program's image
  ASSERT_TRUE(WriteWholeFile(single, changedSingle));
  EXPECT_EQ(Mkpak({"check", "--ca-file", cert, single}), 1) << m_said;
  for (const char* said : {"error: app.exe: signed, but changed after signing",
                           "error: app.exe: the program would refuse to run: \"This setup program "
                           "is damaged or incomplete"})
    EXPECT_NE(m_said.find(said), std::string::npos) << m_said;

  // One byte of code changed after signing: Windows would refuse the signature.
  std::string changed = ReadWholeFile(dist + "\\setup.exe");
  changed[0x200] ^= 1;
  ASSERT_TRUE(WriteWholeFile(dist + "\\setup.exe", changed));
  EXPECT_EQ(Mkpak({"check", "--ca-file", cert, dist}), 1) << m_said;
  EXPECT_NE(m_said.find("error: setup.exe: signed, but changed after signing"), std::string::npos)
      << m_said;
  // Cut short: the headers point past the end, which no reader may follow.
  ASSERT_TRUE(WriteWholeFile(dist + "\\setup.exe", changed.substr(0, changed.size() - 100)));
  EXPECT_EQ(Mkpak({"check", dist}), 1) << m_said;
  EXPECT_NE(m_said.find("error: setup.exe: has a certificate table of"), std::string::npos)
      << m_said;
}

}  // namespace
