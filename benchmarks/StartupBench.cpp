// Start-up of loggercfg against a bare Qt program with a window of the same
// size: wall clock from the spawn to the first frame, and peak memory.
#include "BenchSupport.h"

#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct TStart {
    double WallMs = 0;
    double PeakMiB = 0;
    double CpuMs = 0;
};

TStart StartOnce(const char *program)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw Bench::EBenchFailure("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    char *argv[] = {const_cast<char *>(program), nullptr};

    const Bench::TClock::time_point start = Bench::TClock::now();
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (failed != 0) {
        ::close(out[0]);
        throw Bench::EBenchFailure(std::string("cannot start ") + program);
    }

    std::string report;
    std::optional<Bench::TClock::time_point> shown;
    char chunk[256];
    for (;;) {
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        report.append(chunk, static_cast<std::size_t>(n));
        if (!shown && report.find('\n') != std::string::npos)
            shown = Bench::TClock::now();
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!shown || report.rfind("shown ", 0) != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Bench::EBenchFailure(std::string(program) + " did not report its first frame");

    const auto cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                     + std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    return {Bench::Milliseconds(*shown - start), std::atof(report.c_str() + 6) / 1024.0, Bench::Milliseconds(cpu)};
}

std::string Spread(const std::vector<double> &v, int decimals)
{
    return "min " + Bench::Fixed(Bench::Min(v), decimals) + ", max " + Bench::Fixed(Bench::Max(v), decimals)
           + ", n=" + std::to_string(v.size());
}

int Measure(int rounds, const char *ours, const char *bare)
{
    try {
        // Fonts, libraries and pictures come from the page cache in every counted run.
        StartOnce(ours);
        StartOnce(bare);
        std::vector<double> wall[2], peak[2], cpu[2], wallRatio, peakRatio;
        for (int i = 0; i < rounds; ++i) {
            const bool oursFirst = i % 2 == 0;
            const TStart first = StartOnce(oursFirst ? ours : bare);
            const TStart second = StartOnce(oursFirst ? bare : ours);
            const TStart &o = oursFirst ? first : second;
            const TStart &b = oursFirst ? second : first;
            wall[0].push_back(o.WallMs);
            wall[1].push_back(b.WallMs);
            peak[0].push_back(o.PeakMiB);
            peak[1].push_back(b.PeakMiB);
            cpu[0].push_back(o.CpuMs);
            cpu[1].push_back(b.CpuMs);
            wallRatio.push_back(o.WallMs / b.WallMs);
            peakRatio.push_back(o.PeakMiB / b.PeakMiB);
        }
        Bench::Figure("startup_to_shown_ours_median", Bench::Median(wall[0]), "ms", Spread(wall[0], 1), 1);
        Bench::Figure("startup_to_shown_bare_median", Bench::Median(wall[1]), "ms", Spread(wall[1], 1), 1);
        Bench::Figure("startup_peak_rss_ours_median", Bench::Median(peak[0]), "MiB", Spread(peak[0], 1), 1);
        Bench::Figure("startup_peak_rss_bare_median", Bench::Median(peak[1]), "MiB", Spread(peak[1], 1), 1);
        Bench::Figure("startup_cpu_ours_median", Bench::Median(cpu[0]), "ms", Spread(cpu[0], 1) + ", whole run", 1);
        Bench::Figure("startup_cpu_bare_median", Bench::Median(cpu[1]), "ms", Spread(cpu[1], 1) + ", whole run", 1);
        const double wallMedian = Bench::Median(wallRatio);
        const double peakMedian = Bench::Median(peakRatio);
        std::printf("startup_to_shown ratio %s ours/peer (per-round %s)\n", Bench::Fixed(wallMedian).c_str(),
                    Spread(wallRatio, 2).c_str());
        std::printf("startup_peak_rss ratio %s ours/peer (per-round %s)\n", Bench::Fixed(peakMedian).c_str(),
                    Spread(peakRatio, 2).c_str());
        Bench::Goal("startup_to_shown", wallMedian <= 2.0, "within 2x of the bare program's time to its first frame");
        Bench::Goal("startup_peak_rss", peakMedian <= 1.5, "within 1.5x of the bare program's peak memory");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "startup-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: startup-bench ROUNDS LOGGERCFG BARE\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const char *ours = argv[2];
    const char *bare = argv[3];
    // Each program is shown offscreen, which also keeps the runs off any display,
    // and gets a runtime directory of its own, as a desktop session provides.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char runtime[] = "/tmp/startup-bench-XXXXXX";
    if (::mkdtemp(runtime) == nullptr) {
        std::perror("startup-bench: mkdtemp");
        return 1;
    }
    ::setenv("XDG_RUNTIME_DIR", runtime, 1);
    const int status = Measure(rounds, ours, bare);
    std::filesystem::remove_all(runtime);
    return status;
}
