// Decoding a live traffic answer of 2,000 aircraft, against a bare parse of
// the same text.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "feed/live_decoder.h"

namespace {

constexpr int kAircraftCount = 2000;
constexpr crv::GeoPoint kCentre{52.3086, 4.7639};

// One aircraft as the service sends it, every one of the 48 values filled.
nlohmann::json aircraftArray(int index) {
  const double latitude = kCentre.latitude + ((index % 97) - 48) * 0.006;
  const double longitude = kCentre.longitude + ((index % 89) - 44) * 0.009;
  nlohmann::json array = {
      fmt::format("{:06x}", 0x400000 + index), latitude, longitude, (index * 7) % 360, 3000 + (index % 300) * 100,
      180.4 + index % 250, fmt::format("{:04}", index % 7777), "rtstandin", "B738", fmt::format("PH-B{:02}", index % 100),
      1796464800.25 + index % 10, "EHAM", "EGLL", fmt::format("KLM{}", 1000 + index), 0, -640 + index % 1300,
      fmt::format("KL{}", 1000 + index), "adsb_icao", 3025 + (index % 300) * 100, "squawk-7000-normal", 250 + index % 200, 0.794,
      2.1, 1.5, 24.3, (index * 7 + 2) % 360, 29.92, 1013.2, "A3", "KLM Royal Dutch Airlines", 0.0, 1, 2, 3, 4, 0, 8, 160, 24, 186, 10, 2,
      "adsb_icao_nt", 1796464799.9, -52, 2.5, 1, 0};
  return array;
}

std::string liveAnswerText() {
  nlohmann::json data = nlohmann::json::object();
  for (int i = 0; i < kAircraftCount; ++i) {
    data[fmt::format("{:06x}", 0x400000 + i)] = aircraftArray(i);
  }
  nlohmann::json answer = {{"status", 200}, {"rrl", 2000}, {"data", std::move(data)}};
  return answer.dump();
}

const std::string& answerText() {
  static const std::string text = liveAnswerText();
  return text;
}

void BM_ParseLiveAnswer(benchmark::State& state) {
  const std::string& text = answerText();
  for (auto _ : state) {
    nlohmann::json answer = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(answer);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["answer_kb"] = static_cast<double>(text.size()) / 1024.0;
}
BENCHMARK(BM_ParseLiveAnswer)->Unit(benchmark::kMillisecond);

// The decoder with what the traffic reader hands it, around the answer's
// centre.
class LiveDecoding {
 public:
  LiveDecoding() {
    context_.ownPosition = kCentre;
    context_.rangeNm = 100.0;
    context_.hooks = &hooks_;
    records_.reserve(kAircraftCount);
  }
  LiveDecoding(const LiveDecoding&) = delete;
  LiveDecoding& operator=(const LiveDecoding&) = delete;

  // Decodes every aircraft array of the answer, as the traffic reader does.
  void decode(const nlohmann::json& answer) {
    records_.clear();
    for (const auto& value : answer["data"]) {
      if (value.is_array() && value.size() == crv::kLiveArraySize) {
        crv::processLine(value, context_, state_, records_);
      }
    }
  }
  const std::vector<crv::LiveTrafficRecord>& records() const { return records_; }

 private:
  crv::FeedHooks hooks_;
  crv::LiveDecodeContext context_;
  crv::LiveDecodeState state_;
  std::vector<crv::LiveTrafficRecord> records_;
};

void checkEveryAircraftDecoded(benchmark::State& state, const std::vector<crv::LiveTrafficRecord>& records) {
  if (records.size() != kAircraftCount) {
    state.SkipWithError("not every aircraft was decoded");
  }
  state.counters["records"] = static_cast<double>(records.size());
}

void BM_ParseAndDecodeLiveAnswer(benchmark::State& state) {
  const std::string& text = answerText();
  LiveDecoding decoding;
  for (auto _ : state) {
    decoding.decode(nlohmann::json::parse(text));
    benchmark::DoNotOptimize(decoding.records().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  checkEveryAircraftDecoded(state, decoding.records());
}
BENCHMARK(BM_ParseAndDecodeLiveAnswer)->Unit(benchmark::kMillisecond);

// The decoding alone, of an answer parsed once.
void BM_DecodeParsedLiveAnswer(benchmark::State& state) {
  const nlohmann::json answer = nlohmann::json::parse(answerText());
  LiveDecoding decoding;
  for (auto _ : state) {
    decoding.decode(answer);
    benchmark::DoNotOptimize(decoding.records().data());
  }
  checkEveryAircraftDecoded(state, decoding.records());
}
BENCHMARK(BM_DecodeParsedLiveAnswer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
