#include "IdleCost.h"

#include <csignal>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#ifdef __linux__
#include <sys/wait.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace quelvar::bench {

namespace {

#ifdef __linux__
// Fields 14 and 15 (user and system time) and 22 (start time) of /proc/PID/stat, in ticks.
std::optional<std::vector<long long>> StatFields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');  // the command name may hold blanks
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream rest(text.substr(close + 2));
    std::vector<std::string> fields((std::istream_iterator<std::string>(rest)),
                                    std::istream_iterator<std::string>());
    if (fields.size() < 20) {
        return std::nullopt;
    }
    // fields[0] is field 3 of the file.
    return std::vector<long long>{std::stoll(fields[11]), std::stoll(fields[12]),
                                  std::stoll(fields[19])};
}

// Nanoseconds the process has run on a processor, from /proc/PID/schedstat.
std::optional<long long> CpuNanoseconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    if (!(stat >> ns)) {
        return std::nullopt;
    }
    return ns;
}
#endif

}  // namespace

std::optional<double> IdleCpuPercent(const std::vector<std::string>& arguments,
                                     std::chrono::seconds warmUp, std::chrono::seconds span) {
#ifdef __linux__
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(QUELVAR_WINDOW_PROGRAM));
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::this_thread::sleep_for(warmUp);
    const auto before = CpuNanoseconds(child);
    std::this_thread::sleep_for(span);
    const auto after = CpuNanoseconds(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    if (!before || !after) {
        return std::nullopt;
    }
    return 100.0 * static_cast<double>(*after - *before) / 1e9 / static_cast<double>(span.count());
#else
    (void)arguments;
    (void)warmUp;
    (void)span;
    return std::nullopt;
#endif
}

std::optional<double> MsSinceProcessStart() {
#ifdef __linux__
    const auto fields = StatFields(getpid());
    timespec boot{};
    if (!fields || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) {
        return std::nullopt;
    }
    const double startedMs =
        1000.0 * static_cast<double>((*fields)[2]) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(boot.tv_sec) * 1000.0 + static_cast<double>(boot.tv_nsec) / 1e6 -
           startedMs;
#elif defined(_WIN32)
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return std::nullopt;
    }
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    // FILETIME counts 100 ns steps.
    const auto steps = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(steps(now) - steps(created)) / 1e4;
#else
    return std::nullopt;
#endif
}

}  // namespace quelvar::bench
