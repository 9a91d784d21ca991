// Benchmarks of the engine's hot path: CRC-32, the traditional cipher, the
// mask matcher, writes into split volumes, and name lookups in a large
// directory. Run: build/release/bench/engine_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/archiver.h"
#include "engine/format/crc32.h"
#include "engine/format/zip_crypto.h"
#include "engine/io/mask.h"
#include "platform/env.h"
#include "platform/memory_stream.h"

namespace tessaly::engine {
namespace {

std::vector<uint8_t> Data(size_t size) {
  std::vector<uint8_t> data(size);
  std::mt19937 rng(7);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  return data;
}

void BM_UpdateCrc(benchmark::State& state) {
  const std::vector<uint8_t> data = Data(static_cast<size_t>(state.range(0)));
  uint32_t reg = 0xFFFFFFFF;
  for (auto _ : state) {
    reg = UpdateCrc(reg, data.data(), static_cast<int64_t>(data.size()));
    benchmark::DoNotOptimize(reg);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UpdateCrc)->Arg(4096)->Arg(1 << 20);

void BM_EncryptBuffer(benchmark::State& state) {
  std::vector<uint8_t> data = Data(static_cast<size_t>(state.range(0)));
  ZipKeys keys = InitKeys("password");
  for (auto _ : state) {
    EncryptBuffer(keys, data.data(), 0, data.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncryptBuffer)->Arg(1 << 20);

void BM_MaskMatch(benchmark::State& state) {
  const std::vector<std::string> names = {
      "FileList.cfg", "ledger.dat", "yearly_report_2026.rpt", "logo.bmp",
      "a/very/long/path/with/many/parts/and_a_file_name.dat"};
  size_t matches = 0;
  for (auto _ : state) {
    for (const std::string& name : names) {
      matches += MaskMatch(name, "*.dat");
      matches += MaskMatch(name, "*a*b*c*.*");
    }
  }
  benchmark::DoNotOptimize(matches);
  state.SetItemsProcessed(state.iterations() * names.size() * 2);
}
BENCHMARK(BM_MaskMatch);

// Writes 8 MiB in 64 KiB pieces into 2 MiB split volumes in a temporary
// folder; includes the free-space query made before every piece.
void BM_WriteToVolumes(benchmark::State& state) {
  const std::vector<uint8_t> piece = Data(65536);
  char pattern[] = "/tmp/tessaly-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  for (auto _ : state) {
    TZipArchiver zip;
    zip.FileName = dir + "/bench.zip";
    zip.SetSpanningMode(smSplitting);
    zip.SpanningOptions.VolumeSize = vsCustom;
    zip.SpanningOptions.SetCustomVolumeSize(2097152);
    zip.Open(kOpenCreate);
    for (int i = 0; i < 128; ++i) {
      zip.Volumes().WriteChecked(piece.data(), piece.size(), -1);
    }
    zip.Close();
  }
  state.SetBytesProcessed(state.iterations() * 128 * 65536);
  std::system(("rm -rf " + dir).c_str());
}
BENCHMARK(BM_WriteToVolumes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessaly::engine
