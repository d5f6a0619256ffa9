// Cost of the memory map's common case: loads and stores of main RAM on a
// ][+ configuration, through the same read_byte / write_byte the core uses.
#include <benchmark/benchmark.h>
#include "memory/memory.h"

namespace {

void memory_bench_machine(int iie)
{
    static const MachineState fresh{};
    machine = fresh;
    machine.fe.machine_mode = iie ? MODE_IIE : MODE_IIPLUS;
    machine.fe.iie_active = iie;
}

void BM_ReadMainRam(benchmark::State& state)
{
    memory_bench_machine(static_cast<int>(state.range(0)));
    uint16_t address = 0x0800;
    uint32_t sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            sum += read_byte(address);
            address = static_cast<uint16_t>(0x0C00 + ((address + 7) & 0x0FFF)); // $0C00-$1BFF
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_ReadMainRam)->Arg(0)->Arg(1);

void BM_WriteMainRam(benchmark::State& state)
{
    memory_bench_machine(static_cast<int>(state.range(0)));
    uint16_t address = 0x0C00;
    uint8_t value = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            write_byte(address, value++);
            address = static_cast<uint16_t>(0x0C00 + ((address + 7) & 0x0FFF));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_WriteMainRam)->Arg(0)->Arg(1);

// Stores into the text page take the full decode and the display hook.
void BM_WriteTextPage(benchmark::State& state)
{
    memory_bench_machine(0);
    uint16_t address = 0x0400;
    uint8_t value = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            write_byte(address, value++);
            address = static_cast<uint16_t>(0x0400 + ((address + 1) & 0x03FF));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_WriteTextPage);

// A language-card switch pair: I/O decode plus a partial rebuild.
void BM_LanguageCardToggle(benchmark::State& state)
{
    memory_bench_machine(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_byte(0xC08B));
        benchmark::DoNotOptimize(read_byte(0xC080));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_LanguageCardToggle);

} // namespace
