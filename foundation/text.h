#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace crv {

// Without " \t\n\r" at both ends.
std::string trim(std::string_view text);

// The trimmed pieces between delimiters; empty pieces stay, an empty text
// gives no pieces at all.
std::vector<std::string> splitTrim(std::string_view text, char delimiter);
std::vector<std::string> splitComma(std::string_view text);
std::vector<std::string> splitCommaSortedUnique(std::string_view text);

// The texts joined with ",".
std::string joinStrings(const std::vector<std::string>& texts);

// When the text holds white space, re-joins its comma-separated items trimmed.
void normaliseCommaList(std::string& text);

// The text between the first two double quotes; the whole text when it has no
// double quote; empty when there is no second quote or nothing between them.
std::string quotedText(std::string_view text);

// b is a followed by "*".
bool isStarForm(std::string_view a, std::string_view b);

char toUpperChar(char c);
char toLowerChar(char c);
std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

// a equals b upper-cased.
bool equalsUpper(std::string_view a, std::string_view b);

// "{:.0f}" without a fraction, else "{:.1f}".
std::string formatNumber(float value);

// A line of stars with the text in its middle (the settings listing, the
// livery-match summary).
std::string bannerLine(int width, int extra, bool newlineBefore, bool newlineAfter,
                       std::string_view text);

// round(part * 100 / total); 0 when total is below 1. Throws
// gsl::narrowing_error when the result does not fit an int.
int percentOf(std::int64_t part, std::int64_t total);

// "" for a count of 1 or below 0, else "s".
const std::string& pluralSuffix(std::int64_t count);
const std::string& pluralSuffixInt(std::int32_t count);
// "" for 1, else "s".
const std::string& pluralSuffixSize(std::size_t count);

// A uniform random permutation with the thread's engine.
void shuffleStrings(std::vector<std::string>& texts);

// value plus or minus pct percent of it, the sign drawn at random.
double randomVariation(double value, double pct);

}  // namespace crv
