// The whole machine in ][+ mode, started up as the program does it: frames
// per second and emulated MHz at the idle prompt, and the time DOS 3.3 takes
// from the reset to its prompt. Start-up runs once per process (it opens SDL
// and the sound), so both benchmarks share it and go on from snapshots of the
// machine record taken just after start-up and at the prompt.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "storage/disk.h"

namespace {

namespace fs = std::filesystem;

struct MachineBench {
    bool ready = false;
    std::string error;     // why the machine could not be made ready
    bool dos = false;      // disk.rom and the DOS 3.3 master were there
    bool prompt = false;   // the boot reached a steady prompt
    uint64_t boot_cycles = 0;
    double boot_wall_ms = 0;
    double boot_cpu_ms = 0;
    MachineState at_reset;  // restored before every boot
    MachineState at_prompt; // restored before every frame run
};

MachineBench bench_state;

double thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Text page 1, the row the cursor is on, as the screen shows it.
bool bench_row_is_bare_prompt(int row)
{
    static constexpr uint16_t base[8] = {0x400, 0x480, 0x500, 0x580, 0x600, 0x680, 0x700, 0x780};
    const uint16_t start = static_cast<uint16_t>(base[row % 8] + 0x28 * (row / 8));
    // Column 1 holds the cursor, whose look the blink changes.
    if ((machine.mem.ram[start] & 0x7F) != ']') return false;
    for (int c = 2; c < 40; ++c)
        if ((machine.mem.ram[start + c] & 0x7F) != ' ') return false;
    return true;
}

// The machine waits for a line when the cursor row holds the bare prompt
// and both drives have stopped (their run-on over), and stays so for two million cycles (DOS
// shows a prompt briefly before it runs HELLO). The boot ends where that
// steady stretch began.
void bench_boot_to_prompt(uint64_t budget)
{
    bench_state.prompt = false;
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = thread_cpu_ms();
    uint64_t spent = 0;
    int steady = 0;
    while (spent <= budget) {
        const int cv = machine.mem.ram[0x25];
        const bool quiet = !disk_motor_spinning();
        if (quiet && cv < 24 && bench_row_is_bare_prompt(cv)) {
            if (steady++ == 0) {
                bench_state.boot_cycles = spent;
                bench_state.boot_wall_ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
                bench_state.boot_cpu_ms = thread_cpu_ms() - cpu0;
            }
            if (steady == 20) {
                bench_state.prompt = true;
                return;
            }
        } else {
            steady = 0;
        }
        const uint32_t c0 = machine.cpu.reg.cycles;
        while (static_cast<uint32_t>(machine.cpu.reg.cycles - c0) < 100'000) cpu_step();
        spent += static_cast<uint32_t>(machine.cpu.reg.cycles - c0);
    }
}

bool bench_copy(const char* relative, const fs::path& to)
{
    std::error_code ec;
    fs::copy_file(fs::path(KALVORAN_TESTDATA) / relative, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return false;
    // Shared test data is read-only; the disk image is written back to.
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

// Start-up in a temporary working directory holding copies of the ROMs and
// the disk; the directory goes once the files are open (the image stays
// open, and nothing is written back at the idle prompt).
void bench_machine_ready()
{
    static bool tried = false;
    if (tried) return;
    tried = true;

    std::error_code ec;
    const fs::path old_cwd = fs::current_path(ec);
    char pattern[] = "/tmp/kalvoran-bench-XXXXXX";
    if (ec || !::mkdtemp(pattern)) {
        bench_state.error = "cannot make a temporary directory";
        return;
    }
    const fs::path dir(pattern);
    if (!bench_copy("roms/apple2.rom", dir / "apple2.rom")) {
        bench_state.error = "roms/apple2.rom is absent";
        fs::remove_all(dir, ec);
        return;
    }
    bench_state.dos = bench_copy("roms/disk.rom", dir / "disk.rom") &&
                      bench_copy("disks/dos33-master.dsk", dir / "disk6a.dsk");
    if (!bench_state.dos) fs::remove(dir / "disk.rom", ec);

    // An outside choice of driver (x11 under Xvfb) is kept.
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Firmware installed beside the program must not stand in for a ROM.
    ::setenv("KALVORAN_DATADIR", "", 1);

    fs::current_path(dir);
    static const MachineState fresh{};
    machine = fresh;
    char arg0[] = "kalvoran";
    char* argv[] = {arg0, nullptr};
    kalvoran_startup(1, argv);
    fs::current_path(old_cwd, ec);
    fs::remove_all(dir, ec);

    bench_state.at_reset = machine;
    bench_boot_to_prompt(300'000'000);
    if (!bench_state.prompt) {
        bench_state.error = "the machine never reached a steady prompt";
        return;
    }
    bench_state.at_prompt = machine;
    bench_state.ready = true;
}

// Other benchmarks in this program reset the machine record; put a
// snapshot back, with the surface SDL holds now. The disk image stays open
// and unchanged (the boot only reads it), and the track buffer is part of
// the record, so a boot from the reset snapshot repeats the first one.
void bench_restore(const MachineState& snapshot)
{
    machine = snapshot;
    machine.fe.screen_surface = SDL_GetVideoSurface();
}

// Runs until scan_line wraps from 265 to 0.
void bench_run_frame()
{
    uint16_t line = machine.fe.scan_line;
    for (;;) {
        cpu_step();
        const uint16_t now = machine.fe.scan_line;
        if (now < line) return;
        line = now;
    }
}

// One iteration is one frame: the processor runs until scan_line wraps from
// 265 to 0, which is 266 periodic calls of poll_interval cycles each (the
// multiplier the program starts with), each presenting a line.
void BM_machine_frames(benchmark::State& state)
{
    bench_machine_ready();
    if (!bench_state.ready) {
        state.SkipWithError(bench_state.error.c_str());
        return;
    }
    bench_restore(bench_state.at_prompt);
    char driver[32] = "?";
    SDL_VideoDriverName(driver, sizeof driver);
    bench_run_frame(); // the snapshot was taken in mid-frame
    uint64_t cycles = 0;
    for (auto _ : state) {
        const uint32_t c0 = machine.cpu.reg.cycles;
        bench_run_frame();
        cycles += static_cast<uint32_t>(machine.cpu.reg.cycles - c0);
    }
    state.SetLabel(std::string(driver) + (bench_state.dos ? ", DOS 3.3 prompt" : ", Applesoft prompt"));
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MHz"] = benchmark::Counter(static_cast<double>(cycles) / 1e6, benchmark::Counter::kIsRate);
    state.counters["cycles_per_frame"] =
        benchmark::Counter(static_cast<double>(cycles) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_machine_frames)->Unit(benchmark::kMicrosecond);

// Each iteration boots again from the snapshot taken after start-up. Time is
// the host's wall clock from the reset (the first instruction) to the start
// of the steady prompt; cpu_ms is the same span in this thread's CPU time,
// which other load on the host does not stretch.
void BM_machine_dos33_boot(benchmark::State& state)
{
    bench_machine_ready();
    if (!bench_state.dos) {
        state.SkipWithError("roms/disk.rom or disks/dos33-master.dsk is absent");
        return;
    }
    if (!bench_state.ready) {
        state.SkipWithError(bench_state.error.c_str());
        return;
    }
    const uint64_t first_cycles = bench_state.boot_cycles;
    double wall_ms = 0;
    double cpu_ms = 0;
    for (auto _ : state) {
        bench_restore(bench_state.at_reset);
        bench_boot_to_prompt(300'000'000);
        if (!bench_state.prompt || bench_state.boot_cycles != first_cycles) {
            state.SkipWithError("a second boot did not repeat the first");
            return;
        }
        state.SetIterationTime(bench_state.boot_wall_ms / 1e3);
        wall_ms += bench_state.boot_wall_ms;
        cpu_ms += bench_state.boot_cpu_ms;
    }
    const double n = static_cast<double>(state.iterations());
    const double cycles = static_cast<double>(first_cycles);
    state.counters["cycles"] = cycles;
    state.counters["wall_ms"] = wall_ms / n;
    state.counters["cpu_ms"] = cpu_ms / n;
    // A real ][+ runs 1,020,484 cycles a second on average.
    state.counters["apple_s"] = cycles / 1'020'484.0;
}
BENCHMARK(BM_machine_dos33_boot)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
