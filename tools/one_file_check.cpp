#include "tools/one_file_check.h"

#include "onefile/carried_unpack.h"
#include "onefile/seal.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/path_text.h"
#include "tools/file_probes.h"
#include "tools/scratch_folder.h"
#include "tools/signing.h"

namespace {

// What the program would tell its user, kept as the check's error.
class CReportView : public onefile::IUnpackView {
 public:
  explicit CReportView(const std::string& name, DistReport* report)
      : m_name(name), m_report(report) {}
  void BeginBytes(uint64_t) override {}
  void AddBytes(uint64_t) override {}
  void ShowMessage(const std::string& text) override {
    m_report->Error(m_name + ": the program would refuse to run: \"" + text + "\"");
  }

 private:
  std::string m_name;
  DistReport* m_report;
};

std::string BaseName(const std::string& path) {
  size_t slash = 0;
  return platform::LastSeparator(path.c_str(), path.size(), &slash) ? path.substr(slash + 1) : path;
}

}  // namespace

bool CheckOneFile(const std::string& path, DistReport* report, std::string* error,
                  const CheckOptions& options) {
  *report = DistReport();
  std::string name = BaseName(path);
  std::string bytes;
  if (!platform::ReadWholeFile(path.c_str(), "rb", &bytes)) {
    *error = "cannot read '" + platform::HostPath(path.c_str()) +
             "': " + platform::ErrorText(platform::LastError());
    return false;
  }
  std::string why = WhyNotI686Program(bytes);
  if (!why.empty())
    report->Error(name + ": " + why + "; use the 32-bit onefile.exe");
  CheckProgramSignature(name, path, bytes, options, report);
  size_t sealAt = onefile::FindSeal(bytes);
  onefile::Seal seal;
  if (sealAt == std::string::npos ||
      !onefile::ReadSeal(reinterpret_cast<const unsigned char*>(bytes.data() + sealAt), &seal)) {
    report->Error(name +
                  ": carries no distribution folder; make a single file with mkpak dist "
                  "--one-file");
    return true;
  }
  SignatureProbe probe = ProbeSignature(bytes);
  if (probe.isSigned && seal.streamOffset + seal.streamBytes > probe.tableOffset)
    report->Error(name +
                  ": its signature does not cover the distribution it carries; sign it after "
                  "the files are in place (mkpak dist --sign-command)");
  bytes = std::string();

  CScratchFolder scratch;
  platform::CFile self;
  if (!scratch.Create() || !self.Open(path.c_str(), "rb")) {
    *error = "cannot unpack '" + platform::HostPath(path.c_str()) +
             "': " + platform::ErrorText(platform::LastError());
    return false;
  }
  onefile::UnpackPlace place;
  place.self = self.Get();
  place.seal = seal;
  place.folder = scratch.Path();
  CReportView view(name, report);
  if (!onefile::UnpackCarried(place, &view))
    return true;
  DistReport carried;
  if (!CheckDistribution(scratch.Path(), &carried, error, options))
    return false;
  for (DistFinding finding : carried.findings) {
    finding.text = name + ": " + finding.text;
    report->findings.push_back(finding);
  }
  report->errors += carried.errors;
  report->warnings += carried.warnings;
  return true;
}
