// Throughput of the expanding copy through the public calls, on a 64 MiB
// file held in the page cache: expansion of an SZDD file, a plain copy, and
// `cp` of the same plain file for comparison. Bytes/s are output bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "lz.h"
#include "szdd_testing.h"
#include "testing_machine.h"

namespace {

constexpr size_t kSize = 64u << 20;

// Text-like content with some binary stretches: it compresses to about half,
// much like program files.
std::string MakeContent() {
  static const char* const words[] = {"setup",  "install", "file",   "disk", "copy",  "window", "program",
                                      "driver", "the",     "of",     "and",  "value", "system", "registry",
                                      "group",  "item",    "\r\n",   "=",    "0x1F",  "C:\\APP\\"};
  std::mt19937 rng(7);
  std::string s;
  s.reserve(kSize + 64);
  while (s.size() < kSize) {
    if (rng() % 128 == 0) {
      for (int i = 0; i < 256; ++i) s += static_cast<char>(rng());
    } else {
      s += words[rng() % std::size(words)];
      s += ' ';
    }
  }
  s.resize(kSize);
  return s;
}

struct Files {
  dosfs::testing::TempMachine machine;
  Files() {
    std::string content = MakeContent();
    machine.Write('A', "BIG.DAT", content);
    machine.Write('A', "BIG.DA_", lz::testing::SzddFile(content));
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

void Copy(benchmark::State& state, const char* src) {
  TheFiles();
  for (auto _ : state) {
    OFSTRUCT ofs{};
    INT in = LZOpenFileA(src, &ofs, OF_READ);
    INT out = LZOpenFileA("C:\\OUT.DAT", &ofs, OF_CREATE);
    LONG n = LZCopy(in, out);
    LZClose(in);
    LZClose(out);
    if (n != static_cast<LONG>(kSize)) state.SkipWithError("copy failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

void BM_Expand(benchmark::State& state) {
  Copy(state, "A:\\BIG.DA_");
  state.counters["packed/plain"] =
      static_cast<double>(std::filesystem::file_size(TheFiles().machine.Host('A', "BIG.DA_"))) / kSize;
}
void BM_PlainCopy(benchmark::State& state) { Copy(state, "A:\\BIG.DAT"); }

void BM_CpReference(benchmark::State& state) {
  Files& f = TheFiles();
  std::string cmd = "cp '" + f.machine.Host('A', "BIG.DAT") + "' '" + f.machine.Host('C', "OUT.DAT") + "'";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("cp failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSize));
}

BENCHMARK(BM_Expand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpReference)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
