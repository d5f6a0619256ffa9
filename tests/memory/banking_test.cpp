// Memory map: language card, //e auxiliary banking, slot ROM space, the
// decode cache checked against the rules, and the quit request.
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include "memory_test_util.h"
#include "storage/disk.h"

// ---- Language card ---------------------------------------------------------

TEST(LanguageCard, WriteProtectedStoresAreDroppedAndBanksAreSeparate)
{
    memory_test_machine(Config::IIPLUS);
    MemoryMap& m = machine.mem;
    const uint8_t rom = m.rom_main[0x123];
    const uint8_t bank1 = m.ram[0x1D123], bank2 = m.ram[0x1C123];

    write_byte(0xD123, 0x77);
    EXPECT_EQ(read_byte(0xD123), rom);
    EXPECT_EQ(m.rom_main[0x123], rom);
    EXPECT_EQ(m.ram[0x1D123], bank1);
    EXPECT_EQ(m.ram[0x1C123], bank2);
    EXPECT_EQ(m.ram[0xD123], static_cast<uint8_t>(0xD1 * 13 + 0x23));

    touch(0xC083);
    touch(0xC083);
    EXPECT_EQ(m.lc_read, 2);
    EXPECT_EQ(m.lc_write, 2);
    write_byte(0xD123, 0x77);
    EXPECT_EQ(read_byte(0xD123), 0x77);
    EXPECT_EQ(m.ram[0x1C123], 0x77); // bank 2 kept $1000 lower, auxiliary half

    touch(0xC08B);
    touch(0xC08B);
    EXPECT_EQ(read_byte(0xD123), bank1);
    write_byte(0xD123, 0x88);
    EXPECT_EQ(m.ram[0x1D123], 0x88);
    touch(0xC080); // bank 2 again, read only
    EXPECT_EQ(read_byte(0xD123), 0x77);
    write_byte(0xD123, 0x99);
    EXPECT_EQ(read_byte(0xD123), 0x77);

    // $E000-$FFFF is shared by both banks.
    touch(0xC083);
    touch(0xC083);
    write_byte(0xF00D, 0x3C);
    touch(0xC088);
    EXPECT_EQ(read_byte(0xF00D), 0x3C);
    touch(0xC082);
    EXPECT_EQ(read_byte(0xF00D), m.rom_main[0x200D]);
}

TEST(LanguageCard, WriteEnableNeedsTwoAccessesInARowToTheSameSwitch)
{
    memory_test_machine(Config::IIPLUS);
    MemoryMap& m = machine.mem;

    touch(0xC081);
    touch(0xC085);
    EXPECT_EQ(m.lc_write, 0);

    touch(0xC081);
    touch(0xC081);
    EXPECT_EQ(m.lc_write, 2);
    EXPECT_EQ(m.lc_read, 0);

    touch(0xC080);
    touch(0xC081);
    touch(0xC0E0); // outside $C080-$C08F: does not break a pair
    touch(0x0300);
    write_byte(0x0301, 1);
    touch(0xC000);
    touch(0xC081);
    EXPECT_EQ(m.lc_write, 2);

    touch(0xC081);
    touch(0xC080);
    touch(0xC081);
    EXPECT_EQ(m.lc_write, 0);

    // Stores count like loads.
    write_byte(0xC081, 0);
    touch(0xC081);
    EXPECT_EQ(m.lc_write, 2);

    // The mirrors never enable writing.
    for (uint16_t mirror : {0xC085, 0xC087, 0xC08D, 0xC08F}) {
        touch(mirror);
        touch(mirror);
        EXPECT_EQ(m.lc_write, 0) << std::hex << mirror;
    }
    for (uint16_t mirror : {0xC087, 0xC08F}) {
        touch(mirror);
        EXPECT_NE(m.lc_read, 0) << std::hex << mirror;
    }

    touch(0xC089);
    EXPECT_EQ(read_byte(0xC089), 0xFF);
    EXPECT_EQ(m.lc_write, 1);
    EXPECT_EQ(m.lc_read, 0);
    EXPECT_EQ(m.lc_last, 9);
}

TEST(LanguageCard, ReadStateForEverySwitch)
{
    memory_test_machine(Config::IIPLUS);
    const int expected[16] = {2, 0, 0, 2, 2, 0, 0, 2, 1, 0, 0, 1, 1, 0, 0, 1};
    for (int n = 0; n < 16; ++n) {
        touch(static_cast<uint16_t>(0xC080 + n));
        EXPECT_EQ(machine.mem.lc_read, expected[n]) << n;
    }
}

TEST(LanguageCard, BankTwoDataIsNotVisibleInTheSlotAndIoSpace)
{
    memory_test_machine(Config::IIPLUS);
    touch(0xC083);
    touch(0xC083);
    write_byte(0xD000, 0x99);
    write_byte(0xD500, 0x98);
    machine.fe.key_latch = 0x41;
    EXPECT_EQ(read_byte(0xC000), 0x41);
    EXPECT_EQ(read_byte(0xC500), machine.mem.rom_slot5[0]);
    EXPECT_EQ(machine.mem.ram[0x1C000], 0x99);

    // A store to slot space must not reach the bank-2 bytes stored there.
    write_byte(0xC500, 0x11);
    write_byte(0xC800, 0x12);
    EXPECT_EQ(machine.mem.ram[0x1C500], 0x98);
    EXPECT_EQ(read_byte(0xD500), 0x98);
    EXPECT_EQ(machine.mem.ram[0x1C800], static_cast<uint8_t>(0xC8 * 13 + 0x80));
}

TEST(LanguageCard, IieReadsItsOwnRomAndThe64KKeepsTheCardInMainRam)
{
    memory_test_machine(Config::IIE_128K);
    EXPECT_EQ(read_byte(0xD000), machine.mem.rom_iie[0xD000 - 0xC100]);
    EXPECT_EQ(read_byte(0xFFFC), machine.mem.rom_iie[0xFFFC - 0xC100]);

    memory_test_machine(Config::IIE_64K);
    touch(0xC083);
    touch(0xC083);
    write_byte(0xD010, 0x5A);
    write_byte(0xE010, 0x5B);
    EXPECT_EQ(machine.mem.ram[0xC010], 0x5A);
    EXPECT_EQ(machine.mem.ram[0xE010], 0x5B);
    EXPECT_EQ(read_byte(0xD010), 0x5A);

    memory_test_machine(Config::IIPLUS_STALE_64K);
    touch(0xC08B);
    touch(0xC08B);
    write_byte(0xD010, 0x5C);
    EXPECT_EQ(machine.mem.ram[0xD010], 0x5C);
    EXPECT_EQ(read_byte(0xD010), 0x5C);
}

// The //e moves its card's RAM with ALTZP, together with zero page and the
// stack; the card state (bank, read, write) applies to whichever half is in.
TEST(LanguageCard, AltzpChoosesTheMainOrAuxiliaryCardOnThe128KIIe)
{
    memory_test_machine(Config::IIE_128K);
    MemoryMap& m = machine.mem;
    touch(0xC083);
    touch(0xC083);
    write_byte(0xD123, 0x11); // main, bank 2
    write_byte(0xE123, 0x12);
    write_byte(0xC009, 0);
    write_byte(0xD123, 0x21); // aux, bank 2
    write_byte(0xE123, 0x22);
    EXPECT_EQ(m.ram[0x0C123], 0x11);
    EXPECT_EQ(m.ram[0x0E123], 0x12);
    EXPECT_EQ(m.ram[0x1C123], 0x21);
    EXPECT_EQ(m.ram[0x1E123], 0x22);
    EXPECT_EQ(read_byte(0xD123), 0x21);
    touch(0xC08B); // bank 1, still aux
    touch(0xC08B);
    write_byte(0xD123, 0x23);
    EXPECT_EQ(m.ram[0x1D123], 0x23);
    write_byte(0xC008, 0);
    EXPECT_EQ(read_byte(0xE123), 0x12);
    EXPECT_EQ(read_byte(0xD123), m.ram[0x0D123]);
    touch(0xC080);
    EXPECT_EQ(read_byte(0xD123), 0x11);
    EXPECT_EQ(read_byte(0xC016), 0x0D);
}

// ---- //e auxiliary memory --------------------------------------------------

TEST(IieBanking, RamwrtAndAltzpChooseTheHalfOfStores)
{
    memory_test_machine(Config::IIE_128K);
    MemoryMap& m = machine.mem;
    write_byte(0xC005, 0);
    EXPECT_EQ(machine.sw.ramwrt, 1);
    write_byte(0x0150, 0x11);
    write_byte(0x0250, 0x22);
    EXPECT_EQ(m.ram[0x0150], 0x11);
    EXPECT_EQ(m.ram[0x10250], 0x22);
    EXPECT_NE(m.ram[0x0250], 0x22);
    EXPECT_NE(read_byte(0x0250), 0x22); // loads still main

    write_byte(0xC003, 0);
    EXPECT_EQ(read_byte(0x0250), 0x22);

    write_byte(0xC009, 0);
    write_byte(0x0150, 0x33);
    EXPECT_EQ(m.ram[0x10150], 0x33);
    EXPECT_EQ(m.ram[0x0150], 0x11);
    EXPECT_EQ(read_byte(0x0150), 0x33);

    write_byte(0xC008, 0);
    write_byte(0xC002, 0);
    write_byte(0xC004, 0);
    EXPECT_EQ(read_byte(0x0150), 0x11);
    write_byte(0x0250, 0x44);
    EXPECT_EQ(m.ram[0x0250], 0x44);
}

TEST(IieBanking, Store80GivesTextPage1AndWithHiresHiresPage1ToPage2)
{
    memory_test_machine(Config::IIE_128K);
    MemoryMap& m = machine.mem;
    write_byte(0xC001, 0);
    write_byte(0xC055, 0);
    ASSERT_EQ(machine.sw.hires, 0);
    write_byte(0x0400, 0xC1);
    write_byte(0x2000, 0xC2); // HIRES off: RAMWRT decides
    write_byte(0x0800, 0xC3);
    write_byte(0x4000, 0xC4);
    EXPECT_EQ(m.ram[0x10400], 0xC1);
    EXPECT_EQ(m.ram[0x02000], 0xC2);
    EXPECT_EQ(m.ram[0x0800], 0xC3);
    EXPECT_EQ(m.ram[0x4000], 0xC4);
    EXPECT_EQ(read_byte(0x07FF), m.ram[0x107FF]);
    EXPECT_EQ(read_byte(0x3FFF), m.ram[0x03FFF]);
    touch(0xC057);
    write_byte(0x2000, 0xC5);
    EXPECT_EQ(m.ram[0x12000], 0xC5);
    EXPECT_EQ(read_byte(0x3FFF), m.ram[0x13FFF]);

    touch(0xC054);
    write_byte(0x0400, 0xD1);
    EXPECT_EQ(m.ram[0x0400], 0xD1);
    EXPECT_EQ(read_byte(0x0400), 0xD1);

    // 80STORE wins over RAMRD and RAMWRT: PAGE2 off keeps the pages main.
    write_byte(0xC005, 0);
    write_byte(0xC003, 0);
    write_byte(0x0401, 0xD2);
    write_byte(0x2001, 0xD3);
    write_byte(0x0801, 0xD4);
    EXPECT_EQ(m.ram[0x0401], 0xD2);
    EXPECT_EQ(m.ram[0x2001], 0xD3);
    EXPECT_EQ(m.ram[0x10801], 0xD4);
    EXPECT_EQ(read_byte(0x0401), 0xD2);
    // HIRES off hands $2000-$3FFF back to RAMRD/RAMWRT.
    touch(0xC056);
    EXPECT_EQ(read_byte(0x2001), m.ram[0x12001]);
}

// Where loads and stores land on the 128K //e for every setting of the six
// switches, on both sides of each range's edges and in both card banks.
// Each setting is reached from each of its neighbours, so every switch's own
// rebuild of the decode cache is tried alone, in every context.
TEST(IieBanking, EverySwitchSettingOnTheAddressesThatMatter)
{
    enum Rule { ZP, RAM, TEXT, HIRES, CARD };
    struct Probe {
        uint16_t address;
        Rule rule;
    };
    static constexpr Probe probes[] = {
        {0x0000, ZP},   {0x01FF, ZP},   {0x0200, RAM},   {0x03FF, RAM},   {0x0400, TEXT}, {0x07FF, TEXT},
        {0x0800, RAM},  {0x1FFF, RAM},  {0x2000, HIRES}, {0x3FFF, HIRES}, {0x4000, RAM},  {0xBFFF, RAM},
        {0xD000, CARD}, {0xDFFF, CARD}, {0xE000, CARD},  {0xFFFF, CARD},
    };
    auto apply = [](int bits) {
        write_byte(bits & 1 ? 0xC009 : 0xC008, 0);
        write_byte(bits & 2 ? 0xC003 : 0xC002, 0);
        write_byte(bits & 4 ? 0xC005 : 0xC004, 0);
        write_byte(bits & 8 ? 0xC001 : 0xC000, 0);
        touch(bits & 16 ? 0xC055 : 0xC054);
        touch(bits & 32 ? 0xC057 : 0xC056);
    };
    memory_test_machine(Config::IIE_128K);
    MemoryMap& m = machine.mem;
    for (int bank : {1, 2})
        for (int bits = 0; bits < 64; ++bits)
            for (int flip = 0; flip < 6; ++flip) {
                touch(bank == 1 ? 0xC08B : 0xC083);
                touch(bank == 1 ? 0xC08B : 0xC083);
                apply(bits ^ (1 << flip));
                memory_remap(); // the cache as the neighbour has it
                apply(bits);
                const bool altzp = bits & 1, ramrd = bits & 2, ramwrt = bits & 4;
                const bool store80 = bits & 8, page2 = bits & 16, hires = bits & 32;
                auto aux = [&](Rule r, bool store) {
                    switch (r) {
                    case ZP:
                    case CARD: return altzp;
                    case TEXT:
                        if (store80) return page2;
                        break;
                    case HIRES:
                        if (store80 && hires) return page2;
                        break;
                    case RAM: break;
                    }
                    return store ? ramwrt : ramrd;
                };
                for (const Probe& p : probes) {
                    const uint16_t a = p.address;
                    const long down = (p.rule == CARD && bank == 2 && a < 0xE000) ? 0x1000 : 0;
                    const long main = a - down, other = main + 0x10000;
                    const long load = aux(p.rule, false) ? other : main;
                    const long store = aux(p.rule, true) ? other : main;
                    char what[80];
                    std::snprintf(what, sizeof what, "$%04X switches %02x from %02x bank %d", a, bits,
                                  bits ^ (1 << flip), bank);
                    m.ram[main] = 0x5A;
                    m.ram[other] = 0xA5;
                    ASSERT_EQ(read_byte(a), m.ram[load]) << what;
                    write_byte(a, 0x3C);
                    ASSERT_EQ(m.ram[store], 0x3C) << what;
                    ASSERT_EQ(m.ram[store == main ? other : main], store == main ? 0xA5 : 0x5A) << what;
                }
            }
}

TEST(IieBanking, Store80HasNoEffectOutsideIieMode)
{
    memory_test_machine(Config::IIPLUS);
    write_byte(0xC001, 0); // ignored here
    EXPECT_EQ(machine.sw.store80, 0);
    machine.sw.store80 = 1;
    touch(0xC055);
    memory_remap();
    write_byte(0x0400, 0xE1);
    EXPECT_EQ(machine.mem.ram[0x0400], 0xE1);
}

TEST(IieBanking, The64KFoldsEveryAuxiliaryChoiceOntoMain)
{
    memory_test_machine(Config::IIE_64K);
    MemoryMap& m = machine.mem;
    const uint8_t aux = m.ram[0x12000];
    write_byte(0xC005, 0);
    write_byte(0xC009, 0);
    write_byte(0xC003, 0);
    write_byte(0x2000, 0x66);
    write_byte(0x0010, 0x67);
    EXPECT_EQ(m.ram[0x2000], 0x66);
    EXPECT_EQ(m.ram[0x0010], 0x67);
    EXPECT_EQ(m.ram[0x12000], aux);
    EXPECT_EQ(read_byte(0x2000), 0x66);
    EXPECT_EQ(read_byte(0xC014), 0x8D);
    EXPECT_EQ(read_byte(0xC013), 0x8D);
    EXPECT_EQ(read_byte(0xC016), 0x8D);
}

// ---- Slot and internal ROM space ---------------------------------------------

// The //e's own 80-column firmware answers at $C300 while SLOTC3ROM is off,
// as its reset code leaves it; $C00B hands the page to slot 3, which is
// empty. The 64K machine shows no firmware there.
TEST(SlotRom, C300IsTheInternalFirmwareWhileSlotc3romIsOff)
{
    memory_test_machine(Config::IIE_128K);
    const MemoryMap& m = machine.mem;
    EXPECT_EQ(read_byte(0xC300), m.rom_iie[0x200]);
    EXPECT_EQ(read_byte(0xC3FF), m.rom_iie[0x2FF]);
    write_byte(0xC00B, 0);
    EXPECT_EQ(read_byte(0xC017), 0x8D);
    EXPECT_EQ(read_byte(0xC300), 0xFF);
    write_byte(0xC007, 0); // internal ROM over the whole range wins
    EXPECT_EQ(read_byte(0xC300), m.rom_iie[0x200]);
    write_byte(0xC006, 0);
    write_byte(0xC00A, 0);
    EXPECT_EQ(read_byte(0xC017), 0x0D);
    EXPECT_EQ(read_byte(0xC3FF), m.rom_iie[0x2FF]);

    memory_test_machine(Config::IIE_64K);
    EXPECT_EQ(read_byte(0xC300), 0xFF);
    write_byte(0xC00B, 0);
    EXPECT_EQ(read_byte(0xC300), 0xFF);
    write_byte(0xC007, 0);
    EXPECT_EQ(read_byte(0xC300), m.rom_iie[0x200]);

    memory_test_machine(Config::IIPLUS);
    EXPECT_EQ(read_byte(0xC300), 0xFF);
    write_byte(0xC00B, 0);
    EXPECT_EQ(read_byte(0xC300), 0xFF);
}

// $C800-$CFFF holds the rest of the 80-column firmware while the INTC8ROM
// latch is set: an access (load or store) to $C3xx with SLOTC3ROM off sets
// it, one to $CFFF clears it. Otherwise it is the slots' expansion space,
// empty here.
TEST(SlotRom, C800IsTheInternalRomWhileTheLatchIsSet)
{
    memory_test_machine(Config::IIE_128K);
    const MemoryMap& m = machine.mem;
    auto internal = [&] {
        const bool first = read_byte(0xC800) == m.rom_iie[0x700];
        const bool last = read_byte(0xCFFE) == m.rom_iie[0xEFE];
        EXPECT_EQ(first, last);
        if (!first) {
            EXPECT_EQ(read_byte(0xC800), 0xFF);
            EXPECT_EQ(read_byte(0xCC00), 0xFF);
        }
        return first;
    };
    EXPECT_FALSE(internal());
    touch(0xC3A0);
    EXPECT_TRUE(internal());
    touch(0xCFFF);
    EXPECT_FALSE(internal());
    write_byte(0xC3A0, 0);
    EXPECT_TRUE(internal());
    touch(0xC3A0); // nothing to set twice
    write_byte(0xCFFF, 0);
    EXPECT_FALSE(internal());
    touch(0xCFFE);
    touch(0xC800);

    // The slot's own $C3xx does not set it; a change of SLOTC3ROM does not
    // clear it.
    write_byte(0xC00B, 0);
    touch(0xC300);
    EXPECT_FALSE(internal());
    write_byte(0xC00A, 0);
    touch(0xC300);
    write_byte(0xC00B, 0);
    EXPECT_TRUE(internal());
    EXPECT_EQ(read_byte(0xC300), 0xFF);

    // INTCXROM shows the ROM whatever the latch says; $CFFF clears the
    // latch under it too.
    write_byte(0xC007, 0);
    touch(0xCFFF);
    EXPECT_TRUE(internal());
    write_byte(0xC006, 0);
    EXPECT_FALSE(internal());
    write_byte(0xC007, 0);
    write_byte(0xC00A, 0);
    touch(0xC300);
    write_byte(0xC006, 0);
    EXPECT_TRUE(internal());

    for (Config c : {Config::IIE_64K, Config::IIPLUS}) {
        memory_test_machine(c);
        touch(0xC300);
        write_byte(0xC3A0, 0);
        EXPECT_EQ(read_byte(0xC800), 0xFF) << int(c);
        EXPECT_EQ(machine.sw.intc8rom, 0) << int(c);
    }
}

TEST(SlotRom, EmptySlotsSlot5AndExpansionSpaceInEachMode)
{
    for (Config c : {Config::IIPLUS, Config::IIE_128K}) {
        memory_test_machine(c);
        for (uint16_t a : {0xC100, 0xC2FF, 0xC400, 0xC7FF}) EXPECT_EQ(read_byte(a), 0xFF) << std::hex << a;
        EXPECT_EQ(read_byte(0xC500), 0xA0);
        EXPECT_EQ(read_byte(0xC5FF), 0xA0 ^ 0xFF);
        EXPECT_EQ(read_byte(0xC800), 0xFF);
        EXPECT_EQ(read_byte(0xCFFF), 0xFF);
    }
    memory_test_machine(Config::IIE_128K);
    write_byte(0xC007, 0);
    for (uint16_t a : {0xC100, 0xC400, 0xC500, 0xC600, 0xC7FF, 0xC800, 0xCFFF})
        EXPECT_EQ(read_byte(a), machine.mem.rom_iie[a - 0xC100]) << std::hex << a;
    write_byte(0xC006, 0);
    EXPECT_EQ(read_byte(0xC500), 0xA0);
}

TEST(SlotRom, C600AnswersOnlyWhileADiskIsMounted)
{
    memory_test_machine(Config::IIPLUS);
    EXPECT_EQ(read_byte(0xC600), 0xFF);
    EXPECT_EQ(read_byte(0xC0EC), 0xFF);

    int fd = ::open("/dev/null", O_RDWR);
    ASSERT_GE(fd, 0);
    machine.disk.drive[1].fd = fd;
    const bool mounted = disk_any_mounted();
    if (mounted) {
        EXPECT_EQ(read_byte(0xC600), 0x50);
    }
    machine.disk.drive[1].fd = -1;
    ::close(fd);
    EXPECT_EQ(read_byte(0xC600), 0xFF); // no remap call needed either way
    if (!mounted) GTEST_SKIP() << "the disk controller here cannot report a mounted drive";
}

// ---- The decode cache against the rules ----------------------------------------

namespace {

struct Expect {
    int value;     // load result, -1 for the I/O page
    long index;    // RAM index of a store, -1 when dropped
};

// The rules written out plainly, without the cache.
Expect model(uint16_t a)
{
    const SoftSwitches& sw = machine.sw;
    const FrontendState& fe = machine.fe;
    const MemoryMap& m = machine.mem;
    auto half = [&](bool store) -> long {
        bool aux;
        if (a <= 0x01FF) aux = sw.altzp;
        else if (a <= 0xBFFF) {
            const bool text = a >= 0x400 && a <= 0x7FF, hires = a >= 0x2000 && a <= 0x3FFF;
            if (fe.iie_active && sw.store80 && (text || (hires && sw.hires))) aux = sw.page2;
            else aux = store ? sw.ramwrt : sw.ramrd;
        } else aux = fe.iie_active ? sw.altzp != 0 : true;
        return (aux && !fe.iie_64k) ? 0x10000 : 0;
    };
    Expect e{};
    if (a <= 0xBFFF) {
        e.value = m.ram[half(false) + a];
        e.index = half(true) + a;
    } else if (a <= 0xC0FF) {
        e = {-1, -1};
    } else if (a <= 0xCFFF) {
        e.index = -1;
        const int page = a >> 8;
        if (fe.iie_active && sw.intcxrom) e.value = m.rom_iie[a - 0xC100];
        else if (page == 0xC3) e.value = (fe.iie_active && !sw.slotc3rom && !fe.iie_64k) ? m.rom_iie[a - 0xC100] : 0xFF;
        else if (page == 0xC5) e.value = m.rom_slot5[a - 0xC500];
        else if (page >= 0xC8) e.value = (fe.iie_active && sw.intc8rom) ? m.rom_iie[a - 0xC100] : 0xFF;
        else e.value = 0xFF; // slot 6 without a disk, empty slots
    } else {
        const long down = a <= 0xDFFF ? 0x1000 : 0;
        if (m.lc_read == 0) e.value = fe.iie_active ? m.rom_iie[a - 0xC100] : m.rom_main[a - 0xD000];
        else e.value = m.ram[half(false) + a - (m.lc_read == 2 ? down : 0)];
        e.index = m.lc_write == 0 ? -1 : half(true) + a - (m.lc_write == 2 ? down : 0);
    }
    return e;
}

void check_every_address(const char* what)
{
    MemoryMap& m = machine.mem;
    for (uint32_t a = 0; a <= 0xFFFF; ++a) {
        if ((a >> 8) == 0xC0) continue;
        const Expect e = model(static_cast<uint16_t>(a));
        ASSERT_EQ(read_byte(static_cast<uint16_t>(a)), e.value) << what << " load $" << std::hex << a;
        if ((a & 0xFF) != ((a >> 8) * 37 & 0xFF)) continue; // one store per page
        // Every RAM byte the store could land in, and the ROM bytes.
        const long candidates[4] = {long(a), long(a) + 0x10000, long(a) - 0x1000, long(a) + 0xF000};
        uint8_t before[4];
        for (int i = 0; i < 4; ++i)
            before[i] = (candidates[i] >= 0 && a >= 0xD000) || i < 2 ? m.ram[candidates[i]] : 0;
        const uint8_t rom_before = a >= 0xD000 ? m.rom_main[a - 0xD000] : 0;
        const uint8_t value = static_cast<uint8_t>(e.index >= 0 ? m.ram[e.index] ^ 0xA5 : 0x5A);
        write_byte(static_cast<uint16_t>(a), value);
        for (int i = 0; i < 4; ++i) {
            if (!(i < 2 || a >= 0xD000)) continue;
            const uint8_t want = candidates[i] == e.index ? value : before[i];
            ASSERT_EQ(m.ram[candidates[i]], want) << what << " store $" << std::hex << a << " index $" << candidates[i];
            m.ram[candidates[i]] = before[i];
        }
        if (a >= 0xD000) {
            ASSERT_EQ(m.rom_main[a - 0xD000], rom_before);
        }
    }
}

// Switch sets reachable by stores, applied on top of the previous set so that
// the partial rebuilds are exercised too.
void apply_switches(int bits)
{
    write_byte(bits & 1 ? 0xC009 : 0xC008, 0);
    write_byte(bits & 2 ? 0xC003 : 0xC002, 0);
    write_byte(bits & 4 ? 0xC005 : 0xC004, 0);
    write_byte(bits & 8 ? 0xC001 : 0xC000, 0);
    touch(bits & 16 ? 0xC055 : 0xC054);
    write_byte(bits & 32 ? 0xC007 : 0xC006, 0);
    write_byte(bits & 64 ? 0xC00B : 0xC00A, 0);
    touch(bits & 128 ? 0xC057 : 0xC056);
}

// Language-card states reachable by switch accesses.
void apply_card(int k)
{
    static const uint16_t sequences[7] = {0xC080, 0xC081, 0xC082, 0xC083, 0xC088, 0xC089, 0xC08B};
    touch(sequences[k % 7]);
    touch(sequences[k % 7]);
}

} // namespace

TEST(DecodeCache, EveryAddressMatchesTheRulesInEveryConfiguration)
{
    for (Config c : {Config::IIPLUS, Config::IIPLUS_STALE_64K, Config::IIE_64K, Config::IIE_128K}) {
        memory_test_machine(c);
        for (int n = 0; n < 256; ++n) {
            const int bits = n ^ (n >> 1); // one switch at a time
            apply_switches(bits);
            apply_card(bits);
            char what[64];
            std::snprintf(what, sizeof what, "config %d switches %02x lc %d/%d", int(c), bits,
                          machine.mem.lc_read, machine.mem.lc_write);
            check_every_address(what);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(DecodeCache, LanguageCardStatesSetDirectlyTakeEffectAfterRemap)
{
    memory_test_machine(Config::IIE_128K);
    for (int r = 0; r < 3; ++r)
        for (int w = 0; w < 3; ++w) {
            machine.mem.lc_read = r;
            machine.mem.lc_write = w;
            memory_remap();
            check_every_address("direct language card");
            if (HasFatalFailure()) return;
        }
}

TEST(DecodeCache, RebuiltAfterTheMachineIsReset)
{
    memory_test_machine(Config::IIE_128K);
    write_byte(0xC005, 0);
    write_byte(0xC003, 0);
    write_byte(0x0300, 0x12);
    EXPECT_EQ(machine.mem.ram[0x10300], 0x12);

    test_reset_machine();
    machine.mem.ram[0x0300] = 0x34;
    EXPECT_EQ(read_byte(0x0300), 0x34);
    write_byte(0x0301, 0x56);
    EXPECT_EQ(machine.mem.ram[0x0301], 0x56);
    EXPECT_EQ(machine.mem.ram[0x10301], 0);
}

TEST(DecodeCache, ResetKeySequenceLeavesTheCardOnRom)
{
    memory_test_machine(Config::IIPLUS);
    touch(0xC08B);
    touch(0xC08B);
    write_byte(0xF000, 0x42);
    ASSERT_EQ(read_byte(0xF000), 0x42);
    // The reset key clears the card state directly, then sets text defaults.
    machine.mem.lc_read = 0;
    machine.mem.lc_write = 0;
    text_defaults();
    EXPECT_EQ(read_byte(0xF000), machine.mem.rom_main[0x2000]);
    write_byte(0xF000, 0x43);
    EXPECT_EQ(machine.mem.ram[0x1F000], 0x42);
}

TEST(DecodeCache, ConfigurationSetDirectlyTakesEffectAfterRemap)
{
    // The ROM loader sets the machine type; the reset key clears the //e
    // switches without going through the I/O page.
    memory_test_machine(Config::IIPLUS);
    EXPECT_EQ(read_byte(0xD000), machine.mem.rom_main[0]);
    machine.fe.machine_mode = MODE_IIE;
    machine.fe.iie_active = 1;
    memory_remap();
    EXPECT_EQ(read_byte(0xD000), machine.mem.rom_iie[0xF00]);
    EXPECT_EQ(read_byte(0xC300), machine.mem.rom_iie[0x200]);
    EXPECT_EQ(read_byte(0xC800), machine.mem.rom_iie[0x700]);

    write_byte(0xC005, 0);
    write_byte(0xC009, 0);
    write_byte(0x0300, 0x21);
    write_byte(0x0030, 0x22);
    EXPECT_EQ(machine.mem.ram[0x10300], 0x21);
    EXPECT_EQ(machine.mem.ram[0x10030], 0x22);
    machine.sw.ramwrt = 0;
    machine.sw.altzp = 0;
    memory_remap();
    write_byte(0x0300, 0x31);
    write_byte(0x0030, 0x32);
    EXPECT_EQ(machine.mem.ram[0x0300], 0x31);
    EXPECT_EQ(machine.mem.ram[0x0030], 0x32);
    EXPECT_EQ(machine.mem.ram[0x10300], 0x21);
}

TEST(DecodeCache, DisplayMemoryStoresAlwaysTakeTheHookPath)
{
    // The display layers see a store only through the full decode, so the
    // cache must never hand out pages they draw from.
    auto cached = [](int page) { return machine.mem.write_page[page] != nullptr; };
    memory_test_machine(Config::IIPLUS);
    write_byte(0x0300, 0);
    for (int p = 0x04; p <= 0x0B; ++p) EXPECT_FALSE(cached(p)) << p;
    for (int p = 0x20; p <= 0x5F; ++p) EXPECT_FALSE(cached(p)) << p;
    EXPECT_TRUE(cached(0x03));
    EXPECT_TRUE(cached(0x0C));
    EXPECT_TRUE(cached(0x60));

    memory_test_machine(Config::IIE_128K);
    write_byte(0xC005, 0); // every store to the auxiliary half
    for (int p = 0x04; p <= 0x07; ++p) EXPECT_FALSE(cached(p)) << p;
    EXPECT_TRUE(cached(0x08)); // auxiliary text page 2 is not drawn
    EXPECT_TRUE(cached(0x20));
}

// ---- Quit request ----------------------------------------------------------------

namespace {
void report_memory_at_exit()
{
    std::printf("ram0300=%02x strobe=%u\n", machine.mem.ram[0x0300], unsigned(machine.fe.key_strobe));
}
} // namespace

TEST(QuitRequest, NextLoadOrStoreEndsNormallyWithoutTouchingMemory)
{
    TempWorkDir dir; // the exit path may write its settings file
    ChildResult store = run_in_child([] {
        memory_test_machine(Config::IIPLUS);
        machine.mem.ram[0x0300] = 0x11;
        write_byte(0x0300, 0x22); // builds the cache: the fast path is live
        machine.mem.ram[0x0300] = 0x11;
        std::atexit(report_memory_at_exit);
        machine.fe.quit_requested = 1;
        write_byte(0x0300, 0x99);
        std::_Exit(7);
    });
    EXPECT_EQ(store.status, 0);
    EXPECT_NE(store.out.find("ram0300=11"), std::string::npos) << store.out;

    ChildResult load = run_in_child([] {
        memory_test_machine(Config::IIPLUS);
        machine.fe.key_strobe = 1;
        touch(0x0300);
        std::atexit(report_memory_at_exit);
        machine.fe.quit_requested = 1;
        touch(0xC010);
        std::_Exit(7);
    });
    EXPECT_EQ(load.status, 0);
    EXPECT_NE(load.out.find("strobe=1"), std::string::npos) << load.out;

    ChildResult fast_load = run_in_child([] {
        memory_test_machine(Config::IIPLUS);
        touch(0x0300);
        machine.fe.quit_requested = 1;
        touch(0x0300);
        std::_Exit(7);
    });
    EXPECT_EQ(fast_load.status, 0);
}
