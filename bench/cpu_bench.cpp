// Processor speed in emulated MHz (charged cycles per host second): a
// hand-assembled loop run through cpu_execute, and Klaus Dormann's
// functional test stepped with cpu_step. Both use the real memory path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "cpu/cpu.h"
#include "memory/memory.h"

namespace {

void bench_poke(uint16_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes) write_byte(address++, b);
}

// Language-card RAM (two reads of $C083) so the vectors can be written.
void bench_machine()
{
    machine = MachineState{};
    read_byte(0xC083);
    read_byte(0xC083);
    cpu_reset();
    machine.cpu.cpu_pending = 0;
}

// The periodic call runs the event routine, which needs a window; it can
// never fall due inside one call when the mark is brought up to date first.
void bench_hold_periodic()
{
    machine.cpu.poll_interval = 0xFFFFFFFFu;
    machine.cpu.poll_mark = machine.cpu.reg.cycles;
}

// One pass: 256 rounds of loads, stores, ALU work, a subroutine with an
// inner loop, and a BRK whose vector leads back to the start.
void load_mixed_loop()
{
    bench_poke(0x0800, {
        0xA2, 0x00,       // $0800 LDX #$00
        0xBD, 0x00, 0x10, // $0802 LDA $1000,X
        0x18,             // $0805 CLC
        0x69, 0x07,       // $0806 ADC #$07
        0x9D, 0x00, 0x20, // $0808 STA $2000,X
        0x45, 0x10,       // $080B EOR $10
        0x85, 0x10,       // $080D STA $10
        0x20, 0x40, 0x08, // $080F JSR $0840
        0xE8,             // $0812 INX
        0xD0, 0xED,       // $0813 BNE $0802
        0xE6, 0x11,       // $0815 INC $11
        0x00, 0x00,       // $0817 BRK
    });
    bench_poke(0x0840, {
        0xA0, 0x03,       // $0840 LDY #$03
        0x0A,             // $0842 ASL A
        0x66, 0x12,       // $0843 ROR $12
        0x88,             // $0845 DEY
        0xD0, 0xFA,       // $0846 BNE $0842
        0xB1, 0x20,       // $0848 LDA ($20),Y
        0x60,             // $084A RTS
    });
    bench_poke(0x0020, {0x00, 0x30});
    bench_poke(0xFFFE, {0x00, 0x08});
    machine.cpu.reg.pc = 0x0800;
}

void BM_cpu_execute_mixed_loop(benchmark::State& state)
{
    bench_machine();
    load_mixed_loop();
    uint64_t cycles = 0;
    for (auto _ : state) {
        bench_hold_periodic();
        const uint32_t c0 = machine.cpu.reg.cycles;
        cpu_execute();
        cycles += static_cast<uint32_t>(machine.cpu.reg.cycles - c0);
    }
    state.counters["MHz"] = benchmark::Counter(static_cast<double>(cycles) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_cpu_execute_mixed_loop)->Unit(benchmark::kMicrosecond);

bool load_functional_test()
{
    std::FILE* f = std::fopen(KALVORAN_TESTDATA "/cpu/6502_functional_test.bin", "rb");
    if (!f) return false;
    std::vector<uint8_t> image(65536);
    const size_t n = std::fread(image.data(), 1, image.size(), f);
    std::fclose(f);
    if (n != image.size()) return false;
    bench_machine();
    for (uint32_t a = 0; a < 0x10000; ++a)
        if (a < 0xC000 || a >= 0xD000) write_byte(static_cast<uint16_t>(a), image[a]);
    machine.cpu.reg.pc = 0x0400;
    return true;
}

// Steps a million cycles per iteration; starts over when the suite ends.
void BM_cpu_step_functional_test(benchmark::State& state)
{
    if (!load_functional_test()) {
        state.SkipWithError("cpu/6502_functional_test.bin is absent");
        return;
    }
    uint64_t cycles = 0;
    for (auto _ : state) {
        bench_hold_periodic();
        const uint32_t c0 = machine.cpu.reg.cycles;
        while (static_cast<uint32_t>(machine.cpu.reg.cycles - c0) < 1'000'000) {
            const uint16_t pc = machine.cpu.reg.pc;
            cpu_step();
            if (machine.cpu.reg.pc == pc) {
                state.PauseTiming();
                const uint32_t kept = machine.cpu.reg.cycles;
                load_functional_test();
                machine.cpu.reg.cycles = kept;
                bench_hold_periodic();
                state.ResumeTiming();
                break;
            }
        }
        cycles += static_cast<uint32_t>(machine.cpu.reg.cycles - c0);
    }
    state.counters["MHz"] = benchmark::Counter(static_cast<double>(cycles) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_cpu_step_functional_test)->Unit(benchmark::kMillisecond);

} // namespace
