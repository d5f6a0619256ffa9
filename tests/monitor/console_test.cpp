#include <algorithm>
#include <array>
#include <cstdio>
#include "frontend/frontend.h"
#include "monitor_helpers.h"

// ---- Output: wrap, control characters, inverse ----------------------------

TEST(ConsoleOutput, FortyCharactersWrapToColumnZeroOfTheNextRow)
{
    fresh_console();
    set_window(0, 40, 0, 24, 0, 5);
    for (int i = 0; i < 40; ++i) console_put(uint8_t('A' + i % 26) | 0x80);
    EXPECT_EQ(row_start(5, 5), "ABCDE");
    EXPECT_EQ(cell(5, 39), 'N' | 0x80);
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    EXPECT_EQ(machine.mem.ram[0x25], 6);

    // A narrow window wraps at its own width and writes inside it only.
    set_window(10, 5, 0, 24, 0, 8);
    put_text("123456");
    EXPECT_EQ(row_start(8, 16), "          12345 ");
    EXPECT_EQ(row_start(9, 12), "          6 ");
    EXPECT_EQ(machine.mem.ram[0x24], 1);
}

TEST(ConsoleOutput, ControlCharactersAndTheInverseMask)
{
    fresh_console();
    set_window(0, 40, 0, 24, 3, 2);
    console_put(0x87); // bell: nothing shown, nothing moves
    EXPECT_EQ(machine.mem.ram[0x24], 3);
    EXPECT_EQ(cell(2, 3), 0xA0);
    console_put(0x07); // with mask $FF stored as screen code $07
    EXPECT_EQ(cell(2, 3), 0x07);
    EXPECT_EQ(machine.mem.ram[0x24], 4);

    machine.mem.ram[0x32] = 0x3F;
    console_put(0xC1);
    EXPECT_EQ(cell(2, 4), 0x01);

    console_put(0x8A); // line feed keeps the column
    EXPECT_EQ(machine.mem.ram[0x24], 5);
    EXPECT_EQ(machine.mem.ram[0x25], 3);
    console_put(0x8D);
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    EXPECT_EQ(machine.mem.ram[0x25], 4);
}

TEST(ConsoleOutput, BackspaceAtTheTopRowOnlyChangesTheColumn)
{
    fresh_console();
    set_window(0, 40, 0, 24, 0, 0);
    console_put(0x88);
    EXPECT_EQ(machine.mem.ram[0x24], 39);
    EXPECT_EQ(machine.mem.ram[0x25], 0);
    set_window(0, 40, 0, 24, 0, 5);
    console_put(0x88);
    EXPECT_EQ(machine.mem.ram[0x24], 39);
    EXPECT_EQ(machine.mem.ram[0x25], 4);
    console_put(0x88);
    EXPECT_EQ(machine.mem.ram[0x24], 38);
}

TEST(ConsoleOutput, CancelDropsOutputInFullModeOnly)
{
    fresh_console(MODE_FULL);
    machine.fe.monitor_cancel = 1;
    console_put(0xC1);
    EXPECT_EQ(cell(0, 0), 0xA0);
    EXPECT_EQ(machine.fe.monitor_cancel, 1u);

    fresh_console(MODE_HYBRID);
    machine.fe.monitor_cancel = 1;
    console_put(0xC1);
    EXPECT_EQ(cell(0, 0), 0xC1);
    EXPECT_EQ(machine.fe.monitor_cancel, 0u);
}

// ---- Scrolling -------------------------------------------------------------

TEST(ConsoleScroll, FullScreenScrollsAndKeepsTheCursorOnRow23)
{
    fresh_console();
    for (int r = 0; r < 24; ++r) fill_row(r, char('A' + r));
    set_window(0, 40, 0, 24, 0, 23);
    put_text("HELLO\r");
    EXPECT_EQ(machine.mem.ram[0x25], 23);
    EXPECT_EQ(machine.mem.ram[0x24], 0);
    EXPECT_EQ(row_start(0, 1), "B");
    EXPECT_EQ(row_start(21, 1), "W");
    EXPECT_EQ(row_start(22, 6), "HELLOX");
    EXPECT_EQ(screen_row(23), std::string(40, ' '));
}

TEST(ConsoleScroll, SplitWindowScrollsOnlyItsRowsAndStaysAboveRow24)
{
    fresh_console();
    for (int r = 0; r < 24; ++r) fill_row(r, char('A' + r));
    set_window(0, 40, 20, 24, 0, 23);
    console_put(0x8D);
    // The cursor stays inside the window: the scroll runs while $25 >= $23.
    EXPECT_EQ(machine.mem.ram[0x25], 23);
    EXPECT_EQ(row_start(19, 1), "T");
    EXPECT_EQ(row_start(20, 1), "V");
    EXPECT_EQ(row_start(22, 1), "X");
    EXPECT_EQ(screen_row(23), std::string(40, ' '));

    // A cursor left below the window is scrolled back before the character.
    set_window(0, 40, 20, 24, 0, 24);
    console_put(0xDA);
    EXPECT_EQ(machine.mem.ram[0x25], 23);
    EXPECT_EQ(cell(23, 0), 0xDA);
    EXPECT_EQ(row_start(19, 1), "T");
}

TEST(ConsoleScroll, MovesOnlyTheWindowColumns)
{
    fresh_console();
    for (int r = 0; r < 24; ++r) fill_row(r, char('A' + r));
    set_window(10, 20, 0, 24, 0, 0);
    console_scroll();
    EXPECT_EQ(cell(0, 9), 'A' | 0x80);
    EXPECT_EQ(cell(0, 10), 'B' | 0x80);
    EXPECT_EQ(cell(0, 29), 'B' | 0x80);
    EXPECT_EQ(cell(0, 30), 'A' | 0x80);
    EXPECT_EQ(cell(23, 10), 0xA0);
    EXPECT_EQ(cell(23, 9), 'X' | 0x80);
}

// Every store stays on the 40 x 24 cells whatever the zero page holds: no
// table is indexed out of range and the screen holes keep their bytes.
TEST(ConsoleScroll, OutOfRangeWindowsStayOnTheScreen)
{
    fresh_console();
    for (uint32_t i = 0x0100; i < 0x10000; ++i) machine.mem.ram[i] = 0x5A;
    // Edges and far outside: 24 is the first row below the screen, 255 the worst.
    const std::array<uint8_t, 4> values = {0, 23, 24, 255};
    for (uint8_t l : values) for (uint8_t w : values) for (uint8_t t : values)
    for (uint8_t b : values) for (uint8_t h : values) for (uint8_t v : values) {
        set_window(l, w, t, b, h, v);
        console_put(0xC1);
        console_put(0x8D);
        console_put(0x88);
        console_scroll();
        CopFrame f = trap_frame(0xFC58);
        cop_dispatch(f);
        set_window(l, w, t, b, h, v);
        f = trap_frame(0xFC9C);
        cop_dispatch(f);
        f = trap_frame(0xFD8E);
        cop_dispatch(f);
        ASSERT_TRUE(b == 0 || machine.mem.ram[0x25] < std::min<int>(b, 24))
            << int(l) << ' ' << int(w) << ' ' << int(t) << ' ' << int(b) << ' ' << int(h) << ' ' << int(v);
    }
    int stray = 0;
    for (uint32_t i = 0x0100; i < 0x10000; ++i) {
        const bool on_screen = i >= 0x0400 && i < 0x0800 && (i & 0x7F) < 0x78;
        if (!on_screen && machine.mem.ram[i] != 0x5A) ++stray;
    }
    EXPECT_EQ(stray, 0);
}

// ---- Key wait --------------------------------------------------------------

TEST(ConsoleKeys, KeyIsReturnedWithBit7AndTheCellRestored)
{
    fresh_console();
    set_window(0, 40, 0, 24, 4, 6);
    machine.mem.ram[text_row_base[6] + 4] = 0xC4;
    press_key('k');
    EXPECT_EQ(console_get_key(), 'k' | 0x80);
    EXPECT_EQ(cell(6, 4), 0xC4);
    if (!keyboard_page_present()) GTEST_SKIP() << "$C000 is plain RAM here; the strobe clear is not observable";
    EXPECT_EQ(machine.fe.key_strobe, 0u);
}

TEST(ConsoleKeys, FullModeCancelEndsTheWaitAtOnce)
{
    fresh_console(MODE_FULL);
    machine.fe.monitor_cancel = 1;
    press_key('A');
    EXPECT_EQ(console_get_key(), 0);
    EXPECT_EQ(machine.fe.monitor_cancel, 0u);
    EXPECT_EQ(cell(0, 0), 0xA0);

    fresh_console(MODE_HYBRID);
    machine.fe.monitor_cancel = 1;
    press_key('A');
    EXPECT_EQ(console_get_key(), 0xC1);
}

TEST(ConsoleKeys, PendingQuitEndsTheProgramWithStatusZero)
{
    TempWorkDir dir; // the exit path writes kalvoran.rc
    ChildResult r = run_in_child([] {
        fresh_console();
        machine.fe.quit_requested = 1;
        press_key('A');
        console_get_key();
        std::_Exit(3);
    });
    EXPECT_EQ(r.status, 0);
    r = run_in_child([] {
        fresh_console();
        machine.fe.quit_requested = 1;
        CopFrame f = trap_frame(0xFDF0, 0xC1);
        cop_dispatch(f);
        std::_Exit(3);
    });
    EXPECT_EQ(r.status, 0);
}

// ---- Command line ----------------------------------------------------------

namespace {

CopFrame command(const char* text)
{
    int n = 0;
    for (; text[n]; ++n) machine.mem.ram[0x0200 + n] = uint8_t(text[n] | 0x80);
    CopFrame f = trap_frame(0xFF70, 0, uint8_t(n));
    testing::internal::CaptureStdout();
    monitor_command(f);
    const std::string echo = testing::internal::GetCapturedStdout();
    EXPECT_EQ(echo, "[" + std::string(text) + "]\n");
    return f;
}

} // namespace

TEST(MonitorCommand, GoPushesTheReturnToThePromptAndJumps)
{
    fresh_console();
    CopFrame f = command("G300");
    EXPECT_EQ(f.pc, 0x0300);
    EXPECT_EQ(f.s, 0xEE);
    EXPECT_EQ(machine.mem.ram[0x01F0], 0xFF);
    EXPECT_EQ(machine.mem.ram[0x01EF], 0x68);
    EXPECT_EQ(machine.mem.ram[0x25], 1); // the Return after the echo

    EXPECT_EQ(command("G  0x1F2a rest").pc, 0x1F2A);
    EXPECT_EQ(command("G12345").pc, 0x2345);
    // Without a number, the RTS after the trap leaves the monitor.
    f = command("GO");
    EXPECT_EQ(f.pc, 0xFF71);
    EXPECT_EQ(f.s, 0xF0);
}

TEST(MonitorCommand, ListContinuesWhereThePreviousListingEnded)
{
    fresh_console();
    for (int i = 0x0300; i < 0x0400; ++i) machine.mem.ram[i] = 0xEA;
    EXPECT_EQ(command("L300").pc, 0xFF69);
    EXPECT_EQ(row_start(1, 25), "0300:  EA             NOP");
    EXPECT_EQ(row_start(20, 4), "0313");
    EXPECT_EQ(machine.mem.ram[0x3A], 0x14);
    EXPECT_EQ(machine.mem.ram[0x3B], 0x03);
    EXPECT_EQ(machine.mem.ram[0x25], 21);
    command("L");
    EXPECT_EQ(screen_row(23), std::string(40, ' '));
    EXPECT_EQ(machine.mem.ram[0x3A], 0x28);
    EXPECT_EQ(row_start(22, 4), "0327");
}

TEST(MonitorCommand, OtherLinesAndPromptReturn)
{
    fresh_console();
    EXPECT_EQ(command("").pc, 0xFF69);
    EXPECT_EQ(command("X").pc, 0xFF69);
    EXPECT_EQ(command("g300").pc, 0xFF69); // upper case only
    EXPECT_EQ(command("I").pc, 0xFF69);
    EXPECT_EQ(machine.mem.ram[0x32], 0x3F);
    command("N");
    EXPECT_EQ(machine.mem.ram[0x32], 0xFF);
    EXPECT_EQ(command("\x02").pc, 0xE000);
    EXPECT_EQ(command("\x03").pc, 0xE003);
}

TEST(MonitorCommand, HexNumberReadsAsScanfDoes)
{
    const char* texts[] = {"300", "  300", " 0x300", "0X1f", "0xZ", "-1", "+12", "1234abcdefg",
                           "123456789ABCDEF0123", "- 1", "x12", ""};
    for (const char* t : texts) {
        unsigned expected = 0;
        const bool ok = std::sscanf(t, "%x", &expected) == 1;
        uint16_t got = 0;
        EXPECT_EQ(console_scan_hex(t, got), ok) << t;
        if (ok) {
            EXPECT_EQ(got, expected & 0xFFFF) << t;
        }
    }
}
