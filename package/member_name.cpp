#include "package/member_name.h"

#include <cctype>
#include <cstring>

#include "package/pack_format.h"

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
  char upper[5] = {};
  if (stem != 3 && stem != 4)
    return false;
  for (size_t i = 0; i < stem; ++i)
    upper[i] = static_cast<char>(toupper((unsigned char)component[i]));
  if (stem == 3) {
    return strcmp(upper, "CON") == 0 || strcmp(upper, "PRN") == 0 || strcmp(upper, "AUX") == 0 ||
           strcmp(upper, "NUL") == 0;
  }
  bool numbered = upper[3] >= '1' && upper[3] <= '9';
  return numbered && (strncmp(upper, "COM", 3) == 0 || strncmp(upper, "LPT", 3) == 0);
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
  for (size_t i = 0; i < length; ++i) {
    if (IsForbiddenChar(static_cast<unsigned char>(name[i])))
      return NameCheck::kForbiddenChar;
  }
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i == length || name[i] == '\\') {
      NameCheck check = CheckComponent(name + start, i - start);
      if (check != NameCheck::kOk)
        return check;
      start = i + 1;
    }
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
  }
  return "is not acceptable";
}
