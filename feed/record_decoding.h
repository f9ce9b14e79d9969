#pragma once

#include <exception>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "feed/json_reading.h"
#include "foundation/log.h"

namespace crv {

// Decodes one element of an answer into a record, appended when
// decode(record) accepts it. Never throws: an element that fails a
// plausibility check is dropped without a word, one that fails otherwise is
// dropped and logged by log as "<where>: <reason>".
template <typename Record, typename Decode>
void keepDecodedRecord(std::vector<Record>& records, std::string_view where, void (*log)(std::string_view),
                       Decode decode) {
  try {
    Record record;
    if (decode(record)) {
      records.push_back(std::move(record));
    }
  } catch (const Implausible&) {
    // Dropped without a word.
  } catch (const std::exception& error) {
    log(fmt::format("{}: {}", where, logExcerpt(error.what())));
  }
}

}  // namespace crv
