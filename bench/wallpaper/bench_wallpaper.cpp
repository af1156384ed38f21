// Composition of a wallpaper bitmap timed as a whole process (start-up, decoding, scaling,
// writing) against common tools doing the same job, with its peak memory and its quality
// against a full-size Lanczos reference. Prints every figure beside its goal ("met" or
// "MISSED"); the run fails only when a command fails, since timings on a shared machine vary.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = TAVRINO_BENCH_FIXTURES;
const std::string kTool = TAVRINO_COMPOSE_TOOL;
const fs::path kPhoto = "/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg";

struct Run {
    bool ok = false;
    double seconds = 0;
    long maxRssKb = 0;
};

// Runs argv to the end with its output discarded; wall time and peak resident memory.
Run RunProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            run.maxRssKb = usage.ru_maxrss;
        }
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

bool HaveTool(const std::string& name) {
    return RunProcess({"sh", "-c", "command -v " + name}).ok;
}

struct Fixtures {
    fs::path base = kFixtures / "baseline-6000x4000.jpg";
    fs::path progressive = kPhoto;
    fs::path gif = kFixtures / "photo-3000x2000.gif";
    fs::path bmp = kFixtures / "photo-6000x4000.bmp";
    fs::path reference = kFixtures / "reference-lanczos-1920x1080.bmp";
};

bool MakeFixtures(const Fixtures& f) {
    fs::create_directories(kFixtures);
    const std::string staging = (kFixtures / "staging").string();
    // Each fixture is made once per build tree (they take a while and never change), under a
    // staging name first so that a killed run leaves no half file behind.
    const auto make = [&](const fs::path& target, std::vector<std::string> argv) {
        if (fs::exists(target)) {
            return true;
        }
        std::printf("making %s ...\n", target.filename().c_str());
        std::fflush(stdout);
        const std::string out = staging + target.extension().string();
        argv.push_back(target.extension() == ".bmp" ? "BMP3:" + out : out);
        if (!RunProcess(argv).ok || !fs::exists(out)) {
            return false;
        }
        fs::rename(out, target);
        return true;
    };
    return make(f.base, {"convert", kPhoto.string(), "-resize", "6000x4000!", "-quality", "92",
                         "-interlace", "none", "-sampling-factor", "2x2"}) &&
           make(f.gif, {"convert", kPhoto.string(), "-resize", "3000x2000!", "+dither", "-colors",
                        "256"}) &&
           make(f.bmp, {"convert", f.base.string(), "-type", "TrueColor"}) &&
           make(f.reference, {"convert", f.base.string(), "-filter", "Lanczos", "-resize",
                              "1920x1080!", "-type", "TrueColor"});
}

std::vector<std::string> Ours(const fs::path& in, const std::string& tag) {
    return {kTool,
            "--screen",
            "1920x1080",
            "--stretch",
            "--no-aspect",
            in.string(),
            (kFixtures / ("out-tavrino-" + tag + ".bmp")).string()};
}
std::vector<std::string> Helper(const fs::path& in, const std::string& tag) {
    std::vector<std::string> argv = Ours(in, tag + "-helper");
    argv.insert(argv.begin() + 1, "--helper");
    return argv;
}
std::vector<std::string> Vips(const fs::path& in, const std::string& tag) {
    return {"vips", "thumbnail", in.string(), (kFixtures / ("out-vips-" + tag + ".bmp")).string(),
            "1920", "--height",  "1080",      "--size",
            "force"};
}
std::vector<std::string> Magick(const fs::path& in) {
    return {"convert", in.string(), "-resize", "1920x1080!",
            (kFixtures / "out-magick.bmp").string()};
}
std::vector<std::string> Djpeg(const fs::path& in) {
    return {"djpeg",    "-scale", "1/4", "-bmp", "-outfile", (kFixtures / "out-djpeg.bmp").string(),
            in.string()};
}

struct Figures {
    double fastest = std::numeric_limits<double>::infinity();
    long maxRssKb = 0;
    bool failed = false;
};
std::map<std::string, Figures> g_figures;

void RegisterProcess(const std::string& name, std::vector<std::string> argv, int iterations) {
    benchmark::RegisterBenchmark(
        name.c_str(),
        [name, argv](benchmark::State& state) {
            Figures& figures = g_figures[name];
            for (auto _ : state) {
                const Run run = RunProcess(argv);
                if (!run.ok) {
                    figures.failed = true;
                    state.SkipWithError(("command failed: " + argv[0]).c_str());
                    break;
                }
                state.SetIterationTime(run.seconds);
                figures.fastest = std::min(figures.fastest, run.seconds);
                figures.maxRssKb = std::max(figures.maxRssKb, run.maxRssKb);
            }
            state.counters["peak_MiB"] = static_cast<double>(figures.maxRssKb) / 1024.0;
        })
        ->UseManualTime()
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.isNull() || a.size() != b.size()) {
        return 0;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

struct Goal {
    std::string what;
    double value;
    std::string unit;
    bool atMost;
    double limit;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const Fixtures f;
    if (!fs::exists(kPhoto) || !HaveTool("convert")) {
        std::printf(
            "bench_wallpaper: needs %s and ImageMagick (scripts/deps/wallpaper.txt); "
            "skipped\n",
            kPhoto.c_str());
        return 0;
    }
    if (!MakeFixtures(f)) {
        std::printf("bench_wallpaper: could not make the fixtures in %s\n", kFixtures.c_str());
        return 1;
    }
    // The composition makes its bitmap durable before renaming it into place; with a fresh
    // build's files still waiting to be written, that first flush would time the disk rather
    // than the composition.
    sync();
    const bool vips = HaveTool("vips");
    const bool djpeg = HaveTool("djpeg");

    RegisterProcess("tavrino/baseline_6000x4000_jpeg", Ours(f.base, "base"), 10);
    RegisterProcess("tavrino/progressive_5640_jpeg", Ours(f.progressive, "prog"), 10);
    RegisterProcess("tavrino/gif_3000x2000", Ours(f.gif, "gif"), 5);
    RegisterProcess("tavrino/bmp_6000x4000", Ours(f.bmp, "bmp"), 5);
    RegisterProcess("tavrino_helper/baseline_6000x4000_jpeg", Helper(f.base, "base"), 10);
    RegisterProcess("tavrino_helper/progressive_5640_jpeg", Helper(f.progressive, "prog"), 10);
    if (vips) {
        RegisterProcess("vips/baseline_6000x4000_jpeg", Vips(f.base, "base"), 3);
        RegisterProcess("vips/progressive_5640_jpeg", Vips(f.progressive, "prog"), 3);
        RegisterProcess("vips/gif_3000x2000", Vips(f.gif, "gif"), 3);
        RegisterProcess("vips/bmp_6000x4000", Vips(f.bmp, "bmp"), 3);
    }
    RegisterProcess("magick/baseline_6000x4000_jpeg", Magick(f.base), 2);
    if (djpeg) {
        RegisterProcess("djpeg_quarter/baseline_6000x4000_jpeg", Djpeg(f.base), 5);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto ratio = [](const std::string& ours, const std::string& theirs) {
        const Figures& a = g_figures[ours];
        const Figures& b = g_figures[theirs];
        if (a.failed || b.failed || !std::isfinite(a.fastest) || !std::isfinite(b.fastest)) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        return a.fastest / b.fastest;
    };
    std::vector<Goal> goals;
    const auto extra = [](const std::string& helper, const std::string& inProcess) {
        const Figures& a = g_figures[helper];
        const Figures& b = g_figures[inProcess];
        return a.failed || b.failed ? std::numeric_limits<double>::quiet_NaN()
                                    : (a.fastest - b.fastest) * 1000.0;
    };
    goals.push_back(
        {"baseline JPEG, helper's extra time",
         extra("tavrino_helper/baseline_6000x4000_jpeg", "tavrino/baseline_6000x4000_jpeg"), "ms",
         true, 30});
    goals.push_back({"progressive JPEG, helper's extra time",
                     extra("tavrino_helper/progressive_5640_jpeg", "tavrino/progressive_5640_jpeg"),
                     "ms", true, 30});
    if (vips) {
        goals.push_back({"baseline JPEG, time vs vips thumbnail",
                         ratio("tavrino/baseline_6000x4000_jpeg", "vips/baseline_6000x4000_jpeg"),
                         "x", true, 0.6});
    }
    goals.push_back({"baseline JPEG, time vs convert -resize",
                     ratio("tavrino/baseline_6000x4000_jpeg", "magick/baseline_6000x4000_jpeg"),
                     "x", true, 0.25});
    if (djpeg) {
        goals.push_back(
            {"baseline JPEG, time vs djpeg -scale 1/4",
             ratio("tavrino/baseline_6000x4000_jpeg", "djpeg_quarter/baseline_6000x4000_jpeg"), "x",
             true, 1.5});
    }
    if (vips) {
        goals.push_back({"progressive JPEG, time vs vips",
                         ratio("tavrino/progressive_5640_jpeg", "vips/progressive_5640_jpeg"), "x",
                         true, 0.85});
        goals.push_back({"GIF, time vs vips", ratio("tavrino/gif_3000x2000", "vips/gif_3000x2000"),
                         "x", true, 0.5});
        goals.push_back({"BMP, time vs vips", ratio("tavrino/bmp_6000x4000", "vips/bmp_6000x4000"),
                         "x", true, 0.5});
    }
    goals.push_back(
        {"baseline JPEG, peak memory",
         static_cast<double>(g_figures["tavrino/baseline_6000x4000_jpeg"].maxRssKb) / 1024.0, "MiB",
         true, 48});
    const QImage reference(QString::fromStdString(f.reference.string()));
    const QImage ours(QString::fromStdString((kFixtures / "out-tavrino-base.bmp").string()));
    goals.push_back(
        {"baseline JPEG, PSNR vs full-size Lanczos", Psnr(ours, reference), "dB", false, 40});
    if (vips) {
        const QImage theirs(QString::fromStdString((kFixtures / "out-vips-base.bmp").string()));
        std::printf("(for comparison: vips thumbnail PSNR vs the same reference %.2f dB)\n",
                    Psnr(theirs, reference));
    }

    bool allMet = true;
    std::printf("\n%-44s %10s   %-10s %s\n", "figure", "value", "goal", "");
    for (const Goal& g : goals) {
        const bool met =
            std::isfinite(g.value) && (g.atMost ? g.value <= g.limit : g.value >= g.limit);
        allMet = allMet && met;
        std::printf("%-44s %8.2f %-3s %s %-7.2f %s\n", g.what.c_str(), g.value, g.unit.c_str(),
                    g.atMost ? "<=" : ">=", g.limit, met ? "met" : "MISSED");
    }
    std::printf("(times are each command's fastest run, start to exit; %s)\n",
                allMet ? "every goal met" : "some goals missed");
    bool ranAll = true;
    for (const auto& [name, figures] : g_figures) {
        ranAll = ranAll && !figures.failed;
    }
    return ranAll ? 0 : 1;
}
