// velto_scale_bench: loading a description as it grows (1, 10 and 50 MB,
// time and peak heap), and capture and topology as a card grows (10^3, 10^4
// and 10^5 parts). Its own program, because it counts every allocation.
//
//   velto_scale_bench [--quick] [Google Benchmark options]
//
// --quick: only the smallest sizes, for a check in the test command.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <string>

#include "bench_main.h"
#include "platform/description/reader.h"
#include "platform/description/writer.h"
#include "platform/sim/sim_system.h"
#include "system/system_description.h"
#include "system/system_walk.h"
#include "system/topology_view.h"

// --- Heap accounting ------------------------------------------------------------------------

namespace {
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
}  // namespace

void* operator new(std::size_t size) {
  void* memory = std::malloc(size ? size : 1);
  if (!memory) throw std::bad_alloc();
  liveBytes += malloc_usable_size(memory);
  if (liveBytes > peakBytes) peakBytes = liveBytes;
  return memory;
}
void operator delete(void* memory) noexcept {
  if (!memory) return;
  liveBytes -= malloc_usable_size(memory);
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept { operator delete(memory); }

namespace {

namespace d = velto::description;
namespace p = velto::platform;

// --- Generated cards ------------------------------------------------------------------------

// `units` endpoints, each joined to its own connector, which a subunit with a
// volume and a mute feeds; the subunits are chained, so that the walk reaches
// every part from every other.
d::Description Card(std::size_t units) {
  d::Description card;
  d::AdapterState& adapter = card.adapters.emplace_back();
  adapter.name = "Scaled Card";
  for (std::size_t i = 0; i < units; ++i) {
    d::PartState& connector = adapter.parts.emplace_back();
    connector.id = "out-" + std::to_string(i);
    connector.name = "Speaker Out";
    connector.isConnector = true;
    d::PartState& volume = adapter.parts.emplace_back();
    volume.id = "volume-" + std::to_string(i);
    volume.name = "Volume";  // many parts of one name, as real cards have
    volume.levels[0] = d::LevelState{-96, 0, 0.5f, {-10.5f, -10.5f}};
    volume.mute = 0;
    adapter.links.emplace_back(2 * i + 1, 2 * i);
    if (i > 0) adapter.links.emplace_back(2 * i - 1, 2 * i + 1);
    d::EndpointState& endpoint = card.endpoints.emplace_back();
    char id[80];
    std::snprintf(id, sizeof id, "{0.0.0.00000000}.{%08zx-0000-0000-0000-000000000001}", i);
    endpoint.id = id;
    endpoint.name = "Speakers " + std::to_string(i) + " (Scaled Card)";
    endpoint.isDefault = i == 0;
    endpoint.volume = d::LevelState{-65.25f, 0, 0.75f, {-10, -10}};
    endpoint.connector = d::PartPlace{0, 2 * i};
  }
  return card;
}

std::string CardText(std::size_t units) { return d::PrettyJson(d::DescriptionToJson(Card(units))); }

// A description file of about `megabytes` MB, written once per run.
const std::string& CardFile(std::size_t megabytes) {
  static std::map<std::size_t, std::string> paths;
  auto& path = paths[megabytes];
  if (!path.empty()) return path;
  const double bytesPerUnit = static_cast<double>(CardText(1000).size()) / 1000;
  const auto units = static_cast<std::size_t>(megabytes * 1e6 / bytesPerUnit);
  path = (std::filesystem::temp_directory_path() /
          ("velto_scale_" + std::to_string(megabytes) + "mb.json"))
             .string();
  std::ofstream(path, std::ios::binary) << CardText(units);
  return path;
}

// What the issue measured: a list of many empty objects (fault rules with
// every default).
const std::string& EmptyObjectsFile(std::size_t megabytes) {
  static std::string path;
  if (!path.empty()) return path;
  std::string text = "{\"faults\": [";
  while (text.size() < megabytes * 1000000) text += "{}, ";
  text += "{}]}";
  path = (std::filesystem::temp_directory_path() / "velto_scale_empty.json").string();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// Reports the file size, the peak heap during one load above what was live
// before it, and their ratio.
template <class Load>
void MeasureLoad(benchmark::State& state, const std::string& path, Load&& load) {
  const auto bytes = static_cast<double>(std::filesystem::file_size(path));
  double peak = 0;
  for (auto _ : state) {
    const std::size_t before = liveBytes;
    peakBytes = liveBytes;
    benchmark::DoNotOptimize(load(path));
    peak = static_cast<double>(peakBytes - before);
  }
  state.counters["MB"] = bytes / 1e6;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak/size"] = peak / bytes;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

void ReadFile(benchmark::State& state) {
  MeasureLoad(
      state, CardFile(static_cast<std::size_t>(state.range(0))),
      [](const std::string& path) { return d::ReadDescriptionFile(path).endpoints.size(); });
}

void SimFromFile(benchmark::State& state) {
  MeasureLoad(
      state, CardFile(static_cast<std::size_t>(state.range(0))),
      [](const std::string& path) { return velto::sim::SimSystem::FromFile(path)->CallCount(); });
}

void ReadEmptyObjects(benchmark::State& state) {
  MeasureLoad(state, EmptyObjectsFile(static_cast<std::size_t>(state.range(0))),
              [](const std::string& path) { return d::ReadDescriptionFile(path).faults.size(); });
}

// --- Capture and topology -------------------------------------------------------------------

std::unique_ptr<velto::sim::SimSystem> CardSystem(std::size_t parts) {
  return velto::sim::SimSystem::FromJson(nlohmann::json::parse(CardText(parts / 2)), "scaled");
}

void Capture(benchmark::State& state) {
  const auto parts = static_cast<std::size_t>(state.range(0));
  auto system = CardSystem(parts);
  for (auto _ : state) {
    veltomix::SystemModel model = veltomix::WalkSystem(*system);
    benchmark::DoNotOptimize(veltomix::PrettyJson(veltomix::DescribeSystem(model)).size());
  }
  state.counters["parts"] = static_cast<double>(parts);
  state.counters["per_part"] =
      benchmark::Counter(static_cast<double>(parts), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void Topology(benchmark::State& state) {
  const auto parts = static_cast<std::size_t>(state.range(0));
  auto system = CardSystem(parts);
  for (auto _ : state) {
    const veltomix::SystemModel model = veltomix::WalkSystem(*system);
    benchmark::DoNotOptimize(veltomix::TopologyText({model, 0, {}}).size());
  }
  state.counters["parts"] = static_cast<double>(parts);
  state.counters["per_part"] =
      benchmark::Counter(static_cast<double>(parts), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char** argv) {
  velto::bench::CommandLine line = velto::bench::ReadCommandLine(argc, argv);
  const bool quick = line.quick;
  const std::vector<std::int64_t> megabytes =
      quick ? std::vector<std::int64_t>{1} : std::vector<std::int64_t>{1, 10, 50};
  const std::vector<std::int64_t> parts =
      quick ? std::vector<std::int64_t>{1000} : std::vector<std::int64_t>{1000, 10000, 100000};
  using Entry = std::pair<const char*, void (*)(benchmark::State&)>;
  for (const auto& [name, function] : {Entry{"Load/ReadDescriptionFile", ReadFile},
                                       Entry{"Load/SimSystem::FromFile", SimFromFile}}) {
    auto* bench = benchmark::RegisterBenchmark(name, function);
    for (auto size : megabytes) bench->Arg(size);
    bench->Iterations(1)->Repetitions(quick ? 1 : 3)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Load/EmptyObjects", ReadEmptyObjects)
      ->Arg(2)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  for (const auto& [name, function] : {Entry{"Capture", Capture}, Entry{"Topology", Topology}}) {
    auto* bench = benchmark::RegisterBenchmark(name, function);
    for (auto size : parts) bench->Arg(size);
    bench->Unit(benchmark::kMillisecond);
  }
  velto::bench::Reporter reporter;
  return velto::bench::RunBenchmarks(line, reporter);
}
