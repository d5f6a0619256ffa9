// Memory map: main and auxiliary RAM, the language card, the ROM images and
// the slot ROM space, plus the per-page decode cache that keeps RAM accesses
// cheap. Slot ROMs other than 5 and 6 are absent, and no card has an
// expansion ROM, so slot expansion space reads $FF.
#include <array>
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "storage/disk.h"
#include "video/video.h"

//   $0000-$01FF  zero page, stack     //e: aux with ALTZP
//   $0200-$BFFF  RAM                  //e: aux with RAMRD (loads) / RAMWRT
//                                     (stores); with 80STORE, $0400-$07FF
//                                     follows PAGE2 instead, and with HIRES
//                                     too, $2000-$3FFF as well
//   $C000-$C0FF  I/O page
//   $C100-$CFFF  slot and internal ROM, never RAM
//   $D000-$FFFF  ROM, or language-card RAM: //e, the half ALTZP chooses;
//                ][+, the aux half
// The 64K //e folds every auxiliary choice onto the main half.
//
// //e internal ROM in $C100-$CFFF:
//   INTCXROM on            internal over the whole range
//   $C300-$C3FF            internal while SLOTC3ROM is off (128K), else slot 3
//   $C800-$CFFF            internal while INTC8ROM is set, else the slots'
//                          expansion space
// INTC8ROM is set by an access to $C3xx with SLOTC3ROM off and cleared by an
// access to $CFFF: the 80-column firmware enters at $C3xx and goes on in
// $C800 space.

namespace {

constexpr uint32_t AUX = 0x10000;

// Empty slot space and the Disk II slot without a disk.
constexpr std::array<uint8_t, 256> floating_page = [] {
    std::array<uint8_t, 256> p{};
    for (auto& b : p) b = 0xFF;
    return p;
}();

bool in_text_page1(uint16_t a) { return a >= 0x0400 && a <= 0x07FF; }
bool in_hires_page1(uint16_t a) { return a >= 0x2000 && a <= 0x3FFF; }

// Half (0 or AUX) of a RAM access outside $C000-$CFFF; for $D000-$FFFF only
// asked while the language card has RAM selected for the access.
uint32_t ram_half(uint16_t a, bool store)
{
    const SoftSwitches& sw = machine.sw;
    const bool iie = machine.fe.iie_active != 0;
    bool aux;
    if (a < 0x0200) {
        aux = sw.altzp != 0;
    } else if (a < 0xC000) {
        // 80STORE takes the display pages away from RAMRD/RAMWRT.
        if (iie && sw.store80 && (in_text_page1(a) || (sw.hires && in_hires_page1(a))))
            aux = sw.page2 != 0;
        else
            aux = (store ? sw.ramwrt : sw.ramrd) != 0;
    } else {
        // The //e switches its card RAM together with zero page and stack;
        // the ][+ keeps its card in the aux half.
        aux = iie ? sw.altzp != 0 : true;
    }
    if (machine.fe.iie_64k) aux = false;
    return aux ? AUX : 0;
}

// Bank 2 of $D000-$DFFF is kept $1000 lower, where no RAM is visible.
uint32_t lc_index(uint16_t a, int bank, bool store)
{
    uint32_t index = ram_half(a, store) + a;
    return (bank == 2 && a < 0xE000) ? index - 0x1000 : index;
}

bool internal_c3_page()
{
    return machine.fe.iie_active && !machine.sw.slotc3rom && !machine.fe.iie_64k;
}

const uint8_t* slot_rom_byte(uint16_t a)
{
    const MemoryMap& m = machine.mem;
    const bool iie = machine.fe.iie_active != 0;
    const uint8_t* none = &floating_page[a & 0xFF];
    if (iie && machine.sw.intcxrom) return &m.rom_iie[a - 0xC100];
    switch (a >> 8) {
    case 0xC1: case 0xC2: case 0xC4: case 0xC7:
        return none;
    case 0xC3:
        // Slot 3 is empty. The 64K machine has no 80-column firmware to show.
        return internal_c3_page() ? &m.rom_iie[a - 0xC100] : none;
    case 0xC5:
        return &m.rom_slot5[a - 0xC500];
    case 0xC6:
        return disk_any_mounted() ? &m.rom_slot6[a - 0xC600] : none;
    default:
        return (iie && machine.sw.intc8rom) ? &m.rom_iie[a - 0xC100] : none;
    }
}

// Pages whose accesses move the INTC8ROM latch.
bool latch_page(int p)
{
    if (!machine.fe.iie_active) return false;
    if (p == 0xC3) return internal_c3_page() && !machine.sw.intc8rom;
    return p == 0xCF && machine.sw.intc8rom;
}

// Any access to $C100-$CFFF, load or store.
void slot_space_access(uint16_t a)
{
    SoftSwitches& sw = machine.sw;
    const int p = a >> 8;
    if (!latch_page(p)) return;
    if (p == 0xC3) sw.intc8rom = 1;
    else if (a == 0xCFFF) sw.intc8rom = 0;
    else return;
    memory_remap_pages(0xC3, 0xC3);
    memory_remap_pages(0xC8, 0xCF);
}

// The byte a load of a (outside the I/O page) returns.
const uint8_t* read_target(uint16_t a)
{
    MemoryMap& m = machine.mem;
    if (a < 0xC000) return &m.ram[ram_half(a, false) + a];
    if (a < 0xD000) return slot_rom_byte(a);
    if (m.lc_read == 0)
        return machine.fe.iie_active ? &m.rom_iie[a - 0xC100] : &m.rom_main[a - 0xD000];
    return &m.ram[lc_index(a, m.lc_read, false)];
}

// The RAM byte a store of a (outside the I/O page) lands in, or null when
// the store is dropped.
uint8_t* write_target(uint16_t a, uint32_t& index)
{
    MemoryMap& m = machine.mem;
    if (a < 0xC000) {
        index = ram_half(a, true) + a;
        return &m.ram[index];
    }
    if (a < 0xD000 || m.lc_write == 0) return nullptr;
    index = lc_index(a, m.lc_write, true);
    return &m.ram[index];
}

// RAM indices whose stores the display layers draw; video_store_hook ignores
// every other index, so stores there may skip the call.
bool video_watches(uint32_t index)
{
    const uint32_t page = (index & 0xFFFF) >> 8;
    if (index >= AUX) return page >= 0x04 && page <= 0x07;
    return (page >= 0x04 && page <= 0x0B) || (page >= 0x20 && page <= 0x5F);
}

void remap_page(int p)
{
    MemoryMap& m = machine.mem;
    const uint16_t a = static_cast<uint16_t>(p << 8);
    // Slot 6 follows the drives, which change without telling the map.
    const bool slot6_live = p == 0xC6 && !(machine.fe.iie_active && machine.sw.intcxrom);
    m.read_page[p] = (p == 0xC0 || slot6_live || latch_page(p)) ? nullptr : read_target(a);

    uint8_t* w = nullptr;
    if (p < 0xC0 || p >= 0xD0) {
        uint32_t index = 0;
        w = write_target(a, index);
        if (w && a < 0xC000 && video_watches(index)) w = nullptr;
    }
    m.write_page[p] = w;
}

} // namespace

void memory_remap()
{
    for (int p = 0; p < 256; ++p) remap_page(p);
    machine.mem.map_valid = 1;
}

void memory_remap_pages(int first, int last)
{
    if (!machine.mem.map_valid) {
        memory_remap();
        return;
    }
    for (int p = first; p <= last; ++p) remap_page(p);
}

uint8_t memory_read_slow(uint16_t address)
{
    if (machine.fe.quit_requested) emulator_exit();
    if (!machine.mem.map_valid) memory_remap();
    if ((address >> 8) == 0xC0) return io_read(address);
    // The byte comes from the ROM that answered the access itself.
    const uint8_t value = *read_target(address);
    if (address >= 0xC100 && address <= 0xCFFF) slot_space_access(address);
    return value;
}

void memory_write_slow(uint16_t address, uint8_t value)
{
    if (machine.fe.quit_requested) emulator_exit();
    if (!machine.mem.map_valid) memory_remap();
    if ((address >> 8) == 0xC0) {
        io_write(address, value);
        return;
    }
    if (address >= 0xC100 && address <= 0xCFFF) slot_space_access(address);
    uint32_t index = 0;
    uint8_t* target = write_target(address, index);
    if (!target) return; // ROM, slot space or write-protected language card
    if (address < 0xC000) video_store_hook(index, value);
    *target = value;
}

// Reading selects RAM for n = 0, 3, 4, 7 (bank 2) and 8, 11, 12, 15 (bank 1);
// writing needs two accesses in a row to $C081/$C083 (bank 2) or $C089/$C08B
// (bank 1). The mirrors $C085, $C087, $C08D, $C08F never enable it.
void lc_switch(uint16_t address)
{
    MemoryMap& m = machine.mem;
    const uint16_t n = address & 0xF;
    const int bank = (n & 8) ? 1 : 2;
    const int read = ((n & 3) == 0 || (n & 3) == 3) ? bank : 0;
    int write = 0;
    if (n == m.lc_last && (n == 1 || n == 3)) write = 2;
    if (n == m.lc_last && (n == 9 || n == 11)) write = 1;
    m.lc_last = n;
    if (read != m.lc_read || write != m.lc_write) {
        m.lc_read = read;
        m.lc_write = write;
        memory_remap_pages(0xD0, 0xFF);
    }
}
