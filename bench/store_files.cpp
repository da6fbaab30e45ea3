// How long the settings file and a large job file take to write and read in memory.
#include <benchmark/benchmark.h>

#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/FieldStore.h"
#include "store/JobFile.h"
#include "store/SettingsFile.h"

namespace {

struct Kit {
  corvane::FakeClock clock;
  corvane::SilentHost host;
  corvane::ProgramLog log{clock, nullptr};
  corvane::NumberParser parser{log, &host};
  corvane::FieldStore fields;
};

void SettingsSaveAndLoad(benchmark::State& state) {
  Kit kit;
  kit.parser.imperial = state.range(0) != 0;
  for (auto _ : state) {
    const std::string bytes = corvane::FormatSettingsFile(kit.fields, kit.parser);
    corvane::ApplySettingsFile(bytes, kit.fields, kit.parser);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(SettingsSaveAndLoad)->Arg(0)->Arg(1);

// A job of 1000 contours of 100 vertices each.
void JobEncodeAndDecode(benchmark::State& state) {
  Kit kit;
  corvane::tCNCPath job(1000);
  for (size_t c = 0; c < job.size(); ++c) {
    job[c].push_back({0, 0});
    for (std::int32_t v = 0; v < 100; ++v)
      job[c].push_back({static_cast<std::int32_t>(c) * 10 + v, v * 7});
  }
  for (auto _ : state) {
    const std::string bytes = corvane::EncodeJobFile(job, corvane::Point2{100, 200}, kit.log);
    const auto content = corvane::DecodeJobFile(bytes, true, kit.log);
    benchmark::DoNotOptimize(content.job.data());
  }
  state.SetItemsProcessed(state.iterations() * 101000);
}
BENCHMARK(JobEncodeAndDecode);

}  // namespace

BENCHMARK_MAIN();
