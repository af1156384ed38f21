// Memory of the running program and the preview's speed through the decoding helper. The
// program runs under a private X server (Xvfb) with a private home; its resident size is read
// once it has settled: with an empty list, with 50 000 entries, and with a list whose first
// entry (previewed and composed at start) is a tiny picture or a 5120x2880 progressive JPEG.
// Prints every figure beside its goal; fails only when something could not be run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "wallpaper/decode/DecoderProcess.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = TAVRINO_BENCH_FIXTURES;
const fs::path kPhoto = "/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg";

pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

bool Ran(const std::vector<std::string>& argv) {
    const pid_t pid = Start(argv, {"PATH=/usr/bin:/bin"});
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

double ResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// The program with this display list, settled: its resident size in MiB.
double ProgramResident(const std::string& display, const std::vector<std::string>& paths) {
    const fs::path home = kFixtures / "resident-home";
    fs::remove_all(home);
    const fs::path data = home / "data";
    const fs::path config = home / "config" / "tavrino-wallpaper-manager";
    fs::create_directories(data);
    fs::create_directories(config);
    std::ofstream(config / "settings.ini")
        << "[Varnello]\nSettings\\AutoUpdate=0\nSettings\\Rotate=0\nSettings\\Stretch=1\n"
           "Settings\\Aspect=0\nSettings\\Tile=0\n";
    {
        std::ofstream index(data / "images.idx", std::ios::binary);
        for (const std::string& path : paths) {
            index << path << "|True\r\n";
        }
    }
    const pid_t pid =
        Start({TAVRINO_PROGRAM},
              {"PATH=/usr/bin:/bin", "HOME=" + home.string(), "DISPLAY=" + display,
               "XDG_CONFIG_HOME=" + (home / "config").string(),
               "XDG_DATA_HOME=" + (home / "share").string(),
               "XDG_CACHE_HOME=" + (home / "cache").string(), "TAVRINO_DATA_DIR=" + data.string(),
               "TAVRINO_DESKTOP=x11", "TAVRINO_VENDOR_SITE=http://127.0.0.1:9"});
    if (pid <= 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    // The splash shows for four seconds; then the window loads the list, previews, composes
    // and sets the desktop, which on a busy machine takes a while: the size is read once it
    // has stayed put for three seconds.
    double mib = std::numeric_limits<double>::quiet_NaN();
    int still = 0;
    for (int second = 0; second < 40 && still < 3; ++second) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const double now = ResidentMiB(pid);
        still = second >= 8 && std::abs(now - mib) < 0.05 ? still + 1 : 0;
        mib = now;
    }
    Stop(pid);
    return mib;
}

struct Goal {
    std::string what;
    double value;
    std::string unit;
    double limit;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!fs::exists(kPhoto) || !Ran({"sh", "-c", "command -v convert && command -v Xvfb"})) {
        std::printf("bench_resident: needs %s, ImageMagick and Xvfb; skipped\n", kPhoto.c_str());
        return 0;
    }
    fs::create_directories(kFixtures);
    const fs::path big = kFixtures / "progressive-5120x2880.jpg";
    const fs::path large = kFixtures / "baseline-6000x4000.jpg";  // made by bench_wallpaper
    const fs::path tiny = kFixtures / "tiny-64x36.jpg";
    if ((!fs::exists(big) && !Ran({"convert", kPhoto.string(), "-resize", "5120x2880!",
                                   "-interlace", "plane", "-quality", "90", big.string()})) ||
        (!fs::exists(large) && !Ran({"convert", kPhoto.string(), "-resize", "6000x4000!",
                                     "-quality", "92", large.string()})) ||
        (!fs::exists(tiny) &&
         !Ran({"convert", kPhoto.string(), "-resize", "64x36!", tiny.string()}))) {
        std::printf("bench_resident: could not make the fixtures in %s\n", kFixtures.c_str());
        return 1;
    }

    // The preview of a 24-megapixel JPEG in the preview box (175 x 131 pixels), helper and all.
    tavrino::PreviewJob job;
    job.picture = large.string();
    job.screen = tavrino::ScreenMetrics{28800.0F, 16200.0F, 15.0F, 15.0F};
    job.targetWidth = 2625.0F;
    job.targetHeight = 1965.0F;
    job.fit = {true, true};
    // Each run follows a pause, untimed, as a click on the list follows the one before: the
    // program starts the next helper once a job is done, and the user does not click again
    // within a few milliseconds.
    const auto timed = [](const char* name, std::function<void()> run) {
        benchmark::RegisterBenchmark(
            name,
            [run = std::move(run)](benchmark::State& state) {
                for (auto _ : state) {
                    state.PauseTiming();
                    std::this_thread::sleep_for(std::chrono::milliseconds(250));
                    state.ResumeTiming();
                    run();
                }
            })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
    };
    timed("preview_in_process/jpeg_6000x4000",  // the same decoding in this process, beside it
          [&] { benchmark::DoNotOptimize(tavrino::RunPreviewJob(job)); });
    tavrino::PrepareDecoder();  // as the main window does when it is shown
    timed("preview_through_helper/jpeg_6000x4000",
          [&] { benchmark::DoNotOptimize(tavrino::DecodePreview(job)); });
    // The floor under both: libjpeg-turbo's own tool, shrinking the same file by an eighth.
    timed("djpeg_eighth/jpeg_6000x4000", [&] {
        Ran({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", large.string()});
    });
    std::vector<double> previewMs;
    class Reporter : public benchmark::ConsoleReporter {
    public:
        explicit Reporter(std::vector<double>& ms) : ms_(ms) {}
        void ReportRuns(const std::vector<Run>& runs) override {
            for (const Run& run : runs) {
                ms_.push_back(run.GetAdjustedRealTime());
            }
            ConsoleReporter::ReportRuns(runs);
        }

    private:
        std::vector<double>& ms_;
    } reporter(previewMs);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::string display = ":" + std::to_string(90 + (::getpid() % 9));
    const pid_t xvfb = Start({"Xvfb", display, "-screen", "0", "1920x1080x24", "-nolisten", "tcp"},
                             {"PATH=/usr/bin:/bin"});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<std::string> many{tiny.string()};
    for (int i = 1; i < 50000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/pictures/holiday %04d/photo-%05d.jpg", i / 100, i);
        many.push_back(kFixtures.string() + name);
    }
    const double empty = ProgramResident(display, {});
    const double fifty = ProgramResident(display, many);
    const double small = ProgramResident(display, {tiny.string()});
    const double composed = ProgramResident(display, {big.string()});
    Stop(xvfb);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (previewMs.size() == 3) {
        std::printf(
            "(preview of the same picture decoded in this process: %.1f ms; djpeg -scale 1/8 "
            "of it, start to exit: %.1f ms)\n",
            previewMs[0], previewMs[2]);
    }
    const std::vector<Goal> goals{
        {"preview of a 24 MP JPEG through the helper", previewMs.size() == 3 ? previewMs[1] : nan,
         "ms", 60},
        {"resident, 50 000 entries", fifty, "MiB", 45},
        {"resident after composing 5120x2880, extra", composed - small, "MiB", 3},
    };
    std::printf(
        "(resident: empty list %.1f MiB, one tiny picture %.1f MiB, one 5120x2880 "
        "progressive JPEG %.1f MiB)\n",
        empty, small, composed);
    std::printf("\n%-44s %10s   %-10s %s\n", "figure", "value", "goal", "");
    bool ran = true;
    for (const Goal& g : goals) {
        ran = ran && std::isfinite(g.value);
        std::printf("%-44s %8.2f %-3s <= %-7.2f %s\n", g.what.c_str(), g.value, g.unit.c_str(),
                    g.limit, std::isfinite(g.value) && g.value <= g.limit ? "met" : "MISSED");
    }
    return ran ? 0 : 1;
}
