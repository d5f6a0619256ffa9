// ROM loading: result codes, the arrays against the image files, the BASIC
// and //e byte sums, slot ROMs, the font file and the ZELM trap layout.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include "frontend/frontend.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes zeros(size_t n) { return Bytes(n, 0); }

// A 10240-byte image whose 16-bit byte sum is sum.
Bytes image_with_sum(uint16_t sum)
{
    Bytes b(10240, 0);
    size_t i = 0;
    for (unsigned left = sum; left > 0; ++i) {
        b[i] = static_cast<uint8_t>(left > 0xFF ? 0xFF : left);
        left -= b[i];
    }
    return b;
}

Bytes rom_main() { return Bytes(machine.mem.rom_main.begin(), machine.mem.rom_main.end()); }

void copy_rom(const char* name, const char* as = nullptr)
{
    copy_file(testdata(std::string("roms/") + name), as ? as : name);
}

std::string banner_version() { return std::string(boot_banner[0] + 32, 3); }
void set_banner_version(const char* v) { std::memcpy(boot_banner[0] + 32, v, 3); }

// The ZELM layout as documented, typed independently of the loader.
struct Patch {
    uint16_t address;
    Bytes bytes;
};
const uint16_t traps_both[] = {0xF800, 0xF819, 0xF828, 0xF864, 0xF871, 0xF948, 0xF94A, 0xFB39,
                               0xFB40, 0xFB5B, 0xFB60, 0xFC24, 0xFC58, 0xFC9C, 0xFCA8, 0xFDF0,
                               0xFE2C, 0xFE61, 0xFE80, 0xFE84, 0xFEBF, 0xFF3A};
const uint16_t traps_full[] = {0xF80E, 0xF847, 0xFAA9, 0xFB1E, 0xFB2E, 0xFB4B, 0xFC22, 0xFD0C, 0xFD1A,
                               0xFDED, 0xFE88, 0xFE8B, 0xFE92, 0xFE95, 0xFEFE, 0xFFF0, 0xFFF2};
const Patch patches_both[] = {
    {0xFAA6, {0x02, 0xEA, 0xEA}},
    {0xFB0B, {0xC1, 0xD0, 0xD0, 0xCC, 0xC5, 0xA0, 0xDD, 0xDB}},
    {0xFF58, {0x60}},
};
const Patch patches_full[] = {
    {0xFD6A, {0xA5, 0x33, 0x20, 0xED, 0xFD, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xA2, 0x00,
              0x20, 0x0C, 0xFD, 0x20, 0xED, 0xFD, 0xC9, 0x88, 0xD0, 0x04, 0xCA, 0x4C, 0x77,
              0xFD, 0xC9, 0x8D, 0xF0, 0x11, 0xE0, 0x7D, 0xF0, 0x07, 0x9D, 0x00, 0x02, 0xE8,
              0x4C, 0x77, 0xFD, 0x20, 0x3A, 0xFF, 0x4C, 0x77, 0xFD, 0x60}},
    {0xFF69, {0xA9, 0xAD, 0x85, 0x33, 0x20, 0x6A, 0xFD, 0x02, 0x60}},
    {0xFFFC, {0x00, 0xE0, 0xF2, 0xFF}},
};

void apply(Bytes& rom, uint16_t address, const Bytes& bytes)
{
    std::copy(bytes.begin(), bytes.end(), rom.begin() + (address - 0xD000));
}

void apply_layout(Bytes& rom, bool full)
{
    for (uint16_t a : traps_both) apply(rom, a, {0x02, 0x60});
    for (const Patch& p : patches_both) apply(rom, p.address, p.bytes);
    if (!full) return;
    for (uint16_t a : traps_full) apply(rom, a, {0x02, 0x60});
    for (const Patch& p : patches_full) apply(rom, p.address, p.bytes);
}

void expect_same_rom(const Bytes& got, const Bytes& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "at $" << std::hex << std::uppercase << (0xD000 + i);
}

} // namespace

TEST(RomLoad, ResultCodesForMissingAndWrongSizedImages)
{
    TempWorkDir dir;
    test_reset_machine();
    EXPECT_EQ(load_roms(MODE_FULL), -1);
    EXPECT_EQ(load_roms(MODE_HYBRID), -1);
    EXPECT_EQ(load_roms(MODE_IIPLUS), -1);
    EXPECT_EQ(load_roms(MODE_IIE), -6);
    EXPECT_EQ(machine.fe.machine_mode, MODE_IIE);
    EXPECT_EQ(machine.fe.iie_active, 0);

    write_file("msbasic.rom", zeros(10239));
    EXPECT_EQ(load_roms(MODE_FULL), -2);
    write_file("msbasic.rom", zeros(10241));
    EXPECT_EQ(load_roms(MODE_HYBRID), -2);

    write_file("msbasic.rom", zeros(10240));
    EXPECT_EQ(load_roms(MODE_FULL), 0); // Full mode needs no monitor image
    EXPECT_EQ(machine.fe.machine_mode, MODE_FULL);
    EXPECT_EQ(load_roms(MODE_HYBRID), -3);
    EXPECT_EQ(load_roms(MODE_IIPLUS), -3); // fallback to the separate images
    write_file("monitor.rom", zeros(2047));
    EXPECT_EQ(load_roms(MODE_HYBRID), -4);
    write_file("monitor.rom", zeros(2048));
    EXPECT_EQ(load_roms(MODE_HYBRID), 0);
    EXPECT_EQ(load_roms(MODE_IIPLUS), 0);

    // A wrong-sized apple2.rom is fatal even though the separate images are good.
    write_file("apple2.rom", zeros(12287));
    EXPECT_EQ(load_roms(MODE_IIPLUS), -5);
    write_file("apple2.rom", zeros(12289));
    EXPECT_EQ(load_roms(MODE_IIPLUS), -5);

    write_file("apple2e.rom", zeros(16127));
    EXPECT_EQ(load_roms(MODE_IIE), -7);
    EXPECT_EQ(machine.fe.iie_active, 0);
    // A directory opens but cannot be sized or read: never accepted.
    std::remove("apple2e.rom");
    std::filesystem::create_directory("apple2e.rom");
    EXPECT_LT(load_roms(MODE_IIE), 0);
}

TEST(RomLoad, IIPlusUsesApple2RomAloneAndFallsBackWithoutIt)
{
    SKIP_WITHOUT_TESTDATA("roms/apple2.rom");
    SKIP_WITHOUT_TESTDATA("roms/msbasic.rom");
    SKIP_WITHOUT_TESTDATA("roms/monitor.rom");
    TempWorkDir dir;
    test_reset_machine();
    copy_rom("apple2.rom");
    write_file("msbasic.rom", zeros(5)); // never opened while apple2.rom is there
    set_banner_version("XYZ");
    ASSERT_EQ(load_roms(MODE_IIPLUS), 0);
    EXPECT_EQ(rom_main(), read_file("apple2.rom"));
    EXPECT_EQ(banner_version(), "XYZ");
    EXPECT_EQ(machine.fe.machine_mode, MODE_IIPLUS);

    std::remove("apple2.rom");
    copy_rom("msbasic.rom");
    copy_rom("monitor.rom");
    test_reset_machine();
    ASSERT_EQ(load_roms(MODE_IIPLUS), 0);
    Bytes want = read_file("msbasic.rom");
    Bytes mon = read_file("monitor.rom");
    want.insert(want.end(), mon.begin(), mon.end());
    expect_same_rom(rom_main(), want); // no trap layout in ][+ mode
    EXPECT_EQ(banner_version(), "2.0");
    set_banner_version("2.3");
}

TEST(RomLoad, FullModeTrapLayoutOverTheCopFill)
{
    SKIP_WITHOUT_TESTDATA("roms/msbasic.rom");
    TempWorkDir dir;
    test_reset_machine();
    copy_rom("msbasic.rom");
    ASSERT_EQ(load_roms(MODE_FULL), 0);
    Bytes want = read_file("msbasic.rom");
    want.resize(12288, 0x02);
    apply_layout(want, true);
    expect_same_rom(rom_main(), want);
    EXPECT_EQ(machine.mem.rom_main[0x2FFC] | machine.mem.rom_main[0x2FFD] << 8, 0xE000);
    EXPECT_EQ(machine.mem.rom_main[0x2FFE] | machine.mem.rom_main[0x2FFF] << 8, 0xFFF2);
    EXPECT_EQ(std::string(boot_banner[0]), "     ZELM SYSTEM ROM 1.0  BASIC 2.0     ");
    set_banner_version("2.3");
}

TEST(RomLoad, HybridModeTrapLayoutOverTheMonitor)
{
    SKIP_WITHOUT_TESTDATA("roms/msbasic.rom");
    SKIP_WITHOUT_TESTDATA("roms/monitor.rom");
    TempWorkDir dir;
    test_reset_machine();
    copy_rom("msbasic.rom");
    copy_rom("monitor.rom");
    ASSERT_EQ(load_roms(MODE_HYBRID), 0);
    Bytes want = read_file("msbasic.rom");
    Bytes mon = read_file("monitor.rom");
    want.insert(want.end(), mon.begin(), mon.end());
    apply_layout(want, false);
    expect_same_rom(rom_main(), want);
    // The loaded monitor keeps its own vectors.
    EXPECT_EQ(machine.mem.rom_main[0x2FFC], mon[0x7FC]);
    EXPECT_EQ(machine.mem.rom_main[0x2FFD], mon[0x7FD]);
    set_banner_version("2.3");
}

TEST(RomLoad, BannerNamesTheBasicByItsByteSum)
{
    for (int r = 0; r < 3; ++r) {
        ASSERT_EQ(std::strlen(boot_banner[r]), 40u) << "row " << r;
        for (int c = 0; c < 40; ++c) {
            const char ch = boot_banner[r][c];
            EXPECT_TRUE(ch >= 0x20 && ch < 0x60) << "row " << r << " column " << c;
        }
    }
    EXPECT_EQ(banner_version(), "2.3");

    TempWorkDir dir;
    const std::pair<uint16_t, const char*> cases[] = {
        {0x0748, "2.0"}, {0x06E9, "2.1"}, {0xF614, "2.2"}, {0xB12C, "2.3"},
        {0xD56C, "2.4"}, {0xFFFA, "IIE"}, {0x1234, "?.?"}, {0x0000, "?.?"},
    };
    for (const auto& [sum, field] : cases) {
        test_reset_machine();
        set_banner_version("2.3");
        write_file("msbasic.rom", image_with_sum(sum));
        ASSERT_EQ(load_roms(MODE_FULL), 0);
        EXPECT_EQ(banner_version(), field) << "sum $" << std::hex << sum;
        EXPECT_EQ(std::strlen(boot_banner[0]), 40u);
    }
    set_banner_version("2.3");
}

TEST(RomLoad, IIeRomIsRecognisedOnlyByItsSum)
{
    SKIP_WITHOUT_TESTDATA("roms/apple2e.rom");
    SKIP_WITHOUT_TESTDATA("roms/apple2e-enhanced.rom");
    TempWorkDir dir;
    test_reset_machine();
    copy_rom("apple2e.rom");
    ASSERT_EQ(load_roms(MODE_IIE), 0);
    EXPECT_EQ(machine.fe.iie_active, 1);
    EXPECT_EQ(machine.fe.iie_rom_recognised, 1);
    EXPECT_EQ(Bytes(machine.mem.rom_iie.begin(), machine.mem.rom_iie.end()), read_file("apple2e.rom"));

    copy_rom("apple2e-enhanced.rom", "apple2e.rom");
    ASSERT_EQ(load_roms(MODE_IIE), 0);
    EXPECT_EQ(machine.fe.iie_active, 1);
    EXPECT_EQ(machine.fe.iie_rom_recognised, 0);

    // The enhanced ROM's Applesoft part, used as msbasic.rom, names itself IIE.
    const Bytes e = read_file("apple2e.rom");
    write_file("msbasic.rom", Bytes(e.begin() + 0xF00, e.begin() + 0xF00 + 10240));
    ASSERT_EQ(load_roms(MODE_FULL), 0);
    EXPECT_EQ(banner_version(), "IIE");
    EXPECT_EQ(machine.fe.iie_active, 0);
    set_banner_version("2.3");
}

TEST(RomLoad, SlotRomsAndFontFile)
{
    TempWorkDir dir;
    test_reset_machine();
    write_file("msbasic.rom", zeros(10240));
    ASSERT_EQ(load_roms(MODE_FULL), 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(machine.mem.rom_slot6[i], 0xFF);
        ASSERT_EQ(machine.mem.rom_slot5[i], 0xFF);
    }

    Bytes disk(100), ms(300), font(2048);
    for (size_t i = 0; i < disk.size(); ++i) disk[i] = static_cast<uint8_t>(i + 1);
    for (size_t i = 0; i < ms.size(); ++i) ms[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < font.size(); ++i) font[i] = static_cast<uint8_t>(i * 13 + 5);
    write_file("disk.rom", disk);
    write_file("massstor.rom", ms);
    Bytes long_font = font;
    long_font.push_back(0);
    write_file("kalvoran.fnt", long_font);
    ASSERT_EQ(load_roms(MODE_FULL), 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(machine.mem.rom_slot6[i], i < 100 ? disk[i] : 0xFF) << "$C6" << std::hex << i;
        EXPECT_EQ(machine.mem.rom_slot5[i], ms[i]);
    }
    EXPECT_EQ(machine.video.glyph_font, builtin_font); // 2049 bytes: ignored

    write_file("kalvoran.fnt", font);
    write_file("monitor.rom", zeros(2048));
    ASSERT_EQ(load_roms(MODE_HYBRID), 0);
    EXPECT_EQ(Bytes(machine.video.glyph_font.begin(), machine.video.glyph_font.end()), font);
    set_banner_version("2.3");
}

TEST(RomLoad, RealDiskRomFillsSlotSix)
{
    SKIP_WITHOUT_TESTDATA("roms/disk.rom");
    TempWorkDir dir;
    test_reset_machine();
    write_file("msbasic.rom", zeros(10240));
    copy_rom("disk.rom");
    ASSERT_EQ(load_roms(MODE_FULL), 0);
    EXPECT_EQ(Bytes(machine.mem.rom_slot6.begin(), machine.mem.rom_slot6.end()), read_file("disk.rom"));
    set_banner_version("2.3");
}
