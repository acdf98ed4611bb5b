#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// One run of a contender: false when it failed.
using Run = std::function<bool()>;

// The best of a number of runs of once, in seconds; -1 as soon as a run fails.
inline double bestSeconds(int runs, const std::function<bool()>& once)
{
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (!once())
            return -1;
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Runs the contenders in turn, round after round, so drift in the machine's load falls on all
// of them alike. The median seconds of each, or empty as soon as a run fails (failed names it).
inline std::vector<double> alternatingMedians(int rounds, const std::vector<Run>& contenders, int* failed = nullptr)
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::vector<double>> times(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            const auto start = Clock::now();
            if (!contenders[i]()) {
                if (failed)
                    *failed = int(i);
                return {};
            }
            times[i].push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
    }
    std::vector<double> medians;
    for (auto& t : times)
        medians.push_back(median(t));
    return medians;
}

// As above, with untimed steps around every run: `before` readies what the run works on (a
// fresh device, say) and `after` checks what it did; either failing fails the run.
inline std::vector<double> alternatingMedians(int rounds, const std::vector<Run>& contenders, const Run& before,
                                              const Run& after, int* failed = nullptr)
{
    using Clock = std::chrono::steady_clock;
    std::vector<std::vector<double>> times(contenders.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < contenders.size(); ++i) {
            if (!before()) {
                if (failed)
                    *failed = int(i);
                return {};
            }
            const auto start = Clock::now();
            const bool ran = contenders[i]();
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (!ran || !after()) {
                if (failed)
                    *failed = int(i);
                return {};
            }
            times[i].push_back(seconds);
        }
    }
    std::vector<double> medians;
    for (auto& t : times)
        medians.push_back(median(t));
    return medians;
}

// Runs a program to its end, output to /dev/null: its exit code, -1 when it did not exit.
inline int runToEnd(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A whole process, started afresh for every run.
struct Process {
    std::vector<std::string> argv;
    int exitCode = -1;

    bool run()
    {
        exitCode = runToEnd(argv);
        return exitCode == 0;
    }

    // One more run under /usr/bin/time, for the process's own peak resident memory in KiB (-1
    // on failure). Our own rusage cannot tell: a child spawned from this large process starts
    // with its high-water mark.
    long peakResidentKiB() const
    {
        char path[] = "/tmp/twg-bench-rss-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd < 0)
            return -1;
        ::close(fd);
        std::vector<std::string> timed = {"/usr/bin/time", "-f", "%M", "-o", path};
        timed.insert(timed.end(), argv.begin(), argv.end());
        long kib = -1;
        if (runToEnd(timed) == 0) {
            if (std::FILE* f = std::fopen(path, "r")) {
                if (std::fscanf(f, "%ld", &kib) != 1)
                    kib = -1;
                std::fclose(f);
            }
        }
        std::remove(path);
        return kib;
    }
};

} // namespace bench
