// How fast the registry file is read and written, whatever its shape:
// values per second of reading one key that holds N values
// ("values_per_second"), keys per second of reading N keys side by side and
// of writing them back ("keys_per_second"), and the same with every other
// value deleted again by name.  A reader that is linear (or n log n) keeps
// its rate as N grows; a quadratic one loses a factor of ten for each
// factor of ten in N.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "registry/registry.h"

namespace {

const char kHead[] = "Windows Registry Editor Version 5.00\n\n";

std::string many_values(int n, bool delete_half) {
    std::string text = std::string(kHead) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Many]\n";
    for (int i = 0; i < n; ++i) text += "\"Value" + std::to_string(i) + "\"=dword:" + std::to_string(i % 10) + "\n";
    if (delete_half)
        for (int i = 0; i < n; i += 2) text += "\"VALUE" + std::to_string(i) + "\"=-\n";
    return text;
}

std::string many_keys(int n) {
    std::string text = kHead;
    for (int i = 0; i < n; ++i)
        text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Group" + std::to_string(i % 100) + "\\Key" + std::to_string(i) +
                "]\n\"v\"=dword:1\n\n";
    return text;
}

void parse(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        sim::Registry r;
        std::string error;
        if (!r.parse(text, "bench.reg", &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(r);
    }
}

void ValuesInOneKey(benchmark::State& state) {
    parse(state, many_values(int(state.range(0)), false));
    state.counters["values_per_second"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

void ValuesSetThenHalfDeleted(benchmark::State& state) {
    parse(state, many_values(int(state.range(0)), true));
    state.counters["values_per_second"] =
        benchmark::Counter(double(state.range(0)) * 1.5, benchmark::Counter::kIsIterationInvariantRate);
}

void KeysSideBySide(benchmark::State& state) {
    parse(state, many_keys(int(state.range(0))));
    state.counters["keys_per_second"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

void WritingKeysBack(benchmark::State& state) {
    sim::Registry r;
    std::string error;
    if (!r.parse(many_keys(int(state.range(0))), "bench.reg", &error)) state.SkipWithError(error.c_str());
    for (auto _ : state) benchmark::DoNotOptimize(r.text());
    state.counters["keys_per_second"] =
        benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(ValuesInOneKey)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ValuesSetThenHalfDeleted)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(KeysSideBySide)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(WritingKeysBack)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Each iteration frees what the last one built.  glibc gives the top of a
// shrinking heap back to the system and takes large blocks straight from
// it, so a registry of 100,000 values would be paged in afresh by every
// iteration and the figure would measure the kernel's page faults rather
// than the reader: the heap is kept, as a process that goes on running
// keeps it.
int main(int argc, char** argv) {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
