#include "tools/signing.h"

#include <vector>

#include "platform/fs.h"
#include "platform/process.h"
#include "tools/file_probes.h"
#include "tools/tool_error.h"

namespace {

// osslsigncode's own words for a failed verification: its first error line.
std::string VerifyReason(const std::string& said) {
  size_t at = said.find("Error: ");
  if (at == std::string::npos)
    return "verification failed";
  at += 7;
  return said.substr(at, said.find('\n', at) - at);
}

}  // namespace

bool SignCopy(const std::string& command, const char* program, const std::string& copy,
              std::string* error) {
  std::string before, after;
  if (!platform::ReadWholeFile(copy.c_str(), "rb", &before))
    return FailWith(error, "cannot read " + Quoted(copy) + ": " + Reason());
  std::string what = "signing " + std::string(program) + " with '" + command + "'";
  platform::ProcessResult run = platform::RunShellCommandOn(command, copy.c_str());
  if (!run.started)
    return FailWith(error,
                    what + " failed: the shell did not start: " + platform::ErrorText(run.error));
  if (run.exitStatus != 0)
    return FailWith(error,
                    what + " failed: it ended with exit status " + std::to_string(run.exitStatus));
  if (!platform::ReadWholeFile(copy.c_str(), "rb", &after))
    return FailWith(error, what + " left no file at " + Quoted(copy) + ": " + Reason());
  if (after == before)
    return FailWith(error, what +
                               " left the file unchanged; the command must sign the file "
                               "that {} names, in place");
  return true;
}

void CheckProgramSignature(const std::string& name, const std::string& path,
                           const std::string& bytes, const CheckOptions& options,
                           DistReport* report) {
  SignatureProbe probe = ProbeSignature(bytes);
  if (!probe.whyNot.empty()) {
    report->Error(name + ": " + probe.whyNot + "; sign it again");
    return;
  }
  if (!probe.isSigned) {
    report->Info(name +
                 ": not signed, so Windows names no publisher for it; sign it with mkpak dist "
                 "--sign-command");
    return;
  }
  std::string tool;
  if (!platform::FindOnPath("osslsigncode", &tool)) {
    report->Info(name +
                 ": signed; the signature was not verified, as osslsigncode is not installed");
    return;
  }
  std::vector<std::string> args = {"verify", "-in", platform::HostPath(path.c_str())};
  if (!options.caFile.empty())
    args.insert(args.end(), {"-CAfile", platform::HostPath(options.caFile.c_str())});
  std::string said;
  platform::ProcessResult run = platform::RunCapturing(tool, args, &said);
  if (!run.started) {
    report->Info(name + ": signed; the signature was not verified, as " + tool +
                 " did not start: " + platform::ErrorText(run.error));
  } else if (run.exitStatus == 0) {
    report->Info(name + ": signed, and the signature verifies (osslsigncode)");
  } else if (said.find("MISMATCH") != std::string::npos) {
    // osslsigncode marks a digest of the file that differs from the signed one.
    report->Error(name +
                  ": signed, but changed after signing: its digest no longer matches the "
                  "signature (osslsigncode), so Windows would call it damaged; sign it again");
  } else if (!options.caFile.empty()) {
    report->Warn(name + ": signed, but the signature does not verify against '" +
                 platform::HostPath(options.caFile.c_str()) +
                 "' (osslsigncode: " + VerifyReason(said) + ")");
  } else {
    report->Info(name + ": signed; the signature could not be verified here (osslsigncode: " +
                 VerifyReason(said) + "); give its CA certificate with mkpak check --ca-file");
  }
}
