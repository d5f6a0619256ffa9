// The 128K //e on its own ROM and real disks: the built-in 80-column
// firmware at PR#3, ProDOS with its /RAM disk in the auxiliary memory, and
// our memory audit of the auxiliary-memory switches and the $Cxxx ROM.
#include <functional>
#include <string>

#include "frontend/frontend.h"
#include "integration_support.h"
#include "video/video.h"

namespace {

struct IIe : ::testing::Test {
    TempWorkDir wd;
    UseBuiltFirmware firmware;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { close_storage(); }

    // Types a line and waits for BASIC to ask for the next one. A break into
    // the monitor leaves its own prompt and fails here.
    bool command(const std::string& line, uint64_t budget = 50'000'000)
    {
        return type_text(line + "\n") && run_until_bare_prompt(']', budget);
    }
    bool shown(const std::string& text) { return shown_text().find(text) != std::string::npos; }
};

// Whether 80-column cell (column, row), counted from 0, shows the glyph in
// the normal colours.
bool cell80_shows(int column, int row, uint8_t glyph)
{
    const VideoState& v = machine.video;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 7; ++j) {
            const bool ink = v.glyph_font[glyph * 8 + i] & (0x80 >> j);
            if (v.layer_text80[(7 * column + j) * LAYER_H + 8 * row + i] != (ink ? 15 : 0)) return false;
        }
    return true;
}

uint16_t text_row_start(int row) { return static_cast<uint16_t>(0x400 + 0x80 * (row % 8) + 0x28 * (row / 8)); }

} // namespace

TEST_F(IIe, Dos33Pr3TurnsOnEightyColumnsAtOnce)
{
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(command("PR#3")) << screen_dump();
    EXPECT_EQ(machine.sw.col80, 1);
    EXPECT_EQ(machine.sw.store80, 1);

    // Lower case (Shift+letter at the keyboard) comes through, and a line of
    // 70 characters fits one row.
    std::string digits;
    for (int i = 0; i < 67; ++i) digits += static_cast<char>('0' + i % 10);
    ASSERT_TRUE(command("PRINT \"abc\";\"" + digits + "\"")) << screen_dump();
    const size_t at = shown_text().find("\nabc" + digits + " ");
    ASSERT_NE(at, std::string::npos) << screen_dump();
    const int row = static_cast<int>((at + 1) / 81);
    EXPECT_EQ(machine.mem.ram[0x10000 + text_row_start(row)], 0xE1); // 'a', auxiliary half
    EXPECT_EQ(machine.mem.ram[text_row_start(row)], 0xE2);           // 'b', main half
    EXPECT_TRUE(cell80_shows(0, row, 'a'));
    EXPECT_TRUE(cell80_shows(1, row, 'b'));
    EXPECT_TRUE(cell80_shows(69, row, '6'));

    // Escape, Ctrl-Q leaves the firmware and 80 columns.
    ASSERT_TRUE(type_text("\x1b\x11"));
    ASSERT_TRUE(run_until_bare_prompt(']', 20'000'000)) << screen_dump();
    EXPECT_EQ(machine.sw.col80, 0);
    ASSERT_TRUE(command("PRINT \"XY\";\"Z\"")) << screen_dump();
    EXPECT_NE(screen_text().find("\nXYZ "), std::string::npos) << screen_dump();
}

// The enhanced ROM's firmware shows MouseText for inverse capitals after
// Ctrl-[, and it leaves 80 columns at PR#0. (The original //e's firmware
// must be left with Escape, Ctrl-Q: PR#0 there keeps the 80-column display.)
TEST_F(IIe, EnhancedRomShowsMouseTextAndLeavesAtPr0)
{
    BRING_OR_SKIP({"roms/apple2e-enhanced.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(command("PR#3")) << screen_dump();
    ASSERT_EQ(machine.sw.col80, 1);
    ASSERT_TRUE(command("PRINT CHR$(27);CHR$(15);\"@ABCK\";CHR$(14);CHR$(24)")) << screen_dump();
    EXPECT_EQ(machine.sw.altcharset, 1);
    int row = -1;
    for (int r = 0; r < 24; ++r)
        if (shown_row(r).rfind("@ABCK ", 0) == 0) row = r;
    ASSERT_GE(row, 0) << screen_dump();
    const uint8_t codes[5] = {0x40, 0x41, 0x42, 0x43, 0x4B};
    for (int c = 0; c < 5; ++c) {
        const uint32_t half = c % 2 == 0 ? 0x10000 : 0;
        EXPECT_EQ(machine.mem.ram[half + text_row_start(row) + c / 2], codes[c]) << c;
        EXPECT_TRUE(cell80_shows(c, row, mousetext_map[codes[c] - 0x40])) << c;
    }

    ASSERT_TRUE(command("PR#0")) << screen_dump();
    EXPECT_EQ(machine.sw.col80, 0);
    ASSERT_TRUE(command("PRINT \"XY\";\"Z\"")) << screen_dump();
    EXPECT_NE(screen_text().find("\nXYZ "), std::string::npos) << screen_dump();
}

// ---- ProDOS ---------------------------------------------------------------------------

namespace {

struct Prodos : IIe {
    // 80 columns, then /RAM filled until its blocks in the auxiliary language
    // card are in use too; every file reads back, and a program saved to
    // /RAM and to the boot volume loads from both.
    void ram_disk_session(const std::string& volume)
    {
        ASSERT_TRUE(command("PR#3")) << screen_dump();
        ASSERT_EQ(machine.sw.col80, 1);
        ASSERT_TRUE(command("CAT /RAM")) << screen_dump();
        EXPECT_TRUE(shown("\n/RAM ")) << screen_dump();
        EXPECT_TRUE(shown("BLOCKS FREE:")) << screen_dump();

        auto pattern = [](uint32_t a, int file) { return static_cast<uint8_t>((a >> 8) * 7 + a + file * 0x55); };
        auto fill = [&](int file) {
            for (uint32_t a = 0x4000; a < 0x9000; ++a) machine.mem.ram[a] = pattern(a, file);
        };
        auto clear = [] {
            for (uint32_t a = 0x4000; a < 0x9000; ++a) machine.mem.ram[a] = 0;
        };
        auto matches = [&](uint32_t end, int file) {
            for (uint32_t a = 0x4000; a < 0x9000; ++a)
                if (machine.mem.ram[a] != (a < end ? pattern(a, file) : 0)) return false;
            return true;
        };
        for (int file : {1, 2, 3}) {
            fill(file);
            const char* length = file == 3 ? "$3000" : "$5000";
            ASSERT_TRUE(command("BSAVE /RAM/P" + std::to_string(file) + ",A$4000,L" + length)) << screen_dump();
        }
        ASSERT_TRUE(command("CAT /RAM")) << screen_dump();
        const size_t free_at = shown_text().rfind("BLOCKS FREE:");
        ASSERT_NE(free_at, std::string::npos) << screen_dump();
        EXPECT_LT(std::stoi(shown_text().substr(free_at + 12, 6)), 24) << screen_dump();
        for (int file : {3, 1, 2}) {
            clear();
            ASSERT_TRUE(command("BLOAD /RAM/P" + std::to_string(file))) << screen_dump();
            EXPECT_TRUE(matches(file == 3 ? 0x7000 : 0x9000, file)) << "P" << file;
        }

        ASSERT_TRUE(command("NEW")) << screen_dump();
        ASSERT_TRUE(command("10 PRINT \"KAL\";\"VORAN\"")) << screen_dump();
        ASSERT_TRUE(command("SAVE /RAM/KTEST")) << screen_dump();
        ASSERT_TRUE(command("SAVE /" + volume + "/KTEST")) << screen_dump();
        ASSERT_TRUE(command("NEW")) << screen_dump();
        ASSERT_TRUE(command("LOAD /RAM/KTEST")) << screen_dump();
        ASSERT_TRUE(command("LIST")) << screen_dump();
        EXPECT_TRUE(shown("\n10  PRINT \"KAL\";\"VORAN\"")) << screen_dump();
        ASSERT_TRUE(command("NEW")) << screen_dump();
        ASSERT_TRUE(command("LOAD /" + volume + "/KTEST")) << screen_dump();
        ASSERT_TRUE(command("RUN")) << screen_dump();
        EXPECT_TRUE(shown("\nKALVORAN ")) << screen_dump();
        ASSERT_TRUE(command("CAT /" + volume)) << screen_dump();
        EXPECT_TRUE(shown(" KTEST ")) << screen_dump();
    }
};

} // namespace

TEST_F(Prodos, Prodos111FromSlot5HasItsRamDiskOnThe128KIIe)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"hdv/prodos-800k.po", "hdv1.hdv"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_shown("STARTUP DISK: /EXAMPLES/", 100'000'000)) << screen_dump();
    ASSERT_TRUE(run_until_bare_prompt(']', 100'000'000)) << screen_dump();
    EXPECT_TRUE(shown("128K OF RANDOM ACCESS MEMORY")) << screen_dump();
    EXPECT_TRUE(shown("SLOT 3: 80-COLUMN CARD")) << screen_dump();
    ram_disk_session("EXAMPLES");
}

// ProDOS 2.4.3 starts its program selector; B twice picks BASIC.SYSTEM.
TEST_F(Prodos, Prodos243FromSlot5HasItsRamDiskOnThe128KIIe)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/prodos-2.4.3.po", "hdv1.hdv"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_shown("RETURN:SELECT", 100'000'000)) << screen_dump();
    for (const char* key : {"B", "B", "\r"}) {
        run_cycles(2'000'000);
        ASSERT_TRUE(type_text(key));
    }
    ASSERT_TRUE(run_until_shown("PRODOS BASIC 1.7", 50'000'000)) << screen_dump();
    ASSERT_TRUE(run_until_bare_prompt(']', 50'000'000)) << screen_dump();
    ram_disk_session("PRODOS.2.4.3");
}

// The same from a floppy in slot 6, mounted as a user mounts it (F1) and
// started with PR#6.
TEST_F(Prodos, Prodos243FromSlot6HasItsRamDiskOnThe128KIIe)
{
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/prodos-2.4.3.po", "prodos.po"});
    test_startup({"-E"});
    ASSERT_TRUE(run_until_bare_prompt(']', 100'000'000)) << screen_dump();
    DiskDrive& d = machine.disk.drive[0];
    d.name.fill('\0');
    std::snprintf(d.name.data(), d.name.size(), "prodos.po");
    d.kind = 0;
    disk_mount(0);
    ASSERT_GE(d.fd, 0);
    ASSERT_TRUE(type_text("PR#6\n"));
    ASSERT_TRUE(run_until_shown("RETURN:SELECT", 200'000'000)) << screen_dump();
    for (const char* key : {"B", "B", "\r"}) {
        run_cycles(2'000'000);
        ASSERT_TRUE(type_text(key));
    }
    ASSERT_TRUE(run_until_shown("PRODOS BASIC 1.7", 100'000'000)) << screen_dump();
    ASSERT_TRUE(run_until_bare_prompt(']', 100'000'000)) << screen_dump();
    ram_disk_session("PRODOS.2.4.3");
}

// ---- Memory audit ---------------------------------------------------------------------

namespace {

// What iieaudit.pg2 leaves at $6003.
struct AuditResult {
    int done, faults, nrec;
    int section[5]; // 1 aux memory, 2 language card, 3 status, 4 $Cxxx ROM
    const uint8_t* record(int i) const { return &machine.mem.ram[0x6010 + 8 * i]; }
};

AuditResult audit_result()
{
    const uint8_t* r = &machine.mem.ram[0x6003];
    AuditResult a{};
    a.done = r[0];
    a.faults = r[1] | r[2] << 8;
    for (int s = 1; s <= 4; ++s) a.section[s] = r[2 * s + 1] | r[2 * s + 2] << 8;
    a.nrec = r[11];
    return a;
}

struct Audit : IIe {
    // Boots the //e on its ROMs alone, loads the audit as BLOAD (Left
    // Alt+F6) does and runs it from BASIC.
    bool run_audit(const char* mode)
    {
        copy_file(firmware_dir + "/iieaudit.pg2", "iieaudit.pg2");
        test_startup({mode});
        if (!run_until_bare_prompt(']', 100'000'000)) return false;
        before();
        bload("iieaudit.pg2");
        if (!type_text("CALL 24576\n")) return false;
        for (int i = 0; i < 100 && machine.mem.ram[0x6003] != 0xA5; ++i) run_cycles(1'000'000);
        return machine.mem.ram[0x6003] == 0xA5 && run_until_bare_prompt(']', 20'000'000);
    }
    std::function<void()> before = [] {};
};

} // namespace

// Everything the audit checks holds on the 128K //e but one rule the
// emulator keeps: $C011 reports bank 2 only while the card reads bank 2,
// where the machine reports the bank switch also while ROM is read (card
// states 0 and 1 of the audit, $C082 and $C081, under all 64 settings).
TEST_F(Audit, Finds128KIIeRightButForC011WhileTheCardReadsRom)
{
    ASSERT_FIRMWARE_BUILT();
    ASSERT_TRUE(file_exists(firmware_dir + "/iieaudit.pg2"));
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"});
    // Bytes the audit probes, in both halves and both card banks: it must
    // put every one back.
    static constexpr uint32_t kept[] = {0x100FA, 0x10100, 0x10200, 0x103FF, 0x10400, 0x107FF, 0x10800,
                                        0x11FFF, 0x12000, 0x13FFF, 0x14000, 0x1BFFF, 0x0C000, 0x0CFFF,
                                        0x0D000, 0x0DFFF, 0x0E000, 0x0FFFF, 0x1C000, 0x1CFFF, 0x1D000,
                                        0x1DFFF, 0x1E000, 0x1FFFF, 0x04000, 0x0BFFF};
    before = [] {
        for (uint32_t i : kept) machine.mem.ram[i] = static_cast<uint8_t>(i * 29 + 3);
    };
    ASSERT_TRUE(run_audit("-E")) << screen_dump();
    EXPECT_TRUE(shown("\nAUX MEMORY  OK")) << screen_dump();
    EXPECT_TRUE(shown("\nLANG CARD   OK")) << screen_dump();
    EXPECT_TRUE(shown("\n$CXXX ROM   OK")) << screen_dump();
    const AuditResult a = audit_result();
    EXPECT_EQ(a.section[1], 0);
    EXPECT_EQ(a.section[2], 0);
    EXPECT_EQ(a.section[4], 0);
    EXPECT_EQ(a.section[3], 2 * 64);
    EXPECT_EQ(a.faults, 2 * 64);
    ASSERT_EQ(a.nrec, 32);
    for (int i = 0; i < a.nrec; ++i) {
        const uint8_t* r = a.record(i);
        EXPECT_EQ(r[0], 3) << i;   // status
        EXPECT_LE(r[1], 1) << i;   // card state $C082 or $C081
        EXPECT_EQ(r[3], 0x11) << i;
        EXPECT_EQ(r[4], 1) << i;
        EXPECT_EQ(r[5], 0) << i;
    }
    for (uint32_t i : kept) EXPECT_EQ(machine.mem.ram[i], static_cast<uint8_t>(i * 29 + 3)) << std::hex << i;
    ASSERT_TRUE(command("PRINT 6*7")) << screen_dump();
    EXPECT_TRUE(shown("\n42 ")) << screen_dump();
}

// The audit can fail: the 64K //e has no auxiliary memory, and no 80-column
// firmware at $C300 or behind the latch (five checks of the ROM script).
TEST_F(Audit, ReportsTheMissingAuxiliaryMemoryOnThe64KIIe)
{
    ASSERT_FIRMWARE_BUILT();
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"});
    ASSERT_TRUE(run_audit("-e")) << screen_dump();
    const AuditResult a = audit_result();
    EXPECT_GT(a.section[1], 1000);
    EXPECT_GT(a.section[2], 1000);
    EXPECT_EQ(a.section[4], 5);
    EXPECT_FALSE(shown("\nAUX MEMORY  OK")) << screen_dump();
    EXPECT_TRUE(shown("\n$CXXX ROM   0005 FAULTS")) << screen_dump();
    const uint8_t* first = a.record(0);
    EXPECT_EQ(first[0], 1);
    EXPECT_EQ(first[4], 0); // $00FA, no switch: main...
    EXPECT_EQ(first[5], 1); // ...but the aux marker, written to the same byte
}

// The 80-column firmware flips PAGE2 around each store to the auxiliary
// half; with 80STORE on that chooses memory, not the page on display, so
// printing under hi-res mixed mode never shows hi-res page 2.
TEST_F(IIe, EightyColumnOutputLeavesTheHiresPageOnDisplay)
{
    BRING_OR_SKIP({"roms/apple2e.rom", "apple2e.rom"}, {"roms/disk.rom", "disk.rom"},
                  {"disks/dos33-master.dsk", "disk6a.dsk"});
    test_startup({"-E"});
    ASSERT_NE(machine.fe.screen_surface, nullptr);
    ASSERT_TRUE(run_until_bare_prompt(']', 300'000'000)) << screen_dump();
    ASSERT_TRUE(command("PR#3")) << screen_dump();
    // Page 1 white down to line 159, page 2 black.
    ASSERT_TRUE(command("HGR:HCOLOR=3:FOR Y=0 TO 159:HPLOT 0,Y TO 279,Y:NEXT", 200'000'000)) << screen_dump();
    ASSERT_EQ(machine.sw.page2, 0);
    ASSERT_EQ(machine.sw.graphics, 1);
    ASSERT_TRUE(type_text("FOR I=1 TO 40:PRINT I;\" \";:NEXT\n"));
    int black = 0, flips = 0;
    for (int i = 0; i < 40000; ++i) {
        run_cycles(50);
        flips += machine.sw.page2;
        if (i % 100 == 0)
            for (int n = 0; n < 160; n += 8) black += surface_pixel(280, 2 * n) == 0;
    }
    EXPECT_GT(flips, 0); // the firmware did flip it
    EXPECT_EQ(black, 0);
}
