#include "package/member_name.h"

#include <cctype>
#include <cstring>

#include "package/pack_format.h"
#include "platform/path_text.h"

namespace {

bool IsForbiddenChar(unsigned char c) {
  return c < 32 || strchr("<>:\"/|?*", c) != nullptr;
}

// Windows opens these as devices whatever folder or extension goes with them ("a\con.txt").
bool IsReservedName(const char* component, size_t length) {
  size_t stem = 0;
  while (stem < length && component[stem] != '.')
    ++stem;
  while (stem > 0 && component[stem - 1] == ' ')
    --stem;
  if (stem < 3 || stem > 7)
    return false;
  char upper[8] = {};
  for (size_t i = 0; i < stem; ++i)
    upper[i] = static_cast<char>(toupper((unsigned char)component[i]));
  const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : devices) {
    if (strcmp(upper, device) == 0)
      return true;
  }
  if (stem != 4 || (strncmp(upper, "COM", 3) != 0 && strncmp(upper, "LPT", 3) != 0))
    return false;
  // Windows also takes the superscripts 1-3 (bytes B9 B2 B3 in code page 1252) as a port's
  // number. They are refused whatever the code page: no real name needs them there.
  unsigned char number = static_cast<unsigned char>(component[3]);
  return (number >= '1' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
}

NameCheck CheckComponent(const char* component, size_t length) {
  if (length == 0)
    return NameCheck::kEmptyComponent;
  if (length == 2 && component[0] == '.' && component[1] == '.')
    return NameCheck::kParentFolder;
  // Windows drops a trailing dot or blank, so "a." would land on "a" (and "." is the folder).
  char last = component[length - 1];
  if (last == '.' || last == ' ')
    return NameCheck::kTrailingDotOrBlank;
  if (IsReservedName(component, length))
    return NameCheck::kReservedName;
  return NameCheck::kOk;
}

}  // namespace

NameCheck CheckMemberName(const char* name, size_t length) {
  if (length == 0)
    return NameCheck::kEmpty;
  if (length >= kPackNameSize)
    return NameCheck::kTooLong;
  if (name[0] == '\\' || name[0] == '/')
    return NameCheck::kAbsolute;
  if (length >= 2 && name[1] == ':' && isalpha(static_cast<unsigned char>(name[0])))
    return NameCheck::kDriveLetter;
  for (size_t i = 0; i < length;) {
    size_t size = platform::CharSize(name, length, i);
    unsigned char c = static_cast<unsigned char>(name[i]);
    // The second byte of a two-byte character may be '|' or '\': it is not that character.
    if (size == 1 && IsForbiddenChar(c))
      return NameCheck::kForbiddenChar;
    // A lead byte alone can only be the last: Windows would read some other character there.
    if (size == 1 && platform::IsLeadByte(c))
      return NameCheck::kCutCharacter;
    i += size;
  }
  for (size_t start = 0;;) {
    size_t end = platform::NextSeparator(name, length, start);
    NameCheck check = CheckComponent(name + start, end - start);
    if (check != NameCheck::kOk)
      return check;
    if (end == length)
      break;
    start = end + 1;
  }
  return NameCheck::kOk;
}

NameCheck CheckShortcutName(const char* name, size_t length) {
  return CheckMemberName(name, length);
}

const char* DescribeNameCheck(NameCheck check) {
  switch (check) {
    case NameCheck::kOk:
      return "is acceptable";
    case NameCheck::kEmpty:
      return "is empty";
    case NameCheck::kTooLong:
      return "is 260 bytes or longer";
    case NameCheck::kAbsolute:
      return "is an absolute path";
    case NameCheck::kDriveLetter:
      return "starts with a drive letter";
    case NameCheck::kParentFolder:
      return "holds a '..' component";
    case NameCheck::kEmptyComponent:
      return "has an empty folder component (doubled or trailing backslash)";
    case NameCheck::kForbiddenChar:
      return "holds a character that Windows forbids in file names";
    case NameCheck::kTrailingDotOrBlank:
      return "has a component that ends in a dot or blank";
    case NameCheck::kReservedName:
      return "uses a name that Windows reserves for a device";
    case NameCheck::kCutCharacter:
      return "ends in the first byte of a two-byte character";
  }
  return "is not acceptable";
}
