// The whole machine in ][+ mode, started up as the program does it: frames
// per second and emulated MHz at the idle prompt, and the time DOS 3.3 and
// ProDOS 2.4.3 take from the reset to their prompts. Start-up runs once per
// process (it opens SDL and the sound), so the benchmarks share it and go on
// from snapshots of the machine record taken just after start-up (one with
// each disk in drive 1) and at the DOS prompt.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
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
    bool prodos = false;   // disk.rom and the ProDOS 2.4.3 disk were there
    bool prompt = false;   // the boot reached a steady prompt
    uint64_t boot_cycles = 0;  // of the last boot
    uint64_t dos_cycles = 0;   // of the first DOS boot
    double boot_wall_ms = 0;
    double boot_cpu_ms = 0;
    MachineState at_reset;  // restored before every boot
    MachineState at_reset_prodos; // the same with the ProDOS disk in drive 1
    MachineState at_prompt; // restored before every frame run
};

MachineBench bench_state;

double thread_cpu_ms()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Text page 1 row, as plain ASCII.
std::string bench_row(int row)
{
    static constexpr uint16_t base[8] = {0x400, 0x480, 0x500, 0x580, 0x600, 0x680, 0x700, 0x780};
    const uint16_t start = static_cast<uint16_t>(base[row % 8] + 0x28 * (row / 8));
    std::string text;
    for (int c = 0; c < 40; ++c) text += static_cast<char>(machine.mem.ram[start + c] & 0x7F);
    return text;
}

// The row the cursor is on holds the bare ] prompt. Column 1 holds the
// cursor, whose look the blink changes.
bool bench_at_basic_prompt()
{
    const int cv = machine.mem.ram[0x25];
    if (cv >= 24) return false;
    const std::string row = bench_row(cv);
    return row[0] == ']' && row.find_first_not_of(' ', 2) == std::string::npos;
}

// ProDOS 2.4.3 starts Bitsy Bye, which lists the boot volume down to its
// last file and shows its key line.
bool bench_at_prodos_selector()
{
    return bench_row(0).rfind("S6,D1:/PRODOS.2.4.3", 0) == 0 && bench_row(18).rfind("T README", 0) == 0 &&
           bench_row(23).rfind("RETURN:SELECT", 0) == 0;
}

// The machine waits for the user when the screen shows the prompt and both
// drives have stopped (their run-on over), and stays so for two million
// cycles (DOS shows a prompt briefly before it runs HELLO). The boot ends
// where that steady stretch began.
void bench_boot_to_prompt(uint64_t budget, bool (*at_prompt)())
{
    bench_state.prompt = false;
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = thread_cpu_ms();
    uint64_t spent = 0;
    int steady = 0;
    while (spent <= budget) {
        if (!disk_motor_spinning() && at_prompt()) {
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
    const bool disk_rom = bench_copy("roms/disk.rom", dir / "disk.rom");
    bench_state.dos = disk_rom && bench_copy("disks/dos33-master.dsk", dir / "disk6a.dsk");
    bench_state.prodos = disk_rom && bench_copy("disks/prodos-2.4.3.po", dir / "prodos.po");
    if (!bench_state.dos && !bench_state.prodos) fs::remove(dir / "disk.rom", ec);

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
    // Measured unpaced, with the multiplier of the three-line settings era,
    // so the figures compare with earlier ones.
    machine.cpu.speed_unlimited = 1;
    machine.cpu.cpu_multiplier = 5;
    bench_state.at_reset = machine;
    if (bench_state.prodos) {
        // The ProDOS disk in drive 1 instead; the master's image stays open
        // for the DOS snapshot.
        DiskDrive& d = machine.disk.drive[0];
        d.fd = -1;
        d.name.fill('\0');
        std::memcpy(d.name.data(), "prodos.po", 9);
        d.kind = DISK_UNKNOWN;
        disk_mount(0);
        bench_state.prodos = d.fd >= 0;
        bench_state.at_reset_prodos = machine;
        machine = bench_state.at_reset;
    }
    fs::current_path(old_cwd, ec);
    fs::remove_all(dir, ec);

    bench_boot_to_prompt(300'000'000, bench_at_basic_prompt);
    if (!bench_state.prompt) {
        bench_state.error = "the machine never reached a steady prompt";
        return;
    }
    bench_state.dos_cycles = bench_state.boot_cycles;
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

// Boots again from a snapshot in each iteration; every boot must take the
// cycles of the first.
void bench_boots(benchmark::State& state, const MachineState& from, bool (*at_prompt)(), uint64_t first_cycles)
{
    double wall_ms = 0;
    double cpu_ms = 0;
    for (auto _ : state) {
        bench_restore(from);
        bench_boot_to_prompt(300'000'000, at_prompt);
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
    bench_boots(state, bench_state.at_reset, bench_at_basic_prompt, bench_state.dos_cycles);
}
BENCHMARK(BM_machine_dos33_boot)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same boot as a user gets it by default: real time at multiplier 1,
// unpaced only while the disk works. Time is the host's wall clock to the
// start of the steady prompt.
void BM_machine_dos33_boot_realtime(benchmark::State& state)
{
    bench_machine_ready();
    if (!bench_state.dos || !bench_state.ready) {
        state.SkipWithError(bench_state.dos ? bench_state.error.c_str() : "roms/disk.rom or disks/dos33-master.dsk is absent");
        return;
    }
    static MachineState from;
    from = bench_state.at_reset;
    from.cpu.speed_unlimited = 0;
    from.cpu.cpu_multiplier = 1;
    from.cpu.interval_dirty = 1;
    from.cpu.pace = {};
    bench_restore(from);
    bench_boot_to_prompt(300'000'000, bench_at_basic_prompt);
    if (!bench_state.prompt) {
        state.SkipWithError("the real-time boot never reached a steady prompt");
        return;
    }
    bench_boots(state, from, bench_at_basic_prompt, bench_state.boot_cycles);
}
BENCHMARK(BM_machine_dos33_boot_realtime)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same for ProDOS 2.4.3 from the floppy, to its selector.
void BM_machine_prodos243_boot(benchmark::State& state)
{
    bench_machine_ready();
    if (!bench_state.prodos) {
        state.SkipWithError("roms/disk.rom or disks/prodos-2.4.3.po is absent");
        return;
    }
    if (!bench_state.ready) {
        state.SkipWithError(bench_state.error.c_str());
        return;
    }
    bench_restore(bench_state.at_reset_prodos);
    bench_boot_to_prompt(300'000'000, bench_at_prodos_selector);
    if (!bench_state.prompt) {
        state.SkipWithError("ProDOS never reached a steady selector");
        return;
    }
    bench_boots(state, bench_state.at_reset_prodos, bench_at_prodos_selector, bench_state.boot_cycles);
}
BENCHMARK(BM_machine_prodos243_boot)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
