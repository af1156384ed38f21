// Resident memory of a program that holds a full display list with its views and models,
// painted once: goal at most 45 MiB. Runs in its own process so nothing else is counted.
#include <benchmark/benchmark.h>

#include <QPixmap>
#include <fstream>
#include <string>

#include "QtBench.h"

namespace tavrino::bench {
namespace {

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;  // the line is in kB
        }
    }
    return -1.0;
}

void BM_MemoryWithFullList(benchmark::State& state) {
    ScratchFolder data("memory");
    WriteGeneratedIndex(data.Path(), library::kMaxEntries);
    const double before = ResidentMiB();
    LibraryWindow window(data.Path());
    for (auto _ : state) {
        window.Controller().ListFolderImages();
        window.Controller().LoadDisplayList();
        benchmark::DoNotOptimize(window.Widgets().lstDisplayFiles->grab().cacheKey());
        benchmark::DoNotOptimize(window.Widgets().lstPreview->grab().cacheKey());
        QApplication::processEvents();
    }
    if (window.Controller().displayList().Count() != library::kMaxEntries) {
        state.SkipWithError("the list did not load whole");
    }
    state.counters["rss_MiB"] = ResidentMiB();
    state.counters["rss_before_window_MiB"] = before;
    state.counters["goal_rss_MiB"] = 45.0;
}
BENCHMARK(BM_MemoryWithFullList)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrino::bench

int main(int argc, char** argv) {
    return tavrino::bench::RunWithApplication(argc, argv);
}
