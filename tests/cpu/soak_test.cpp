// Random bytes run as 6502 code in every machine configuration, with a disk
// and a hard-disk unit mounted: BRK and COP storms, sweeps over the whole
// I/O page, resets and jumps anywhere. Nothing may crash or leave its arrays
// (the sanitizer build checks the latter). Key waits are fed: the keyboard
// strobe is set before every instruction, with Return in the latch, so any
// service that waits for a key or a line gets its answer at once.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>
#include "cpu_test.h"
#include "frontend/frontend.h"
#include "storage/disk.h"
#include "storage/massstor.h"

namespace {

// Instructions per configuration; KALVORAN_SOAK_STEPS asks for a longer run.
uint64_t soak_steps()
{
    if (const char* s = std::getenv("KALVORAN_SOAK_STEPS")) return std::strtoull(s, nullptr, 10);
    return 2'000'000;
}

// Addresses with a ZELM service: a COP anywhere else ends a Full-mode run.
constexpr std::array<uint16_t, 45> cop_services{
    0x0080, 0xF800, 0xF819, 0xF828, 0xF864, 0xF948, 0xF94A, 0xFAA6, 0xFAA9, 0xFB39, 0xFB40, 0xFB4B,
    0xFB5B, 0xFB60, 0xFC58, 0xFC9C, 0xFD0C, 0xFD0F, 0xFD1B, 0xFD6A, 0xFD75, 0xFD8E, 0xFDED, 0xFDF0,
    0xFEFE, 0xFE2C, 0xFE61, 0xFE80, 0xFE84, 0xFE8B, 0xFE95, 0xFEBF, 0xFF70, 0xFFF2, 0xF80E, 0xF847,
    0xF871, 0xFB1E, 0xFC22, 0xFC24, 0xFCA8, 0xFF3A, 0xFF58, 0xFF69, 0xFFF0,
};

struct SoakConfig {
    const char* name;
    int mode;
    int iie_64k;
    uint32_t seed;
};

struct SoakCounts {
    uint64_t steps = 0;
    uint64_t breaks = 0;
    uint64_t sweeps = 0;
    uint64_t resets = 0;
    uint64_t full_invalid_cops = 0;
};

using Rng = std::mt19937;

std::vector<uint8_t> random_bytes(Rng& rng, size_t n)
{
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// The real image from the test data when there is one, else random bytes of
// the size the loader wants.
void soak_rom(Rng& rng, const std::string& name, size_t size)
{
    if (have_testdata("roms/" + name)) copy_file(testdata("roms/" + name), name);
    else write_file(name, random_bytes(rng, size));
}

void soak_setup(const SoakConfig& c, Rng& rng)
{
    test_reset_machine();
    soak_rom(rng, "apple2.rom", 12288);
    soak_rom(rng, "msbasic.rom", 10240);
    soak_rom(rng, "monitor.rom", 2048);
    soak_rom(rng, "apple2e.rom", 16128);
    soak_rom(rng, "disk.rom", 256);
    const std::string ms_rom = std::string(KALVORAN_BINARY_DIR) + "/share/kalvoran/massstor.rom";
    if (file_exists(ms_rom)) copy_file(ms_rom, "massstor.rom");
    else write_file("massstor.rom", random_bytes(rng, 256));

    machine.fe.iie_64k = c.iie_64k;
    ASSERT_EQ(load_roms(c.mode), 0);
    ASSERT_TRUE(test_open_surface());
    for (auto& b : machine.mem.ram) b = static_cast<uint8_t>(rng());
    memory_remap();

    write_file("hdv1.hdv", std::vector<uint8_t>(64 * 512, 0));
    write_file("disk6a.dsk", std::vector<uint8_t>(143360, 0));
    ms_mount_defaults();
    disk_mount_defaults();
    ASSERT_GE(machine.disk.drive[0].fd, 0);

    text_defaults();
    cpu_reset();
    cpu_request_reset();
    machine.cpu.cpu_multiplier = 5;
    machine.cpu.poll_interval = 5 * 65;
}

uint16_t vector_at(uint16_t a) { return static_cast<uint16_t>(read_byte(a) | read_byte(a + 1) << 8); }

// The opcode the next pass will run, without side effects: pending requests
// are followed to their vectors, and a fetch from the I/O page is answered
// on a copy of the machine that is then thrown away.
uint8_t next_opcode(uint16_t& pc)
{
    const uint8_t pending = machine.cpu.cpu_pending;
    pc = machine.cpu.reg.pc;
    if (pending & PENDING_BREAK) pc = vector_at(0xFFFE);
    else if (pending & PENDING_RESET) pc = vector_at(0xFFFC);
    if ((pc >> 8) != 0xC0) return read_byte(pc); // plain loads have no side effects
    static MachineState saved;
    saved = machine;
    const uint8_t op = io_read(pc);
    machine = saved;
    return op;
}

// In Full mode a COP without a service ends the process (checked in a child
// below); in-process the run goes on elsewhere as if started afresh.
bool full_mode_invalid_cop_next()
{
    uint16_t pc = 0;
    if (next_opcode(pc) != 0x02) return false;
    return std::find(cop_services.begin(), cop_services.end(), pc) == cop_services.end();
}

bool full_mode_dodge(Rng& rng)
{
    if (!full_mode_invalid_cop_next()) return false;
    do {
        machine.cpu.cpu_pending = 0;
        machine.cpu.reg.pc = static_cast<uint16_t>(0x0200 + rng() % 0xBE00);
    } while (full_mode_invalid_cop_next());
    return true;
}

// Code placed in both RAM halves so that it stays visible whatever the
// memory switches it flips say.
void place_code(uint16_t at, const std::vector<uint8_t>& code)
{
    for (size_t i = 0; i < code.size(); ++i) {
        machine.mem.ram[at + i] = code[i];
        machine.mem.ram[0x10000 + at + i] = code[i];
    }
}

// Every $C0xx address loaded and stored once, in random order, then on into
// whatever follows.
void switch_sweep(Rng& rng)
{
    std::vector<uint8_t> order(256);
    for (int i = 0; i < 256; ++i) order[i] = static_cast<uint8_t>(i);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<uint8_t> code;
    for (uint8_t lo : order) {
        code.insert(code.end(), {0xAD, lo, 0xC0}); // LDA $C0xx
        code.insert(code.end(), {0x8D, lo, 0xC0}); // STA $C0xx
    }
    const uint16_t at = static_cast<uint16_t>(0x4000 + rng() % 0x7000);
    place_code(at, code);
    machine.cpu.reg.pc = at;
}

void storm(Rng& rng, uint8_t opcode)
{
    const uint16_t at = static_cast<uint16_t>(0x0200 + rng() % 0xBD00);
    place_code(at, std::vector<uint8_t>(64, opcode));
    machine.cpu.reg.pc = at;
}

// Random code can sit in a tight loop or a key loop for ever; every so often
// the run is kicked somewhere new.
void kick(Rng& rng, SoakCounts& n)
{
    switch (rng() % 8) {
    case 0: machine.cpu.reg.pc = static_cast<uint16_t>(rng() % 0xC000); break;
    case 1: {
        const uint16_t at = static_cast<uint16_t>(0x0200 + rng() % 0xBD00);
        const std::vector<uint8_t> code = random_bytes(rng, 256);
        for (size_t i = 0; i < code.size(); ++i) write_byte(static_cast<uint16_t>(at + i), code[i]);
        machine.cpu.reg.pc = at;
        break;
    }
    case 2: storm(rng, 0x00); break; // BRK
    case 3: storm(rng, 0x02); break; // COP
    case 4:
        switch_sweep(rng);
        ++n.sweeps;
        break;
    case 5:
        cpu_request_reset();
        ++n.resets;
        break;
    case 6: machine.cpu.reg.pc = static_cast<uint16_t>(0xC000 + rng() % 0x4000); break;
    default: break; // let it run on
    }
}

void expect_state_sane(const char* where)
{
    SCOPED_TRACE(where);
    EXPECT_LE(machine.fe.scan_line, 265);
    EXPECT_LT(machine.disk.position, static_cast<uint32_t>(TRACK_NIBBLES));
    EXPECT_LE(machine.mem.lc_read, 2);
    EXPECT_LE(machine.mem.lc_write, 2);
    for (int v : {machine.sw.store80, machine.sw.ramrd, machine.sw.ramwrt, machine.sw.altzp, machine.sw.intcxrom,
                  machine.sw.slotc3rom, machine.sw.page2, machine.sw.col80})
        EXPECT_TRUE(v == 0 || v == 1);
    EXPECT_EQ(machine.fe.quit_requested, 0u);
}

SoakCounts soak_run(const SoakConfig& c, uint64_t steps, bool dodge_full_cops)
{
    Rng rng(c.seed);
    SoakCounts n;
    soak_setup(c, rng);
    if (::testing::Test::HasFatalFailure()) return n;
    const bool full = c.mode == MODE_FULL;
    for (n.steps = 0; n.steps < steps; ++n.steps) {
        if (n.steps % 4096 == 4095) kick(rng, n);
        machine.fe.key_latch = 0x0D;
        machine.fe.key_strobe = 1;
        if (full && dodge_full_cops && full_mode_dodge(rng)) ++n.full_invalid_cops;
        if (!cpu_step()) ++n.breaks;
        if (n.steps % 65536 == 0) expect_state_sane(c.name);
    }
    expect_state_sane(c.name);
    return n;
}

class Soak : public ::testing::TestWithParam<SoakConfig> {};

TEST_P(Soak, RandomCodeRunsWithoutFault)
{
    TempWorkDir dir;
    const SoakConfig& c = GetParam();
    const uint64_t steps = soak_steps();
    const SoakCounts n = soak_run(c, steps, true);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(n.steps, steps);
    // The storms and the sweeps did happen.
    EXPECT_GT(n.breaks, 100u);
    EXPECT_GT(n.sweeps, steps / 4096 / 16);
    EXPECT_GT(n.resets, 0u);
    if (c.mode == MODE_FULL) {
        EXPECT_GT(n.full_invalid_cops, 0u);
    }

    // What the random code did to the media is written back without harm.
    disk_flush_all();
    ms_close_all();
    EXPECT_EQ(read_file("disk6a.dsk").size(), 143360u);
    EXPECT_TRUE(file_exists("hdv1.hdv"));
    std::printf("%s: %llu instructions, %llu BRK, %llu I/O sweeps, %llu resets, %llu Full-mode invalid COPs\n",
                c.name, static_cast<unsigned long long>(n.steps), static_cast<unsigned long long>(n.breaks),
                static_cast<unsigned long long>(n.sweeps), static_cast<unsigned long long>(n.resets),
                static_cast<unsigned long long>(n.full_invalid_cops));
}

INSTANTIATE_TEST_SUITE_P(Configurations, Soak,
                         ::testing::Values(SoakConfig{"IIPlus", MODE_IIPLUS, 0, 0x1A2B3C01},
                                           SoakConfig{"Full", MODE_FULL, 0, 0x1A2B3C02},
                                           SoakConfig{"Hybrid", MODE_HYBRID, 0, 0x1A2B3C03},
                                           SoakConfig{"IIe64K", MODE_IIE, 1, 0x1A2B3C04},
                                           SoakConfig{"IIe128K", MODE_IIE, 0, 0x1A2B3C05}),
                         [](const auto& info) { return std::string(info.param.name); });

// Left alone, random code in Full mode soon runs a COP without a service:
// the defined end is the fatal report and status 255, never a crash.
TEST(SoakFullMode, InvalidTrapEndsTheProcessCleanly)
{
    TempWorkDir dir;
    const ChildResult r = run_in_child([] {
        soak_run(SoakConfig{"Full", MODE_FULL, 0, 0x1A2B3C06}, soak_steps(), false);
        std::_Exit(3); // the budget ran out without a fatal trap
    });
    EXPECT_EQ(r.status, 255) << r.err;
    EXPECT_NE(r.err.find("Invalid COP instruction executed at IP=$"), std::string::npos) << r.err;
}

} // namespace
