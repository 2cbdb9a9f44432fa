// How fast the Screen Patterns test draws: pixels per second of each
// drawing routine on a 240 x 320 16-bit 5-6-5 frame ("pixels_per_second"),
// and, measured in the same run on the same frame, of two plain memory
// fills: the C library's memset ("memset_pixels_per_second") and a loop
// over the frame's words ("loop_pixels_per_second"), with the routine's
// speed as a share of each ("of_memset", "of_loop_fill").  Rates are per
// second of the thread's CPU time.
//
// The display memory is an ordinary buffer handed out by the GXBeginDraw
// below; Random is a small generator of the same kind as the device's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include "tests/pattern_drawing.h"

namespace {

constexpr DWORD kWidth = 240, kHeight = 320;
constexpr double kPixels = double(kWidth) * kHeight;

std::vector<WORD>& frame() {
    static std::vector<WORD> memory(kWidth * kHeight);
    return memory;
}

uint32_t g_random = 1;

}  // namespace

void* GXBeginDraw() { return frame().data(); }
int GXEndDraw() {
    benchmark::ClobberMemory();
    return 1;
}
extern "C" DWORD WINAPI Random(void) {
    g_random ^= g_random << 13;
    g_random ^= g_random >> 17;
    g_random ^= g_random << 5;
    return g_random;
}

namespace {

void use_device_panel() { DisplayRecord = GXDisplayProperties{kWidth, kHeight, 2, 480, 16, kfDirect565}; }

// The plain memory fills of the frame: the C library's block fill, and an
// ordinary loop over the frame's 16-bit words as the compiler makes it.
int memset_fill() {
    std::memset(frame().data(), 0xFF, frame().size() * sizeof(WORD));
    benchmark::ClobberMemory();
    return 1;
}

int loop_fill() {
    WORD* p = frame().data();
    for (size_t i = 0, n = frame().size(); i < n; ++i) p[i] = 0x00FF;
    benchmark::ClobberMemory();
    return 1;
}

double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Frames per CPU second of `draw`, timed over enough frames to take about
// a tenth of a second.
template <class Draw>
double frames_per_second(Draw draw) {
    int frames = 16;
    for (;;) {
        double start = thread_seconds();
        for (int i = 0; i < frames; ++i) benchmark::DoNotOptimize(draw());
        double took = thread_seconds() - start;
        if (took > 0.1) return frames / took;
        frames *= 2;
    }
}

// Runs `draw` once an iteration, then sets beside it, in the same run,
// its pixels per second and those of the two plain fills, and the ratios.
template <class Draw>
void measure(benchmark::State& state, Draw draw) {
    use_device_panel();
    for (auto _ : state) benchmark::DoNotOptimize(draw());
    double own = frames_per_second(draw), block = frames_per_second(memset_fill), loop = frames_per_second(loop_fill);
    state.counters["pixels_per_second"] = own * kPixels;
    state.counters["memset_pixels_per_second"] = block * kPixels;
    state.counters["loop_pixels_per_second"] = loop * kPixels;
    state.counters["of_memset"] = own / block;
    state.counters["of_loop_fill"] = own / loop;
}

void BM_MemsetFill(benchmark::State& state) { measure(state, memset_fill); }

void BM_LoopFill(benchmark::State& state) { measure(state, loop_fill); }

void BM_FillScreenSolid(benchmark::State& state) {
    measure(state, [] { return FillScreenSolid(0, 0, 255); });
}

void BM_VerticalBars(benchmark::State& state) {
    measure(state, [] { return DrawColourBars(0); });
}

void BM_HorizontalBars(benchmark::State& state) {
    measure(state, [] { return DrawColourBars(1); });
}

void BM_RandomColumns(benchmark::State& state) {
    measure(state, [] { return DrawRandomColumns(); });
}

// One whole run of the test's passes: the opening fill and 150 more.
void BM_AllPasses(benchmark::State& state) {
    use_device_panel();
    for (auto _ : state) {
        int verdict = FillScreenSolid(255, 255, 255);
        for (int i = 0; i < 30; ++i) verdict &= FillScreenSolid(0, 0, 255);
        for (int i = 0; i < 30; ++i) verdict &= FillScreenSolid(255, 255, 255);
        for (int i = 0; i < 30; ++i) verdict &= DrawColourBars(0);
        for (int i = 0; i < 30; ++i) verdict &= DrawColourBars(1);
        for (int i = 0; i < 30; ++i) verdict &= DrawRandomColumns();
        benchmark::DoNotOptimize(verdict);
    }
    state.counters["pixels_per_second"] = benchmark::Counter(kPixels * 151, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_MemsetFill);
BENCHMARK(BM_LoopFill);
BENCHMARK(BM_FillScreenSolid);
BENCHMARK(BM_VerticalBars);
BENCHMARK(BM_HorizontalBars);
BENCHMARK(BM_RandomColumns);
BENCHMARK(BM_AllPasses)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
