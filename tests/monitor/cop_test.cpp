#include <array>
#include "cpu/cpu.h"
#include "frontend/frontend.h"
#include "monitor_helpers.h"

namespace {

CopFrame dispatch(uint16_t trap, uint8_t a = 0, uint8_t x = 0, uint8_t y = 0)
{
    CopFrame f = trap_frame(trap, a, x, y);
    cop_dispatch(f);
    return f;
}

std::vector<uint8_t> line_keys;
size_t line_key_pos;
int line_keys_asked;

// Keys for the line input; a Return once the list is used up.
uint8_t next_line_key()
{
    ++line_keys_asked;
    return line_key_pos < line_keys.size() ? line_keys[line_key_pos++] : 0x8D;
}

CopFrame read_line(std::vector<uint8_t> keys)
{
    line_keys = std::move(keys);
    line_key_pos = 0;
    line_keys_asked = 0;
    CopFrame f = trap_frame(0xFD75, 0, 0xEE);
    cop_get_line(f, next_line_key);
    return f;
}

std::vector<uint8_t> keys_of(const std::string& text, bool with_return = true)
{
    std::vector<uint8_t> k;
    for (char c : text) k.push_back(uint8_t(c | 0x80));
    if (with_return) k.push_back(0x8D);
    return k;
}

} // namespace

// ---- Output and input hooks -------------------------------------------------

TEST(CopHooks, OutputHookFDF0TrapsTwiceAndFEFEPrintsDirectly)
{
    fresh_console(MODE_FULL);
    machine.mem.ram[0x36] = 0xF0;
    machine.mem.ram[0x37] = 0xFD;
    CopFrame f = dispatch(0xFDED, 0xC1);
    EXPECT_EQ(f.pc, 0xFDF0);
    EXPECT_EQ(cell(0, 0), 0xA0);
    f = trap_frame(0xFDF0, 0xC1);
    cop_dispatch(f);
    EXPECT_EQ(f.pc, 0xFDF1);
    EXPECT_EQ(cell(0, 0), 0xC1);

    for (uint8_t lo : {0x00, 0xFE}) {
        machine.mem.ram[0x36] = lo;
        machine.mem.ram[0x37] = 0xFE;
        f = dispatch(0xFDED, 0xC2);
        EXPECT_EQ(f.pc, 0xFDEE);
    }
    EXPECT_EQ(row_start(0, 3), "ABB");
    EXPECT_EQ(dispatch(0xFEFE, 0xC3).pc, 0xFEFF);
    EXPECT_EQ(cell(0, 3), 0xC3);
}

TEST(CopHooks, InputHookAndSlotSelection)
{
    fresh_console();
    dispatch(0xFE8B, 6);
    EXPECT_EQ(machine.mem.ram[0x38], 0x02);
    EXPECT_EQ(machine.mem.ram[0x39], 0xC6);
    EXPECT_EQ(dispatch(0xFD0C).pc, 0xC602);
    dispatch(0xFE8B, 0);
    EXPECT_EQ(machine.mem.ram[0x38], 0x1B);
    EXPECT_EQ(machine.mem.ram[0x39], 0xFD);
    press_key('Q');
    CopFrame f = dispatch(0xFD0C);
    EXPECT_EQ(f.a, 'Q' | 0x80);
    EXPECT_EQ(f.pc, 0xFD0D);
    press_key('R');
    EXPECT_EQ(dispatch(0xFD1B).a, 'R' | 0x80);

    dispatch(0xFE95, 0);
    EXPECT_EQ(machine.mem.ram[0x38], 0x1B);
    dispatch(0xFE95, 3);
    EXPECT_EQ(machine.mem.ram[0x38], 0x07);
    EXPECT_EQ(machine.mem.ram[0x39], 0xC3);
    EXPECT_EQ(machine.mem.ram[0x36], 0x00);
}

// ---- WAIT ----------------------------------------------------------------------

// Calls a routine with A = a from $0280 (JSR, then BRK) on the real core;
// returns the cycles from the JSR to the BRK and leaves A and P behind.
uint32_t call_with_a(uint16_t routine, uint8_t a)
{
    const std::array<uint8_t, 4> caller = {0x20, uint8_t(routine), uint8_t(routine >> 8), 0x00};
    for (size_t i = 0; i < caller.size(); ++i) write_byte(uint16_t(0x0280 + i), caller[i]);
    CpuRegisters& r = machine.cpu.reg;
    r.pc = 0x0280;
    r.s = 0xFF;
    r.a = a;
    r.flag_n = r.flag_v = 1; // the routine's own results must replace these
    r.flag_c = r.flag_z = 0;
    machine.cpu.cpu_pending = 0;
    const uint32_t start = r.cycles;
    while (cpu_step()) {
    }
    return r.cycles - start;
}

// The Disk II boot ROM calls WAIT between head steps and counts on A = 0
// after it; the trap must also take as long as the routine, so timing
// loops built on it keep their length. A = 0 waits longest (256, with a
// borrow on the way).
TEST(CopWait, TakesTheMonitorRoutinesCyclesAndLeavesAZero)
{
    for (int mode : {MODE_HYBRID, MODE_FULL}) {
        fresh_console(mode);
        machine.cpu.poll_interval = 0xFFFFFFFF;
        read_byte(0xC083); // language card RAM at $D000-$FFFF, to hold the trap
        read_byte(0xC083);
        // The monitor's WAIT: SEC; PHA; SBC #1; BNE -4; PLA; SBC #1; BNE -10; RTS.
        const std::array<uint8_t, 12> wait = {0x38, 0x48, 0xE9, 0x01, 0xD0, 0xFC,
                                              0x68, 0xE9, 0x01, 0xD0, 0xF6, 0x60};
        for (size_t i = 0; i < wait.size(); ++i) write_byte(uint16_t(0x0300 + i), wait[i]);
        write_byte(0xFCA8, 0x02); // the trap pair
        write_byte(0xFCA9, 0x60);
        for (int a : {1, 2, 3, 0x0C, 0x56, 0x80, 0xFE, 0xFF, 0x00}) {
            SCOPED_TRACE(a);
            const uint32_t routine = call_with_a(0x0300, uint8_t(a));
            const uint8_t routine_a = machine.cpu.reg.a;
            const uint8_t routine_p = cpu_pack_p();
            const uint32_t trap = call_with_a(0xFCA8, uint8_t(a));
            EXPECT_EQ(trap, routine);
            EXPECT_EQ(machine.cpu.reg.a, 0);
            EXPECT_EQ(routine_a, 0);
            EXPECT_EQ(cpu_pack_p(), routine_p);
        }
    }
}

// VTABZ leaves the text-row address of the row in A, plus the window's left
// edge, in BASL/BASH as the monitor's BASCALC does: Hybrid mode's CLREOP and
// CLEOLZ, run from the ROM, write through it.
TEST(CopVtab, LeavesBaslAndBashAsTheMonitorRoutine)
{
    fresh_console(MODE_HYBRID);
    machine.cpu.poll_interval = 0xFFFFFFFF;
    read_byte(0xC083);
    read_byte(0xC083);
    // VTABZ: JSR BASCALC; ADC $20; STA $28; RTS. BASCALC: PHA; LSR; AND #3;
    // ORA #4; STA $29; PLA; AND #$18; BCC +2; ADC #$7F; STA $28; ASL; ASL;
    // ORA $28; STA $28; RTS.
    const std::array<uint8_t, 32> code = {
        0x20, 0x10, 0x03, 0x65, 0x20, 0x85, 0x28, 0x60, 0, 0, 0, 0, 0, 0, 0, 0,
        0x48, 0x4A, 0x29, 0x03, 0x09, 0x04, 0x85, 0x29, 0x68, 0x29, 0x18, 0x90, 0x02, 0x69, 0x7F, 0x85};
    for (size_t i = 0; i < code.size(); ++i) write_byte(uint16_t(0x0300 + i), code[i]);
    const std::array<uint8_t, 8> tail = {0x28, 0x0A, 0x0A, 0x05, 0x28, 0x85, 0x28, 0x60};
    for (size_t i = 0; i < tail.size(); ++i) write_byte(uint16_t(0x0320 + i), tail[i]);
    write_byte(0xFC24, 0x02);
    write_byte(0xFC25, 0x60);
    for (int left : {0, 7}) {
        for (int row = 0; row < 24; ++row) {
            SCOPED_TRACE(row);
            write_byte(0x20, uint8_t(left));
            call_with_a(0x0300, uint8_t(row));
            const uint8_t a = machine.cpu.reg.a, basl = machine.mem.ram[0x28], bash = machine.mem.ram[0x29];
            EXPECT_EQ(basl | bash << 8, text_row_base[row] + left);
            write_byte(0x28, 0);
            write_byte(0x29, 0);
            call_with_a(0xFC24, uint8_t(row));
            EXPECT_EQ(machine.cpu.reg.a, a);
            EXPECT_EQ(machine.mem.ram[0x28], basl);
            EXPECT_EQ(machine.mem.ram[0x29], bash);
        }
    }
}

// ---- Small services -----------------------------------------------------------

TEST(CopServices, ZeroPageTrapMakesTheNextByteAnRts)
{
    fresh_console();
    EXPECT_EQ(dispatch(0x0080).pc, 0x0081);
    EXPECT_EQ(machine.mem.ram[0x0081], 0x60);
}

TEST(CopServices, CursorWindowInverseAndColourVariables)
{
    fresh_console();
    dispatch(0xF948, 0, 0);
    EXPECT_EQ(machine.mem.ram[0x24], 0xFF);
    dispatch(0xF94A, 0, 8);
    EXPECT_EQ(machine.mem.ram[0x24], 7);
    dispatch(0xFB5B, 0, 17);
    EXPECT_EQ(machine.mem.ram[0x25], 17);
    dispatch(0xFE80);
    EXPECT_EQ(machine.mem.ram[0x32], 0x3F);
    dispatch(0xFE84);
    EXPECT_EQ(machine.mem.ram[0x32], 0xFF);
    dispatch(0xF864, 0x37);
    EXPECT_EQ(machine.mem.ram[0x30], 0x77);

    set_window(0, 40, 0, 24, 0, 22);
    dispatch(0xFB4B, 0x55);
    EXPECT_EQ(machine.mem.ram[0x22], 20);
    EXPECT_EQ(machine.mem.ram[0x23], 24);
    EXPECT_EQ(machine.mem.ram[0x25], 22);
    fill_row(0, 'Z');
    fill_row(20, 'Z');
    set_window(0, 40, 0, 24, 0, 3);
    dispatch(0xFB40);
    EXPECT_EQ(cell(0, 0), 0x00);
    EXPECT_EQ(cell(19, 39), 0x00);
    EXPECT_EQ(cell(20, 0), 'Z' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x25], 20);
}

TEST(CopServices, ColdStartSetsTheOutputHookAndRequestsAReset)
{
    fresh_console(MODE_FULL);
    machine.mem.ram[0x32] = 0x3F;
    CopFrame f = dispatch(0xFAA9);
    EXPECT_EQ(f.pc, 0xFAAA);
    EXPECT_EQ(machine.mem.ram[0x32], 0xFF);
    EXPECT_EQ(machine.mem.ram[0x36], 0xFE);
    EXPECT_EQ(machine.mem.ram[0x37], 0xFE);
    EXPECT_EQ(machine.cpu.cpu_pending, PENDING_RESET);
}

TEST(CopServices, HybridBannerAddsTheCompatibilityLine)
{
    fresh_console(MODE_HYBRID);
    dispatch(0xFAA6);
    EXPECT_EQ(screen_row(4), " OVER MONITOR COMPAT FUNCTION ACTIVATED ");
    EXPECT_EQ(machine.mem.ram[0x25], 5);
    fresh_console(MODE_FULL);
    set_window(0, 40, 0, 24, 0, 2);
    dispatch(0xFAA6);
    EXPECT_EQ(screen_row(4), std::string(40, ' '));
}

TEST(CopServices, RegisterLine)
{
    fresh_console();
    CopFrame f = trap_frame(0xFEBF, 0x12, 0x34, 0x56);
    f.s = 0xF8;
    f.p = 0xB1;
    cop_dispatch(f);
    EXPECT_EQ(row_start(0, 30), " A=12 X=34 Y=56 S=F8 P=B1     ");
    EXPECT_EQ(machine.mem.ram[0x25], 0); // no line end
}

// ---- Plotting and clearing ------------------------------------------------------

TEST(CopPlot, BlocksAndLinesUseTheRightNibble)
{
    fresh_console();
    for (int r = 0; r < 24; ++r) fill_row(r, ' ');
    dispatch(0xF864, 0x05);
    dispatch(0xF800, 0, 0, 3);
    EXPECT_EQ(cell(0, 3), 0xA5);
    dispatch(0xF864, 0x0C);
    dispatch(0xF800, 0, 1, 3);
    EXPECT_EQ(cell(0, 3), 0xC5);

    machine.mem.ram[0x2C] = 4;
    dispatch(0xF819, 0, 10, 5); // y beyond the end column: nothing
    EXPECT_EQ(cell(5, 4), 0xA0);
    EXPECT_EQ(cell(5, 5), 0xA0);
    machine.mem.ram[0x2C] = 5;
    dispatch(0xF819, 0, 10, 5); // equal: one block
    EXPECT_EQ(cell(5, 5), 0xAC);
    EXPECT_EQ(cell(5, 6), 0xA0);
    machine.mem.ram[0x2C] = 39;
    dispatch(0xF819, 0, 11, 0); // odd row: high nibble
    EXPECT_EQ(cell(5, 0), 0xC0);
    EXPECT_EQ(cell(5, 39), 0xC0);
    EXPECT_EQ(cell(6, 0), 0xA0);

    machine.mem.ram[0x2D] = 255; // rows past 47 are not plotted
    dispatch(0xF828, 44, 0, 20);
    EXPECT_EQ(cell(22, 20), 0xCC);
    EXPECT_EQ(cell(23, 20), 0xCC);
    machine.mem.ram[0x2D] = 2;
    dispatch(0xF828, 3, 0, 21);
    EXPECT_EQ(cell(1, 21), 0xA0);
    const uint8_t before = machine.mem.ram[0x0800];
    dispatch(0xF800, 0, 48, 0);
    dispatch(0xF800, 0, 255, 0);
    EXPECT_EQ(machine.mem.ram[0x0800], before);
}

TEST(CopClear, WindowAndEndOfLine)
{
    fresh_console();
    for (int r = 0; r < 24; ++r) fill_row(r, 'X');
    set_window(5, 10, 2, 6, 7, 9);
    dispatch(0xFC58);
    EXPECT_EQ(row_start(1, 16), "XXXXXXXXXXXXXXXX");
    EXPECT_EQ(row_start(2, 16), "XXXXX          X");
    EXPECT_EQ(row_start(5, 16), "XXXXX          X");
    EXPECT_EQ(row_start(6, 16), "XXXXXXXXXXXXXXXX");
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    EXPECT_EQ(machine.mem.ram[0x25], 2);

    set_window(0, 40, 0, 24, 30, 7);
    dispatch(0xFC9C);
    EXPECT_EQ(screen_row(7), std::string(30, 'X') + std::string(10, ' '));
    set_window(0, 40, 0, 24, 0, 24);
    dispatch(0xFC9C); // below the screen: nothing
    EXPECT_EQ(row_start(23, 1), "X");
}

// ---- Memory move ----------------------------------------------------------

namespace {

void set_move(uint16_t a1, uint16_t a2, uint16_t a4)
{
    uint8_t* zp = machine.mem.ram.data();
    zp[0x3C] = uint8_t(a1);
    zp[0x3D] = uint8_t(a1 >> 8);
    zp[0x3E] = uint8_t(a2);
    zp[0x3F] = uint8_t(a2 >> 8);
    zp[0x42] = uint8_t(a4);
    zp[0x43] = uint8_t(a4 >> 8);
}

void fill_pattern(uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i <= to; ++i) machine.mem.ram[i] = uint8_t(i * 7 + 1);
}

} // namespace

TEST(CopMove, OverlappingRangesCopyCorrectlyBothWays)
{
    test_reset_machine();
    fill_pattern(0x1000, 0x100F);
    set_move(0x1000, 0x100F, 0x1004); // destination above: backward
    dispatch(0xFE2C);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(machine.mem.ram[0x1004 + i], uint8_t((0x1000 + i) * 7 + 1));

    fill_pattern(0x1000, 0x100F);
    set_move(0x1000, 0x100F, 0x0FFC); // destination below: forward
    dispatch(0xFE2C);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(machine.mem.ram[0x0FFC + i], uint8_t((0x1000 + i) * 7 + 1));

    machine.mem.ram[0x2000] = 0x99;
    set_move(0x1001, 0x1000, 0x2000); // empty range
    dispatch(0xFE2C);
    EXPECT_EQ(machine.mem.ram[0x2000], 0x99);
}

TEST(CopMove, RangesAtBothEndsOfMemoryEnd)
{
    test_reset_machine();
    fill_pattern(0x0000, 0x00FF);
    set_move(0x0000, 0x00FF, 0x0300);
    std::array<uint8_t, 256> zero_page{};
    std::copy_n(machine.mem.ram.begin(), 256, zero_page.begin());
    dispatch(0xFE2C);
    EXPECT_TRUE(std::equal(zero_page.begin(), zero_page.end(), machine.mem.ram.begin() + 0x0300));
    EXPECT_EQ(machine.mem.ram[0x0400], 0);

    fill_pattern(0xFFF0, 0xFFFF);
    set_move(0xFFF0, 0xFFFF, 0x2000);
    dispatch(0xFE2C);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(machine.mem.ram[0x2000 + i], uint8_t((0xFFF0 + i) * 7 + 1));
    EXPECT_EQ(machine.mem.ram[0x2010], 0);

    // Destination wrapping past $FFFF lands at the bottom of memory.
    fill_pattern(0xFFF0, 0xFFFF);
    set_move(0xFFF0, 0xFFFF, 0xFFF8);
    dispatch(0xFE2C);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(machine.mem.ram[i], uint8_t((0xFFF8 + i) * 7 + 1));
}

// ---- Listing and break display ----------------------------------------------

TEST(CopList, TwentyLinesWithoutAFinalReturn)
{
    fresh_console();
    for (int i = 0x0300; i < 0x0400; ++i) machine.mem.ram[i] = 0xEA;
    machine.mem.ram[0x0300] = 0x20; // JSR $FDED: three bytes
    machine.mem.ram[0x0301] = 0xED;
    machine.mem.ram[0x0302] = 0xFD;
    machine.mem.ram[0x3A] = 0x00;
    machine.mem.ram[0x3B] = 0x03;
    dispatch(0xFE61);
    EXPECT_EQ(row_start(0, 32), "0300:  20EDFD         JSR $FDED ");
    EXPECT_EQ(row_start(19, 4), "0315");
    EXPECT_EQ(machine.mem.ram[0x25], 19);
    EXPECT_EQ(machine.mem.ram[0x24], 25);
    EXPECT_EQ(machine.mem.ram[0x3A], 0x16);
    EXPECT_EQ(machine.mem.ram[0x3B], 0x03);
}

TEST(CopBreak, ShowsTheBrkAddressAndReturnsToThePrompt)
{
    fresh_console();
    // As a BRK at $0800 leaves the stack: $0802 and P pushed.
    machine.mem.ram[0x01FF] = 0x08;
    machine.mem.ram[0x01FE] = 0x02;
    machine.mem.ram[0x01FD] = 0xB5;
    machine.mem.ram[0x0800] = 0x00;
    CopFrame f = trap_frame(0xFFF2, 0x11, 0x22, 0x33);
    f.s = 0xFC;
    cop_dispatch(f);
    EXPECT_EQ(row_start(0, 25), "0800:  00             BRK");
    EXPECT_EQ(row_start(1, 40), "0800:  A=11 X=22 Y=33 S=FC P=B5  [ZELM] ");
    EXPECT_EQ(machine.mem.ram[0x25], 2);
    EXPECT_EQ(f.pc, 0xFF69);
    EXPECT_EQ(f.s, 0xFC);
    EXPECT_EQ(machine.mem.ram[0x01FE], 0x02);
}

// ---- Invalid traps -------------------------------------------------------------

TEST(CopInvalid, FullModeEndsWithTheTrapAddress)
{
    ChildResult r = run_in_child([] {
        fresh_console(MODE_FULL);
        dispatch(0xF801);
        std::_Exit(3);
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("Invalid COP instruction executed at IP=$F801"), std::string::npos) << r.err;
}

TEST(CopInvalid, OtherModesContinueAfterTheCop)
{
    for (int mode : {MODE_HYBRID, MODE_IIPLUS}) {
        fresh_console(mode);
        CopFrame f = trap_frame(0x1234, 0x12, 0x34, 0x56);
        const CopFrame before = f;
        cop_dispatch(f);
        EXPECT_EQ(f.pc, 0x1235);
        EXPECT_EQ(f.a, before.a);
        EXPECT_EQ(f.x, before.x);
        EXPECT_EQ(f.s, before.s);
    }
}

// ---- Line input ----------------------------------------------------------------

TEST(CopLineInput, StoresTheLineWithItsReturn)
{
    fresh_console();
    set_window(0, 40, 0, 24, 0, 10);
    fill_row(11, 'Q');
    CopFrame f = read_line(keys_of("HELLO"));
    EXPECT_EQ(f.x, 5);
    EXPECT_EQ(machine.mem.ram[0x0200], 'H' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0204], 'O' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x0205], 0x8D);
    EXPECT_EQ(row_start(10, 6), "HELLO ");
    EXPECT_EQ(screen_row(11), std::string(40, ' ')); // the new line is blanked
    EXPECT_EQ(machine.mem.ram[0x25], 11);

    f = read_line({0x8D});
    EXPECT_EQ(f.x, 0);
    EXPECT_EQ(machine.mem.ram[0x0200], 0x8D);
}

TEST(CopLineInput, HoldsAtMost127Characters)
{
    fresh_console();
    machine.mem.ram[0x0280] = 0x77;
    CopFrame f = read_line(keys_of(std::string(130, 'A')));
    EXPECT_EQ(f.x, 127);
    EXPECT_EQ(machine.mem.ram[0x027E], 'A' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x027F], 0x8D);
    EXPECT_EQ(machine.mem.ram[0x0280], 0x77);
    EXPECT_EQ(line_keys_asked, 131);
    // All 130 were echoed: three full rows and ten on the fourth.
    EXPECT_EQ(row_start(3, 11), "AAAAAAAAAA ");
}

TEST(CopLineInput, EditingKeys)
{
    fresh_console();
    CopFrame f = read_line({0xC1, 0xC2, 0x88, 0xC3, 0x8D});
    EXPECT_EQ(f.x, 2);
    EXPECT_EQ(machine.mem.ram[0x0201], 0xC3);

    // Control-X drops the line and prints ^X on a new line.
    fresh_console();
    f = read_line({0xC1, 0xC2, 0x98, 0xC4, 0x8D});
    EXPECT_EQ(f.x, 1);
    EXPECT_EQ(machine.mem.ram[0x0200], 0xC4);
    EXPECT_EQ(row_start(0, 4), "AB^X");
    EXPECT_EQ(row_start(1, 3), " D ");

    // Backspace on an empty line is neither stored nor echoed.
    fresh_console();
    set_window(0, 40, 0, 24, 4, 3);
    f = read_line({0x88, 0x8D});
    EXPECT_EQ(f.x, 0);
    EXPECT_EQ(cell(3, 4), 0xA0);

    // Right arrow copies the character under the cursor.
    fresh_console();
    set_window(0, 40, 0, 24, 2, 6);
    machine.mem.ram[text_row_base[6] + 2] = 0xDA;
    f = read_line({0x95, 0x8D});
    EXPECT_EQ(f.x, 1);
    EXPECT_EQ(machine.mem.ram[0x0200], 0xDA);
}

TEST(CopLineInput, CancelCountsInFullModeOnly)
{
    fresh_console(MODE_FULL);
    machine.fe.monitor_cancel = 1;
    CopFrame f = read_line(keys_of("AB"));
    EXPECT_EQ(f.x, 0xEE);
    EXPECT_EQ(line_keys_asked, 0);
    EXPECT_EQ(machine.fe.monitor_cancel, 0u);

    fresh_console(MODE_HYBRID);
    machine.fe.monitor_cancel = 1;
    f = read_line(keys_of("AB"));
    EXPECT_EQ(f.x, 2);
}

TEST(CopLineInput, PromptThenTheKeyboardThroughTheDispatcher)
{
    fresh_console(MODE_HYBRID);
    machine.mem.ram[0x33] = 0xAA; // '*'
    press_key(0x0D);
    CopFrame f = dispatch(0xFD6A, 0, 0x55);
    EXPECT_EQ(f.x, 0);
    EXPECT_EQ(machine.mem.ram[0x0200], 0x8D);
    EXPECT_EQ(row_start(0, 2), "* ");
    EXPECT_EQ(machine.mem.ram[0x25], 1);
}

TEST(CopNewLine, KeepsTheCursorInsideTheSplitWindow)
{
    fresh_console();
    fill_row(22, 'W');
    set_window(0, 40, 20, 24, 9, 23);
    dispatch(0xFD8E);
    EXPECT_EQ(machine.mem.ram[0x25], 23);
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    EXPECT_EQ(row_start(21, 1), "W");
}
