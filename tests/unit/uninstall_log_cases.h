#pragma once
// Uninstall log templates, one sequence of entries, and the bytes that must result.
// uninstall_log_test.cpp holds CUninstallLog (and WriteProfileString) to these bytes;
// uninstall_log_win32_test.cpp holds them to what WritePrivateProfileStringA makes of the same.

#include <string>
#include <vector>

// The entries, one of them a value that differs between encodings; then "filenum=3".
inline std::vector<const char*> LogEntries() {
  return {"C:\\A\\x", "C:\\A\\yy", "C:\\A\\\xE9"};
}

struct LogCase {
  const char* name;
  bool hasFile;
  std::string before;
  std::string after;
  // Wine's WritePrivateProfileStringA writes these very bytes. It rewrites the whole file in its
  // own form (no blank lines, trimmed names and values, CRLF), so only templates already in that
  // form give the same bytes; and it keeps the file's spelling of a key it replaces, where we
  // write the caller's.
  bool wineBytes;
};

// Each byte (code page 1252) as a UTF-16LE unit.
inline std::string Utf16Le(const std::string& text) {
  std::string units;
  for (char c : text) {
    units += c;
    units += '\0';
  }
  return units;
}

inline std::vector<LogCase> LogCases() {
  const std::string keys =
      "file0=C:\\A\\x\r\nfile1=C:\\A\\yy\r\nfile2=C:\\A\\\xE9\r\nfilenum=3\r\n";
  const std::string files = "[files]\r\n" + keys;
  const std::string utf8Keys =
      "file0=C:\\A\\x\r\nfile1=C:\\A\\yy\r\nfile2=C:\\A\\\xC3\xA9\r\nfilenum=3\r\n";
  return {
      {"no_file", false, "", files, true},
      {"empty", true, "", files, true},
      {"no_files_section", true, "top=1\r\n[setup]\r\nname=App\r\n",
       "top=1\r\n[setup]\r\nname=App\r\n" + files, true},
      {"files_first", true, "[files]\r\n[setup]\r\nname=App\r\n", files + "[setup]\r\nname=App\r\n",
       true},
      {"files_middle", true, "[a]\r\nk=1\r\n[files]\r\n[b]\r\nk=2\r\n",
       "[a]\r\nk=1\r\n" + files + "[b]\r\nk=2\r\n", true},
      {"files_last", true, "[a]\r\nk=1\r\n[files]\r\n", "[a]\r\nk=1\r\n" + files, true},
      // filenum keeps its place at the same length; file0 grows, file1 shrinks; file2 goes last.
      {"old_keys", true, "[files]\r\nfilenum=2\r\nfile0=C:\\q\r\nfile1=C:\\Old\\longer\r\n[b]\r\n",
       "[files]\r\nfilenum=3\r\nfile0=C:\\A\\x\r\nfile1=C:\\A\\yy\r\nfile2=C:\\A\\\xE9\r\n[b]\r\n",
       true},
      // A template that lists the same keys already: every one of them is replaced.
      {"same_lengths", true, "[files]\r\nfile0=C:\\B\\x\r\nfile1=C:\\B\\yy\r\nfile2=C:\\B\\z\r\n",
       files, true},
      {"duplicate_section", true, "[files]\r\nfile1=C:\\q\r\n[b]\r\n[files]\r\nfile0=C:\\q\r\n",
       "[files]\r\nfile1=C:\\A\\yy\r\nfile0=C:\\A\\x\r\nfile2=C:\\A\\\xE9\r\nfilenum=3\r\n"
       "[b]\r\n[files]\r\nfile0=C:\\q\r\n",
       true},
      {"other_case", true, "[FILES]\r\nFILE0=C:\\q\r\n", "[FILES]\r\n" + keys, false},
      {"comments_and_spacing", true,
       "; log\r\n[a]\r\n  k = 1 \r\n\r\n[ files ]\r\n; entries\r\n  file0 = C:\\q \r\n\r\n[b]\r\n",
       "; log\r\n[a]\r\n  k = 1 \r\n\r\n[ files ]\r\n; entries\r\n" + keys + "\r\n[b]\r\n", false},
      {"lf_only", true, "[a]\nk=1\n[files]\nfile0=C:\\q\n[b]\nk=2\n",
       "[a]\nk=1\n[files]\nfile0=C:\\A\\x\nfile1=C:\\A\\yy\r\nfile2=C:\\A\\\xE9\r\nfilenum=3\r\n"
       "[b]\nk=2\n",
       false},
      {"no_final_break", true, "[a]\r\n[files]\r\nfilenum=9",
       "[a]\r\n[files]\r\nfilenum=3\r\nfile0=C:\\A\\x\r\nfile1=C:\\A\\yy\r\nfile2=C:\\A\\\xE9\r\n",
       true},
      {"no_final_break_no_section", true, "[a]\r\nk=1", "[a]\r\nk=1\r\n" + files, true},
      {"utf8_bom", true, "\xEF\xBB\xBF[a]\r\nk=1\r\n[files]\r\n",
       "\xEF\xBB\xBF[a]\r\nk=1\r\n[files]\r\n" + utf8Keys, true},
      {"utf16", true, "\xFF\xFE" + Utf16Le("[a]\r\nk=1\r\n"),
       "\xFF\xFE" + Utf16Le("[a]\r\nk=1\r\n" + files), true},
  };
}
