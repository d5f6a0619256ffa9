// Host keys into the emulated keyboard latch, and the per-call housekeeping
// of the event routine.
#include "events_support.h"

using EventKeysTest = FrontendEventTest;

struct KeyCase {
    int sym;
    int mods;
    uint32_t code;
};

TEST_F(EventKeysTest, TypingKeysFollowTheTable)
{
    const KeyCase cases[] = {
        {'a', KMOD_NONE, 0x41},           {'a', KMOD_LSHIFT, 0x61},
        {'a', KMOD_RSHIFT, 0x61},         {'a', KMOD_LCTRL, 0x01},
        {'a', KMOD_RCTRL | KMOD_LSHIFT, 0x01},
        {'z', KMOD_NONE, 0x5A},           {'z', KMOD_LSHIFT, 0x7A},
        {'z', KMOD_LCTRL, 0x1A},
        {'a', KMOD_CAPS, 0x41},           {'a', KMOD_NUM, 0x41},
        {'a', KMOD_LALT, 0x41},           {'a', KMOD_RALT, 0x41},
        {SDLK_BACKSPACE, KMOD_NONE, 0x7F}, {SDLK_TAB, KMOD_NONE, 0x09},
        {SDLK_RETURN, KMOD_LSHIFT, 0x0D}, {SDLK_ESCAPE, KMOD_NONE, 0x1B},
        {' ', KMOD_LCTRL, 0x20},
        {'!', KMOD_NONE, 0x21},           {'@', KMOD_LSHIFT, 0x40},
        {'?', KMOD_NONE, 0x3F},           {':', KMOD_NONE, 0x3A},
        {'\'', KMOD_NONE, 0x27},          {'\'', KMOD_LSHIFT, 0x22},
        {',', KMOD_LSHIFT, 0x3C},         {'-', KMOD_LSHIFT, 0x5F},
        {'.', KMOD_LSHIFT, 0x3E},         {'/', KMOD_LSHIFT, 0x3F},
        {'0', KMOD_LSHIFT, 0x29},         {'1', KMOD_LSHIFT, 0x21},
        {'2', KMOD_NONE, 0x32},           {'2', KMOD_LSHIFT, 0x40},
        {'2', KMOD_LCTRL, 0x00},          {'2', KMOD_LCTRL | KMOD_LSHIFT, 0x00},
        {'3', KMOD_LSHIFT, 0x23},         {'6', KMOD_LSHIFT, 0x5E},
        {'6', KMOD_RCTRL, 0x1E},          {'7', KMOD_LSHIFT, 0x26},
        {'8', KMOD_LSHIFT, 0x2A},         {'9', KMOD_LSHIFT, 0x28},
        {';', KMOD_LSHIFT, 0x3A},         {'=', KMOD_LSHIFT, 0x2B},
        {'[', KMOD_NONE, 0x5B},           {'[', KMOD_LSHIFT, 0x7B},
        {'[', KMOD_LCTRL, 0x1B},          {'\\', KMOD_LSHIFT, 0x7C},
        {'\\', KMOD_LCTRL, 0x1C},         {']', KMOD_LSHIFT, 0x7D},
        {']', KMOD_LCTRL, 0x1D},          {'^', KMOD_LSHIFT, 0x7E},
        {'^', KMOD_LCTRL, 0x1E},          {'_', KMOD_LSHIFT, 0x5F},
        {'_', KMOD_LCTRL, 0x1F},          {'`', KMOD_NONE, 0x60},
        {'`', KMOD_LSHIFT, 0x7E},         {'`', KMOD_LCTRL, 0x60},
        {SDLK_UP, KMOD_NONE, 0x0B},       {SDLK_DOWN, KMOD_LSHIFT, 0x0A},
        {SDLK_RIGHT, KMOD_NONE, 0x15},    {SDLK_LEFT, KMOD_LCTRL, 0x08},
    };
    for (const KeyCase& k : cases) {
        machine.fe.key_latch = 0x55;
        machine.fe.key_strobe = 0;
        press(k.sym, k.mods);
        EXPECT_EQ(machine.fe.key_latch, k.code) << "sym " << k.sym << " mods " << k.mods;
        EXPECT_EQ(machine.fe.key_strobe, 1u) << "sym " << k.sym;
    }
}

TEST_F(EventKeysTest, KeysOutsideTheTableLeaveTheLatchAlone)
{
    const int ignored[] = {SDLK_DELETE, SDLK_KP0, SDLK_KP_ENTER, SDLK_INSERT, SDLK_HOME,
                           SDLK_F5,     SDLK_F9,  SDLK_F10,      SDLK_END,    SDLK_LSHIFT,
                           SDLK_NUMLOCK, 5,       SDLK_CAPSLOCK, SDLK_F13,    SDLK_BREAK};
    for (int sym : ignored) {
        machine.fe.key_latch = 0x55;
        machine.fe.key_strobe = 0;
        press(sym);
        EXPECT_EQ(machine.fe.key_latch, 0x55u) << "sym " << sym;
        EXPECT_EQ(machine.fe.key_strobe, 0u) << "sym " << sym;
    }
    // Releases of typing keys are ignored too.
    push_key('a', SDL_KEYUP);
    poll_events();
    EXPECT_EQ(machine.fe.key_strobe, 0u);
}

TEST_F(EventKeysTest, TwoKeysInOneCallLeaveTheSecond)
{
    push_key('a');
    push_key('b');
    EXPECT_EQ(poll_events(), 0);
    EXPECT_EQ(machine.fe.key_latch, 0x42u);
    EXPECT_EQ(machine.fe.key_strobe, 1u);
    EXPECT_EQ(queued_events(), 0);
}

TEST_F(EventKeysTest, ControlTwoReadsAsEightyThroughTheLatch)
{
    SKIP_WITHOUT_KEYBOARD_LATCH();
    press('2', KMOD_LCTRL);
    EXPECT_EQ(read_byte(0xC000), 0x80);
    read_byte(0xC010);
    EXPECT_EQ(read_byte(0xC000), 0x00);
}

TEST_F(EventKeysTest, EachCallAdvancesTheScanLineAndRecomputesTheInterval)
{
    CpuState& cpu = machine.cpu;
    cpu.cpu_multiplier = 7;
    cpu.poll_interval = 1;
    cpu.interval_dirty = 1;
    EXPECT_EQ(poll_events(), 0);
    EXPECT_EQ(cpu.poll_interval, 455u);
    EXPECT_EQ(cpu.interval_dirty, 0u);
    EXPECT_EQ(machine.fe.scan_line, 1);

    // Without the dirty flag the interval is left as it is.
    cpu.poll_interval = 3;
    poll_events();
    EXPECT_EQ(cpu.poll_interval, 3u);

    machine.fe.scan_line = 264;
    poll_events();
    EXPECT_EQ(machine.fe.scan_line, 265);
    poll_events();
    EXPECT_EQ(machine.fe.scan_line, 0);
}
