// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelcor {

// "0".."9" for 0 to 9, "A".."F" for 10 to 15, the empty text for anything else.
std::string NibbleToHexChr(int value);

// The value of one hexadecimal digit of either case, or -1 for any other character.
int HexDigitValue(char c);

// A byte as exactly two upper-case hexadecimal digits: "00" to "FF".
std::string ByteToHexStr(std::uint8_t value);

// The numeric value of a text as the windows read numbers typed into boxes: blanks, tabs
// and line feeds are ignored wherever they stand; the text is decimal (optional sign,
// digits, optional fraction after a period whatever the locale) or hexadecimal after "&H" /
// "&h"; reading stops at the first character that cannot continue the number; a text that
// does not begin with a number is 0.
double ValueOfText(std::string_view text);

// A number as the windows write it: one leading blank when not negative, "-" when negative,
// a period as separator whatever the locale, up to 15 significant digits, no trailing zeros
// and no 0 before the point ("  12.34" -> " 12.34", 0.5 -> " .5", -0.05 -> "-.05").
std::string NumberText(double value);

// The length in bytes of the character that starts at byte `i` (below text.size()) of a
// UTF-8 text: a lead byte with its continuation bytes, or 1 for a byte that starts no
// complete sequence, which counts as a character of its own.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

// The number of characters (not bytes) in a UTF-8 text.
std::size_t CharacterCount(std::string_view text);

// The text padded with blanks on the right, or cut, to exactly `width` characters. Counts
// characters, not bytes, so a cut never splits a multi-byte character.
std::string FixedWidth(std::string_view text, std::size_t width);

// The columns a UTF-8 text takes on a terminal: two for each East Asian wide or fullwidth
// character (漢字, ｆｕｌｌ), one for any other.
std::size_t DisplayColumns(std::string_view text);

// The text padded with blanks on the right, or cut, to exactly `columns` terminal columns,
// so that what follows it lines up whatever script it is in. A wide character that would
// straddle the last column is left out and its place filled with a blank.
std::string PadToColumns(std::string_view text, std::size_t columns);

// What a message quotes of a technician's or a file's input: at most the first 255
// characters, then "..." when there was more, so that a whole device path, host or address
// is shown (a /dev/serial/by-id/ name runs to 60 and more) and still no input makes a message
// of any length. A control character is written escaped (\n, \t, \r, \e, \xNN) so that no
// input can move the cursor, clear a terminal or change its colours through a message.
inline constexpr std::size_t kQuotedCharacters = 255;
std::string QuotedInput(std::string_view text);

// The whole text with its control characters escaped as QuotedInput escapes them, nothing
// cut: what a terminal is given of text that came from a file or a database.
std::string EscapedText(std::string_view text);

} // namespace zelcor
