// Speed of the display list and its file, and of listing a folder, each beside its goal.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "BenchData.h"
#include "library/DisplayList.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"

#ifndef _WIN32
#include <dirent.h>
#endif

namespace tavrino::bench {
namespace {

using library::DisplayList;
using library::kMaxEntries;

// Adding 10 000 new files to a list of 40 000: goal at most 10 ms.
void BM_Add10000To40000(benchmark::State& state) {
    const std::vector<library::DisplayEntry> start = MakeEntries(40000, 2);
    const std::vector<std::string> candidates = MakePaths(10000, 3, "B");
    DisplayList list;
    double best = 1e30;
    for (auto _ : state) {
        state.PauseTiming();
        list.Assign(start);
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        const library::AddResult result = list.Add(candidates);
        best = std::min(best, MillisecondsSince(begin));
        benchmark::DoNotOptimize(result.added);
    }
    if (list.Count() != 50000) {
        state.SkipWithError("not every candidate was added");
    }
    state.counters["best_ms"] = best;
    state.counters["goal_ms"] = 10.0;
}
BENCHMARK(BM_Add10000To40000)->Unit(benchmark::kMillisecond);

// Removing every other entry of a full list: goal at most 20 ms.
void BM_RemoveHalfOf50000(benchmark::State& state) {
    const std::vector<library::DisplayEntry> start = MakeEntries(kMaxEntries, 4);
    std::vector<bool> marked(kMaxEntries);
    for (std::size_t i = 0; i < marked.size(); i += 2) {
        marked[i] = true;
    }
    DisplayList list;
    double best = 1e30;
    for (auto _ : state) {
        state.PauseTiming();
        list.Assign(start);
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(list.Remove(marked));
        best = std::min(best, MillisecondsSince(begin));
    }
    if (list.Count() != kMaxEntries / 2) {
        state.SkipWithError("wrong number of entries kept");
    }
    state.counters["best_ms"] = best;
    state.counters["goal_ms"] = 20.0;
}
BENCHMARK(BM_RemoveHalfOf50000)->Unit(benchmark::kMillisecond);

#ifndef _WIN32
std::size_t RawDirectoryRead(const std::filesystem::path& folder) {
    std::size_t count = 0;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    while (const dirent* entry = readdir(dir)) {
        benchmark::DoNotOptimize(entry->d_name[0]);
        ++count;
    }
    closedir(dir);
    return count;
}

// Listing a folder of 20 000 files (three in four of them images) against reading the raw
// directory: goal at most 1.6 times as long.
void BM_ListFolder20000(benchmark::State& state) {
    ScratchFolder folder("list");
    const std::vector<std::string> names = MakePaths(20000, 5, "C");
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string name = std::filesystem::path(names[i]).filename().string();
        if (i % 4 == 3) {
            name += ".txt";
        }
        std::ofstream(folder.Path() / name).put('x');
    }
    double bestRaw = 1e30;
    double bestList = 1e30;
    std::size_t listed = 0;
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(RawDirectoryRead(folder.Path()));
        const double raw = MillisecondsSince(begin);
        begin = std::chrono::steady_clock::now();
        listed = library::ListFolderImages(folder.Path()).size();
        const double list = MillisecondsSince(begin);
        state.SetIterationTime(list / 1000.0);
        bestRaw = std::min(bestRaw, raw);
        bestList = std::min(bestList, list);
    }
    if (listed != 15000) {
        state.SkipWithError("wrong number of images listed");
    }
    state.counters["raw_ms"] = bestRaw;
    state.counters["list_ms"] = bestList;
    state.counters["list_per_raw"] = bestList / bestRaw;
    state.counters["goal_list_per_raw"] = 1.6;
}
BENCHMARK(BM_ListFolder20000)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
#endif

// Loading images.idx against reading the same file's bytes: goal at most 4 times as long.
void BM_LoadIndexFile(benchmark::State& state) {
    ScratchFolder folder("load");
    {
        DisplayList list;
        list.Assign(MakeEntries(kMaxEntries, 1));
        library::IndexStore(folder.Path()).Save(list);
    }
    const auto file = folder.Path() / library::kIndexFileName;
    library::IndexStore store(folder.Path());
    double bestRead = 1e30;
    double bestLoad = 1e30;
    std::size_t loaded = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::string bytes = library::ReadFileBytes(file);
        const double read = MillisecondsSince(start);
        benchmark::DoNotOptimize(bytes.data());
        // As at start-up: the table is empty when the file is loaded.
        DisplayList list;
        start = std::chrono::steady_clock::now();
        store.Load(list);
        const double load = MillisecondsSince(start);
        loaded = list.Count();
        state.SetIterationTime(load / 1000.0);
        bestRead = std::min(bestRead, read);
        bestLoad = std::min(bestLoad, load);
    }
    if (loaded != kMaxEntries) {
        state.SkipWithError("the generated file did not load whole");
    }
    state.counters["bytes_MiB"] =
        static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
    state.counters["read_ms"] = bestRead;
    state.counters["load_ms"] = bestLoad;
    state.counters["load_per_read"] = bestLoad / bestRead;
    state.counters["goal_load_per_read"] = 4.0;
}
BENCHMARK(BM_LoadIndexFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
}  // namespace tavrino::bench

BENCHMARK_MAIN();
