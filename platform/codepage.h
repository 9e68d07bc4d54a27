#pragma once
// The installer's single-byte text (code page 1252) as UTF-16 units and back. Profile files are
// read as UTF-16, as Wine reads them, so a value is cut and compared unit by unit.

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
