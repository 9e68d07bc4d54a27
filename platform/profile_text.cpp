#include "platform/profile_text.h"

#include <cstdint>
#include <cstring>

namespace profile {

namespace {

void AddUnit(Text* text, char16_t unit, size_t offset) {
  text->units += unit;
  if (text->keepOffsets)
    text->offsets.push_back(offset);
}

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF)
    return 3;
  if (lead >= 0xF0 && lead <= 0xF4)
    return 4;
  return 0;
}

// Overlong forms, surrogates and values past U+10FFFF already show in the second byte.
bool Utf8SecondFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0:
      return second >= 0xA0;
    case 0xED:
      return second <= 0x9F;
    case 0xF0:
      return second >= 0x90;
    case 0xF4:
      return second <= 0x8F;
    default:
      return true;
  }
}

// One character at *pos: a bad sequence gives one U+FFFD for its lead byte together with the
// continuation bytes taken before it proved bad. The end of the file cuts a sequence short as
// any other byte would, as Windows decodes it. (Wine 8 lets such a sequence swallow the rest of
// the file; then a line appended after it would change how the bytes before it read.)
uint32_t DecodeUtf8Char(const std::string& bytes, size_t* pos) {
  unsigned char lead = static_cast<unsigned char>(bytes[(*pos)++]);
  if (lead < 0x80)
    return lead;
  size_t length = Utf8Length(lead);
  if (length == 0)
    return 0xFFFD;
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if (*pos == bytes.size())
      return 0xFFFD;
    unsigned char next = static_cast<unsigned char>(bytes[*pos]);
    if ((next & 0xC0) != 0x80)
      return 0xFFFD;
    ++*pos;
    if (i == 1 && !Utf8SecondFits(lead, next))
      return 0xFFFD;
    code = (code << 6) | (next & 0x3F);
  }
  return code;
}

void DecodeUtf8(const std::string& bytes, size_t pos, Text* text) {
  while (pos < bytes.size()) {
    size_t start = pos;
    uint32_t code = DecodeUtf8Char(bytes, &pos);
    if (code > 0xFFFF) {
      code -= 0x10000;
      AddUnit(text, static_cast<char16_t>(0xD800 + (code >> 10)), start);
      AddUnit(text, static_cast<char16_t>(0xDC00 + (code & 0x3FF)), start);
    } else {
      AddUnit(text, static_cast<char16_t>(code), start);
    }
  }
}

// An odd last byte reads as a unit of its own, as in Wine.
void DecodeUtf16(const std::string& bytes, size_t pos, bool bigEndian, Text* text) {
  for (; pos < bytes.size(); pos += 2) {
    unsigned first = static_cast<unsigned char>(bytes[pos]);
    if (pos + 1 == bytes.size()) {
      AddUnit(text, static_cast<char16_t>(first), pos);
      break;
    }
    unsigned second = static_cast<unsigned char>(bytes[pos + 1]);
    AddUnit(text, static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first),
            pos);
  }
}

bool StartsWith(const std::string& bytes, const char* prefix) {
  return bytes.compare(0, strlen(prefix), prefix) == 0;
}

void AppendUtf8(char16_t unit, std::string* bytes) {
  if (unit < 0x80) {
    *bytes += static_cast<char>(unit);
  } else if (unit < 0x800) {
    *bytes += static_cast<char>(0xC0 | unit >> 6);
    *bytes += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    *bytes += static_cast<char>(0xE0 | unit >> 12);
    *bytes += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
    *bytes += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

void DecodeInto(const std::string& bytes, Text* out) {
  Text& text = *out;
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    text.encoding = Encoding::kUtf8;
    DecodeUtf8(bytes, 3, &text);
  } else if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
    bool bigEndian = bytes[0] == '\xFE';
    text.encoding = bigEndian ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    DecodeUtf16(bytes, 2, bigEndian, &text);
  } else {
    for (size_t i = 0; i < bytes.size(); ++i) {
      AddUnit(&text, AnsiToUnit(static_cast<unsigned char>(bytes[i])), i);
    }
  }
  if (text.keepOffsets)
    text.offsets.push_back(bytes.size());
}

}  // namespace

Text Decode(const std::string& bytes) {
  Text text;
  DecodeInto(bytes, &text);
  return text;
}

Units DecodeUnits(const std::string& bytes) {
  Text text;
  text.keepOffsets = false;
  DecodeInto(bytes, &text);
  return std::move(text.units);
}

bool IsUtf16(Encoding encoding) {
  return encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be;
}

std::string Encode(const Units& units, Encoding encoding) {
  std::string bytes;
  for (char16_t unit : units) {
    switch (encoding) {
      case Encoding::kAnsi:
        bytes += UnitToAnsi(unit);
        break;
      case Encoding::kUtf8:
        AppendUtf8(unit, &bytes);
        break;
      case Encoding::kUtf16Le:
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
        break;
      case Encoding::kUtf16Be:
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
        break;
    }
  }
  return bytes;
}

}  // namespace profile
