#pragma once
// Signatures on the programs of a distribution: made by the publisher's own command, which may
// drive a hardware token or a signing service, and read back with osslsigncode where it is
// installed.

#include <string>

#include "tools/dist_check.h"

// Runs command (the publisher's, "{}" standing for the path) on copy, a copy of program's file
// that may be changed, and makes sure it did something: a command that ends well but signs
// nothing is no success.
bool SignCopy(const std::string& command, const char* program, const std::string& copy,
              std::string* error);

// Adds to report whether program (named name, its file at path holding bytes) is signed and,
// where osslsigncode can tell, whether the signature still matches the file. Signing is
// optional: unsigned is no fault.
void CheckProgramSignature(const std::string& name, const std::string& path,
                           const std::string& bytes, const CheckOptions& options,
                           DistReport* report);
