// Parse throughput of the settings reader over a large settings file, from memory and from
// disk. Throughput is reported in bytes per second of file.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/CIni.h"
#include "app/SettingsFileWriter.h"

namespace {

// About 8 MB: sections of the program's full key set, repeated.
const std::vector<std::byte>& LargeSettingsFile() {
  static const std::vector<std::byte> bytes = [] {
    SettingsFileWriter writer;
    const char* keys[] = {"FanWorkMode", "FanSpeed",  "DyaGpuClock", "DyaMemClock", "PowerTarget",
                          "GpuMode",     "GpuVF",     "MemVF",       "PercentOV",   "LEDMODE",
                          "LED_R_CR",    "LED_G_CR",  "LED_B_CR",    "LED_Timer1",  "LED_Timer2",
                          "LED_Timer3",  "GM1MODE",   "GM2MODE"};
    for (int gpu = 1; gpu <= 14'000; ++gpu) {
      writer.AddSection(gpu);
      writer.AddText("Id", "2684");
      int v = gpu;
      for (const char* key : keys) writer.AddNumber(key, (v = v * 31 % 100'003) - 50'000);
    }
    return writer.Bytes();
  }();
  return bytes;
}

void BM_ParseFromMemory(benchmark::State& state) {
  const auto& bytes = LargeSettingsFile();
  for (auto _ : state) {
    CIni ini;
    benchmark::DoNotOptimize(ini.LoadBytes(bytes));
    benchmark::DoNotOptimize(ini.Root());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_ParseFromMemory)->Unit(benchmark::kMillisecond);

void BM_LoadFromFile(benchmark::State& state) {
  const auto& bytes = LargeSettingsFile();
  const auto file = std::filesystem::temp_directory_path() / "pyx-cini-bench.txt";
  if (!SettingsFileWriter::ReplaceFileAtomically(file, bytes)) {
    state.SkipWithError("cannot write the settings file");
    return;
  }
  for (auto _ : state) {
    CIni ini;
    benchmark::DoNotOptimize(ini.Load(file));
    benchmark::DoNotOptimize(ini.Root());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
  std::filesystem::remove(file);
}
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);

// What the settings load does after parsing: find each GPU's section and read its keys.
void BM_LookupKeys(benchmark::State& state) {
  CIni ini;
  if (!ini.LoadBytes(LargeSettingsFile())) {
    state.SkipWithError("parse failed");
    return;
  }
  for (auto _ : state) {
    for (int gpu = 1; gpu <= 5; ++gpu) {
      const CTreeNode* section = ini.FindChild(ini.Root(), "Gpu" + std::to_string(gpu));
      benchmark::DoNotOptimize(ini.ReadInt(section, "GM2MODE"));
      benchmark::DoNotOptimize(ini.ReadText(section, "Id"));
    }
  }
}
BENCHMARK(BM_LookupKeys);

}  // namespace
