// How fast the stress user runs and how much memory a long run keeps,
// measured on dravik-sim itself (built beside this benchmark), each run a
// child process on a state folder of its own:
//
//   StressRate/N/SEED     --stress N --seed SEED: actions per second of the
//                         child's CPU time, user and system
//                         ("actions_per_cpu_second"), the CPU seconds
//   StressMemory/N        the peak resident memory of --stress 1000 and of
//                         --stress N (seed 1), in MiB, and what each action
//                         beyond the thousandth added ("bytes_per_action")
//   ScriptMemory/RUNS     the peak resident memory of a script of 10
//                         complete runs of all seven tests in one power-on
//                         and of one of RUNS runs, and what each run beyond
//                         the tenth added ("bytes_per_run")
//
// The peak is the child's own (wait4's ru_maxrss), which covers the
// stress user's child run too.  Each benchmark runs once: the figures are
// the counters, not Google Benchmark's wall time.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string simulator() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string self = n > 0 ? std::string(buf, size_t(n)) : std::string("./x");
    return self.substr(0, self.find_last_of('/')) + "/dravik-sim";
}

struct Usage {
    bool ok = false;
    double cpu_seconds = 0;
    double peak_mib = 0;
};

// Runs dravik-sim with the arguments on a fresh state folder.
Usage run(std::vector<std::string> args) {
    std::string dir = (fs::temp_directory_path() / "dravik-bench-XXXXXX").string();
    if (!mkdtemp(&dir[0])) return {};
    args.insert(args.begin(), {simulator(), "--state", dir + "/state"});
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Usage u;
    int status = 0;
    rusage r{};
    if (pid > 0 && wait4(pid, &status, 0, &r) == pid) {
        u.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        u.cpu_seconds = double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
        u.peak_mib = double(r.ru_maxrss) / 1024.0;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return u;
}

Usage stress(long actions, long seed) {
    return run({"--stress", std::to_string(actions), "--seed", std::to_string(seed)});
}

// One complete run of all seven tests, answered as a working device would
// be, ending with the log; the first run ticks IR Transfer too.
const char kRun[] =
    "click \"Next\"\nclick 1000\nclick \"Start\"\nwait 2000\nanswer ok\n"
    "tap 30 41\ntap 30 290\ntap 210 290\ntap 210 41\nanswer ok\nanswer ok\n"
    "press 193\npress 194\npress 195\npress 196\npress left\npress up\npress right\npress action\npress down\n"
    "wait 100\nexpect-status \"IR Transfer\" PASS\nexpect-status \"Key Test\" PASS\n"
    "click \"Finish\"\nanswer yes\nwait 100\nexpect-log \"Key Test\" PASS\n";

Usage script_of_runs(long runs) {
    std::string path = (fs::temp_directory_path() / ("dravik-bench-runs-" + std::to_string(getpid()) + ".txt")).string();
    {
        std::ofstream out(path);
        out << "click \"IR Transfer\"\n";
        for (long i = 0; i < runs; ++i) out << kRun;
    }
    Usage u = run({"--script", path});
    std::remove(path.c_str());
    return u;
}

void StressRate(benchmark::State& state) {
    const long actions = long(state.range(0));
    Usage u;
    for (auto _ : state) u = stress(actions, long(state.range(1)));
    if (!u.ok || u.cpu_seconds <= 0) state.SkipWithError("the stress run failed");
    state.counters["actions_per_cpu_second"] = double(actions) / u.cpu_seconds;
    state.counters["cpu_seconds"] = u.cpu_seconds;
}

void StressMemory(benchmark::State& state) {
    const long actions = long(state.range(0));
    Usage small, large;
    for (auto _ : state) {
        small = stress(1000, 1);
        large = stress(actions, 1);
    }
    if (!small.ok || !large.ok) state.SkipWithError("a stress run failed");
    state.counters["peak_mib_1000"] = small.peak_mib;
    state.counters["peak_mib"] = large.peak_mib;
    state.counters["bytes_per_action"] = (large.peak_mib - small.peak_mib) * 1048576.0 / double(actions - 1000);
}

void ScriptMemory(benchmark::State& state) {
    const long runs = long(state.range(0));
    Usage small, large;
    for (auto _ : state) {
        small = script_of_runs(10);
        large = script_of_runs(runs);
    }
    if (!small.ok || !large.ok) state.SkipWithError("a script run failed");
    state.counters["peak_mib_10_runs"] = small.peak_mib;
    state.counters["peak_mib"] = large.peak_mib;
    state.counters["bytes_per_run"] = (large.peak_mib - small.peak_mib) * 1048576.0 / double(runs - 10);
}

}  // namespace

BENCHMARK(StressRate)
    ->ArgsProduct({{10000, 100000}, {1, 2, 3}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(StressMemory)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(ScriptMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
