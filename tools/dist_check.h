#pragma once
// mkpak check: a distribution folder read as setup.exe will read it (setup.ini with the
// platform's profile rules, data.pak with the installer's own reader, names with the installer's
// rules), with a finding for every fault that would fail or spoil an installation.

#include <string>
#include <vector>

struct DistFinding {
  bool error = false;  // the installation would fail or leave something broken; else a warning
  std::string text;    // "setup.ini: ...": the file and key or member, and what to change
  bool info = false;   // neither: what the folder is, such as whether a program is signed
};

struct DistReport {
  std::vector<DistFinding> findings;
  size_t errors = 0;
  size_t warnings = 0;

  void Error(const std::string& text) {
    findings.push_back(DistFinding{true, text});
    ++errors;
  }
  void Warn(const std::string& text) {
    findings.push_back(DistFinding{false, text});
    ++warnings;
  }
  void Info(const std::string& text) { findings.push_back(DistFinding{false, text, true}); }
};

// The files the installer reads beside setup.exe; a distribution folder holds nothing else.
extern const char* const kDistFiles[5];

struct CheckOptions {
  std::string caFile;  // certificates that signatures are verified against; empty: the system's
};

// Fills report for folder. False, with a message, only when folder is not a readable folder.
bool CheckDistribution(const std::string& folder, DistReport* report, std::string* error,
                       const CheckOptions& options = CheckOptions());
