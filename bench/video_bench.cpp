// Video costs under SDL's dummy driver: a whole frame of line presentation
// and single stores into the hi-res and text layers.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include "video/video.h"

namespace {

bool video_bench_surface()
{
    if (machine.fe.screen_surface) return true;
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_Init(SDL_INIT_VIDEO) < 0) return false;
    machine.fe.screen_surface = SDL_SetVideoMode(560, 392, 8, SDL_HWPALETTE);
    if (!machine.fe.screen_surface) return false;
    set_palette();
    return true;
}

// One frame as poll_events drives it: 192 presented lines; the 74 blank
// lines present nothing.
void BM_VideoFrame(benchmark::State& state)
{
    if (!video_bench_surface()) {
        state.SkipWithError("no SDL surface");
        return;
    }
    machine.sw.graphics = 1;
    machine.sw.hires = 1;
    machine.video.scanlines = static_cast<uint32_t>(state.range(0));
    for (uint32_t i = 0; i < 0x2000; ++i) video_store_hook(0x2000 + i, static_cast<uint8_t>(i * 7));
    for (auto _ : state) {
        for (int n = 0; n < 266; ++n)
            if (n < 192) present_line(n);
        benchmark::ClobberMemory();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VideoFrame)->Arg(0)->Arg(1);

void BM_VideoHiresStore(benchmark::State& state)
{
    machine.video.render_mode = static_cast<uint32_t>(state.range(0));
    uint32_t i = 0;
    for (auto _ : state) {
        video_store_hook(0x2000 + (i & 0x1FFF), static_cast<uint8_t>(i));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoHiresStore)->Arg(0)->Arg(3)->Arg(5);

void BM_VideoTextStore(benchmark::State& state)
{
    uint32_t i = 0;
    for (auto _ : state) {
        video_store_hook(0x0400 + (i & 0x3FF), static_cast<uint8_t>(i));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoTextStore);

} // namespace
