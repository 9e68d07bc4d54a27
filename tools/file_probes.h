#pragma once
// What Windows would make of two files of a distribution folder, judged from their headers
// alone: setup.exe must start on a 32-bit x86 system, and face.bmp must be a bitmap that
// LoadImage reads from a file.

#include <cstdint>
#include <string>

// Empty when bytes are an i686 Windows program (a PE32 executable for machine 0x14c);
// otherwise why not, as a phrase that follows the file's name: "is a DLL, not a program".
std::string WhyNotI686Program(const std::string& bytes);

struct BitmapProbe {
  std::string whyNot;  // empty when Windows would load it
  long width = 0;      // in pixels, when it loads
  long height = 0;
};

BitmapProbe ProbeBitmap(const std::string& bytes);

// A PE file's Authenticode signature, as its headers place it: the security data directory
// (whose address is a file offset) pointing at a WIN_CERTIFICATE of signed PKCS #7 data.
struct SignatureProbe {
  bool isSigned = false;
  uint64_t tableOffset =
      0;               // where the certificates start, when signed: what lies before is signed
  std::string whyNot;  // empty when unsigned or signed; else why the table cannot be right
};

SignatureProbe ProbeSignature(const std::string& bytes);
