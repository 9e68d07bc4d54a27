#pragma once
// The installer's single-byte text (code page 1252) as UTF-16 units and back. Profile files are
// read as UTF-16, as Wine reads them, so a value is cut and compared unit by unit.
//
// Under a two-byte ANSI code page (932, 936, 949, 950) this stays the profile files' mapping:
// each byte is one unit and back, so every byte survives the round trip whatever the code page.
// An ANSI file, and the two-byte paths our log holds, are read and written byte for byte; the
// ASCII section and key names we look up are found as before. Where the system's reader would
// differ: a character outside 1252 in a UTF-8 or UTF-16 file reads as '?' rather than as its
// bytes in the code page, and a path written into a UTF-8 or UTF-16 log reads back as it was only
// through this mapping.

#include <string>

namespace profile {

using Units = std::u16string;

char16_t AnsiToUnit(unsigned char byte);
// Characters outside code page 1252 become '?'. (Windows picks a look-alike for some of them,
// "best fit"; we do not carry that table.)
char UnitToAnsi(char16_t unit);
// A null text gives no units.
Units AnsiToUnits(const char* text);

}  // namespace profile
