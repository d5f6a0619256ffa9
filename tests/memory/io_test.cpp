// I/O page: keyboard latch, //e status reads, display switches, buttons,
// annunciators and the fixed answers of unused addresses.
#include <SDL.h>
#include "memory_test_util.h"

// ---- Keyboard ------------------------------------------------------------------

TEST(Keyboard, LatchStrobeAndClearing)
{
    for (Config c : {Config::IIPLUS, Config::IIE_128K}) {
        memory_test_machine(c);
        FrontendState& fe = machine.fe;
        fe.key_latch = 0x41;
        fe.key_strobe = 1;
        EXPECT_EQ(read_byte(0xC000), 0xC1);
        EXPECT_EQ(read_byte(0xC00F), 0xC1);
        EXPECT_EQ(read_byte(0xC010), 0x41);
        EXPECT_EQ(fe.key_strobe, 0u);
        EXPECT_EQ(read_byte(0xC000), 0x41);

        fe.key_strobe = 1;
        write_byte(0xC010, 0);
        EXPECT_EQ(fe.key_strobe, 0u);
        EXPECT_EQ(read_byte(0xC000), 0x41);

        // Every store to $C010-$C01F clears it, in every mode.
        fe.key_strobe = 1;
        write_byte(0xC01F, 0);
        EXPECT_EQ(fe.key_strobe, 0u);
    }
}

TEST(Keyboard, IiPlusTreatsC011ToC01FAsC010AndIgnoresMemorySwitches)
{
    memory_test_machine(Config::IIPLUS);
    FrontendState& fe = machine.fe;
    fe.key_latch = 0x52;
    fe.key_strobe = 1;
    EXPECT_EQ(read_byte(0xC013), 0x52);
    EXPECT_EQ(fe.key_strobe, 0u);
    fe.key_strobe = 1;
    EXPECT_EQ(read_byte(0xC019), 0x52);
    EXPECT_EQ(fe.key_strobe, 0u);

    write_byte(0xC005, 0);
    write_byte(0xC003, 0);
    write_byte(0xC009, 0);
    write_byte(0xC00D, 0);
    EXPECT_EQ(machine.sw.ramwrt | machine.sw.ramrd | machine.sw.altzp | machine.sw.col80, 0);
    write_byte(0x0250, 0x77);
    EXPECT_EQ(machine.mem.ram[0x0250], 0x77);
}

TEST(Keyboard, IieStatusReadsLeaveTheStrobeAlone)
{
    memory_test_machine(Config::IIE_128K);
    machine.fe.key_latch = 0x41;
    machine.fe.key_strobe = 1;
    EXPECT_EQ(read_byte(0xC011), 0x0D);
    EXPECT_EQ(read_byte(0xC01F), 0x0D);
    EXPECT_EQ(machine.fe.key_strobe, 1u);
    EXPECT_EQ(read_byte(0xC010), 0x41);
    EXPECT_EQ(machine.fe.key_strobe, 0u);
}

// ---- //e status reads ----------------------------------------------------------

TEST(IieStatus, EachSwitchIsReportedAt8DOr0D)
{
    memory_test_machine(Config::IIE_128K);
    struct Row {
        uint16_t off, on, status;
    };
    const Row rows[] = {
        {0xC002, 0xC003, 0xC013}, {0xC004, 0xC005, 0xC014}, {0xC006, 0xC007, 0xC015},
        {0xC008, 0xC009, 0xC016}, {0xC00A, 0xC00B, 0xC017}, {0xC000, 0xC001, 0xC018},
        {0xC052, 0xC053, 0xC01B}, {0xC054, 0xC055, 0xC01C}, {0xC056, 0xC057, 0xC01D},
        {0xC00E, 0xC00F, 0xC01E}, {0xC00C, 0xC00D, 0xC01F},
    };
    for (const Row& r : rows) {
        write_byte(r.on, 0);
        EXPECT_EQ(read_byte(r.status), 0x8D) << std::hex << r.status;
        write_byte(r.off, 0);
        EXPECT_EQ(read_byte(r.status), 0x0D) << std::hex << r.status;
    }
    // Text/graphics is reported inverted.
    EXPECT_EQ(read_byte(0xC01A), 0x8D);
    touch(0xC050);
    EXPECT_EQ(read_byte(0xC01A), 0x0D);

    // Language card: $C011 bank 2 read, $C012 any RAM read.
    touch(0xC080);
    EXPECT_EQ(read_byte(0xC011), 0x8D);
    EXPECT_EQ(read_byte(0xC012), 0x8D);
    touch(0xC088);
    EXPECT_EQ(read_byte(0xC011), 0x0D);
    EXPECT_EQ(read_byte(0xC012), 0x8D);
    touch(0xC081);
    EXPECT_EQ(read_byte(0xC011), 0x0D);
    EXPECT_EQ(read_byte(0xC012), 0x0D);
}

TEST(IieStatus, VerticalBlankFollowsTheScanLine)
{
    memory_test_machine(Config::IIE_128K);
    for (uint16_t line : {0, 100, 191}) {
        machine.fe.scan_line = line;
        EXPECT_EQ(read_byte(0xC019), 0x8D) << line;
    }
    for (uint16_t line : {192, 230, 265}) {
        machine.fe.scan_line = line;
        EXPECT_EQ(read_byte(0xC019), 0x0D) << line;
    }
}

TEST(IieStatus, Col80NeedsThe128KMachine)
{
    memory_test_machine(Config::IIE_64K);
    write_byte(0xC00D, 0);
    EXPECT_EQ(machine.sw.col80, 0);
    memory_test_machine(Config::IIE_128K);
    write_byte(0xC00D, 0);
    EXPECT_EQ(machine.sw.col80, 1);
    // Switches act on stores only.
    touch(0xC00C);
    EXPECT_EQ(machine.sw.col80, 1);
}

// ---- Display switches, speaker, floating bus -----------------------------------

TEST(DisplaySwitches, LoadsAndStoresBothSwitch)
{
    memory_test_machine(Config::IIPLUS);
    SoftSwitches& sw = machine.sw;
    EXPECT_EQ(read_byte(0xC050), 0x00);
    EXPECT_EQ(sw.graphics, 1);
    write_byte(0xC051, 0);
    EXPECT_EQ(sw.graphics, 0);
    touch(0xC053);
    EXPECT_EQ(sw.mixed, 1);
    write_byte(0xC052, 0);
    EXPECT_EQ(sw.mixed, 0);
    write_byte(0xC055, 0);
    EXPECT_EQ(sw.page2, 1);
    touch(0xC054);
    EXPECT_EQ(sw.page2, 0);
    touch(0xC057);
    EXPECT_EQ(sw.hires, 1);
    write_byte(0xC056, 0);
    EXPECT_EQ(sw.hires, 0);
    for (uint16_t a = 0xC050; a <= 0xC05F; ++a) EXPECT_EQ(read_byte(a), 0x00) << std::hex << a;
}

TEST(IoPage, UnansweredAddressesFloatAndFixedAnswers)
{
    memory_test_machine(Config::IIPLUS);
    for (uint16_t a : {0xC020, 0xC02F, 0xC030, 0xC03F, 0xC040, 0xC04F, 0xC063, 0xC064, 0xC070, 0xC07D,
                       0xC07E, 0xC07F, 0xC090, 0xC0CF, 0xC0F0, 0xC0FF})
        EXPECT_EQ(read_byte(a), 0x60) << std::hex << a;
    EXPECT_EQ(read_byte(0xC060), 0x00);
    EXPECT_EQ(read_byte(0xC061), 0xFF);
    EXPECT_EQ(read_byte(0xC062), 0xFF);
    // Slot 6 without a disk.
    EXPECT_EQ(read_byte(0xC0EC), 0xFF);
    write_byte(0xC0EC, 0x12);
    EXPECT_EQ(read_byte(0xC0E0), 0xFF);
    // Two loads of $C08B: $FF each, bank 1 read and write.
    EXPECT_EQ(read_byte(0xC08B), 0xFF);
    EXPECT_EQ(read_byte(0xC08B), 0xFF);
    EXPECT_EQ(machine.mem.lc_read, 1);
    EXPECT_EQ(machine.mem.lc_write, 1);
}

TEST(IoPage, PushButtonsFollowTheAltKeys)
{
    memory_test_machine(Config::IIE_128K);
    SDL_SetModState(KMOD_LALT);
    EXPECT_EQ(read_byte(0xC061), 0x80);
    EXPECT_EQ(read_byte(0xC062), 0x00);
    SDL_SetModState(KMOD_RALT);
    EXPECT_EQ(read_byte(0xC061), 0x00);
    EXPECT_EQ(read_byte(0xC062), 0x80);
    memory_test_machine(Config::IIPLUS);
    EXPECT_EQ(read_byte(0xC062), 0xFF);
    SDL_SetModState(KMOD_NONE);
    memory_test_machine(Config::IIE_64K);
    EXPECT_EQ(read_byte(0xC061), 0x00);
    EXPECT_EQ(read_byte(0xC062), 0x00);
}

// ---- Annunciators ----------------------------------------------------------------

TEST(Annunciators, ActOnlyWhileEnabledAndAn3IsReported)
{
    memory_test_machine(Config::IIE_128K);
    SoftSwitches& sw = machine.sw;
    write_byte(0xC05F, 0);
    touch(0xC05D);
    EXPECT_EQ(sw.annunciator[3], 0);
    EXPECT_EQ(sw.annunciator[2], 0);

    EXPECT_EQ(read_byte(0xC07F), 0x0D);
    EXPECT_EQ(sw.annunciator_enable, 1);
    write_byte(0xC05F, 0);
    EXPECT_EQ(read_byte(0xC07F), 0x8D);
    touch(0xC059);
    write_byte(0xC05B, 0);
    EXPECT_EQ(sw.annunciator[0], 1);
    EXPECT_EQ(sw.annunciator[1], 1);
    EXPECT_EQ(read_byte(0xC05E), 0x00);
    EXPECT_EQ(sw.annunciator[3], 0);

    EXPECT_EQ(read_byte(0xC07E), 0x60);
    EXPECT_EQ(sw.annunciator_enable, 0);
    touch(0xC05F);
    EXPECT_EQ(sw.annunciator[3], 0);
    write_byte(0xC07F, 0);
    EXPECT_EQ(sw.annunciator_enable, 1);
    write_byte(0xC07E, 0);
    EXPECT_EQ(sw.annunciator_enable, 0);

    memory_test_machine(Config::IIPLUS);
    touch(0xC07F);
    write_byte(0xC07F, 0);
    EXPECT_EQ(machine.sw.annunciator_enable, 0);
}

// ---- Text defaults -----------------------------------------------------------------

TEST(TextDefaults, TextPageOneAndTheFullWindow)
{
    memory_test_machine(Config::IIPLUS);
    touch(0xC050);
    touch(0xC055);
    touch(0xC057);
    text_defaults();
    EXPECT_EQ(machine.sw.graphics, 0);
    EXPECT_EQ(machine.sw.page2, 0);
    EXPECT_EQ(machine.sw.hires, 1);
    const uint8_t window[6] = {0x00, 0x28, 0x00, 0x18, 0x01, 0x17};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(machine.mem.ram[0x20 + i], window[i]) << i;
}
