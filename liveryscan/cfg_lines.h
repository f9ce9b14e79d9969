#pragma once

// Reading single lines of an aircraft.cfg: comments, section headers and the
// "key = value" lines the livery scan needs.
//
// A key line is read as the pattern \s*(key)\s*=\s*(.*\S)\s* would read it
// (letter case of the key ignored, the whole line must match), without a
// regular expression: libstdc++'s matcher recurses once per character and
// overflows the stack on very long lines. Lines longer than
// kMaxKeyLineLength are ordinary lines: never a key line, never a header.
//
// Comments: after a value, ';' or "//" outside double quotes starts a
// comment, which is not part of the value. A line that begins with ';' or
// "//" matches no key, yet it counts for the plain "contains" tests (a
// repeated key, a section header behind ';').
//
// The value of a key line is passed through quotedText: the text between the
// first pair of double quotes when it holds one, otherwise the whole value.

#include <optional>
#include <string>
#include <string_view>

namespace crv {

inline constexpr std::size_t kMaxKeyLineLength = 2000;

bool isCfgBlank(char c);

// ASCII letter case ignored (keys, section names and path words are ASCII).
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A line too long to be read as anything.
bool isOverlong(std::string_view line);

// The line without its trailing comment (';' or "//" outside double quotes).
std::string_view withoutComment(std::string_view line);

// The value of a "key = value" line for the key as written behind the '='
// (blanks around it dropped, a comment kept); none when the line is no such
// line or nothing but blanks follows the '='.
std::optional<std::string_view> valueAsWritten(std::string_view line, std::string_view key);

// The raw value (blanks around it dropped, its comment too) of a
// "key = value" line for the key; none when the line is no such line or the
// value is empty.
std::optional<std::string_view> keyLineValue(std::string_view line, std::string_view key);

// keyLineValue passed through quotedText; an empty text when the line does
// not match.
std::string regexValue(std::string_view line, std::string_view key);

// The number text of a [fltsim.N] header line: the digits with an optional
// leading '-' for a well-formed header; "10000" for a line that holds
// "[fltsim." or "[FLTSIM." in another form (a comment behind the header, or
// a ';' in front of it); empty for a line that begins with "//" and for any
// other line.
std::string fltsimSectionNumber(std::string_view line);

// Key readers: true and the value, as described with each.
// title, texture, atc_parking_types: a value that is not empty.
bool readTitleLine(std::string_view line, std::string& title);
bool readTextureLine(std::string_view line, std::string& texture);
bool readParkingTypesLine(std::string_view line, std::string& parkingTypes);
// atc_id: a value of at least 5 characters as written, a comment behind it
// included; the value without the comment.
bool readAtcIdLine(std::string_view line, std::string& atcId);
// icao_airline: true whenever the line matches; "ZZZ" for an empty value or
// exactly "ZZZZ", otherwise the value in upper case.
bool readIcaoAirlineLine(std::string_view line, std::string& airline);

// Plain, case-sensitive tests for a repeated key, wherever it stands on the
// line, in a comment too.
bool hasAtcIdKey(std::string_view line);
bool hasParkingTypesKey(std::string_view line);

}  // namespace crv
