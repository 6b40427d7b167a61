// The merge engines on realistic game lists, in one process (the script run_benchmarks.py measures whole
// processes against the cost of copying the files).

#include <benchmark/benchmark.h>

#include <sstream>

#include "bench/game_lists.h"
#include "ini/file/key_store.h"
#include "file_fakes.h"
#include "merge/merge_pass.h"

namespace ombrix::bench {
namespace {

template <typename Store>
void mergeGameLists(benchmark::State& state, MergePolicy policy) {
  const GameListPair lists = makeGameLists(static_cast<int>(state.range(0)));
  std::int32_t changes = 0;
  for (auto _ : state) {
    test::MemoryFiles files;  // in memory: the benchmark measures the engine and not the disk
    files.files["out.ini"] = lists.fileToUpdate;
    Store store("out.ini", files);
    if constexpr (std::is_same_v<Store, MemoryKeyStore>) {
      store.load();
    }
    std::istringstream newKeys(lists.newKeys);
    LineReader lines(newKeys);
    changes = runMergePass(lines, store, policy, [](std::string_view) {}).changeCount;
    store.finish();
    benchmark::DoNotOptimize(files.files["out.ini"].data());
  }
  state.counters["lines_changed"] = changes;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(lists.fileToUpdate.size() + lists.newKeys.size()));
}

void memoryEngine(benchmark::State& state) {
  mergeGameLists<MemoryKeyStore>(state, static_cast<MergePolicy>(state.range(1)));
}
BENCHMARK(memoryEngine)
    ->ArgsProduct({{800, 5000, 50000}, {0, 1, 2}})
    ->ArgNames({"games", "policy"})
    ->Unit(benchmark::kMillisecond);

// The reference rereads and rewrites the whole list for every key line: only the small list is practical.
void referenceEngine(benchmark::State& state) {
  mergeGameLists<WholeFileKeyStore>(state, static_cast<MergePolicy>(state.range(1)));
}
BENCHMARK(referenceEngine)
    ->ArgsProduct({{800}, {0, 1, 2}})
    ->ArgNames({"games", "policy"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace ombrix::bench
