#include "airports/apf_log_text.h"

#include "foundation/log.h"

namespace crv {

std::string apfLogText(std::string_view text) {
  constexpr std::size_t kMaxLoggedChars = 80;
  if (text.size() <= kMaxLoggedChars) return escapedNonUtf8(text);
  std::size_t cut = kMaxLoggedChars;
  // Do not split a UTF-8 sequence (of at most four bytes).
  while (cut + 3 > kMaxLoggedChars && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) --cut;
  return escapedNonUtf8(text.substr(0, cut)) + "...";
}

}  // namespace crv
