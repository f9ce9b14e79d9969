#include "airports/apf_log_text.h"

namespace crv {

std::string apfLogText(std::string_view text) {
  constexpr std::size_t kMaxLoggedChars = 80;
  if (text.size() <= kMaxLoggedChars) return std::string(text);
  std::size_t cut = kMaxLoggedChars;
  // Do not split a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

}  // namespace crv
