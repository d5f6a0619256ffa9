// The I/O page $C000-$C0FF: keyboard, //e memory and display switches,
// speaker, push buttons, annunciators and the slot 5 and 6 register windows.
// Paddles and the paddle trigger are not emulated and read as floating ($60).
#include <SDL.h>
#include "memory/memory.h"
#include "sound/sound.h"
#include "storage/disk.h"
#include "storage/massstor.h"

//   $C000-$C00F  load: keyboard latch      store (//e): memory switches
//   $C010        load/store: clear strobe
//   $C011-$C01F  load (//e): status        otherwise as $C010
//   $C030-$C03F  speaker
//   $C050-$C057  display switches          $C058-$C05F annunciators
//   $C060        $00; $C061/$C062 buttons (//e)
//   $C07E/$C07F  annunciator enable (//e), $C07F reads AN3
//   $C080-$C08F  language card
//   $C0D0-$C0DF  slot 5 block device       $C0E0-$C0EF slot 6 Disk II

namespace {

constexpr uint8_t FLOATING = 0x60;

uint8_t status(int flag) { return flag ? 0x8D : 0x0D; }

bool iie() { return machine.fe.iie_active != 0; }

// Sets a //e switch; pages first-last of the map depend on it.
void set_switch(int& flag, int value, int first, int last)
{
    if (flag == value) return;
    flag = value;
    memory_remap_pages(first, last);
}

// Text page 1, and hi-res page 1 with HIRES, follow PAGE2 while 80STORE is
// on.
void remap_80store_pages()
{
    memory_remap_pages(0x04, 0x07);
    memory_remap_pages(0x20, 0x3F);
}

void set_store80(int value)
{
    if (machine.sw.store80 == value) return;
    machine.sw.store80 = value;
    remap_80store_pages();
}

// Page flipping on the ][+ or without 80STORE moves no memory.
void set_page2(int value)
{
    if (machine.sw.page2 == value) return;
    machine.sw.page2 = value;
    if (iie() && machine.sw.store80) remap_80store_pages();
}

void set_hires(int value)
{
    if (machine.sw.hires == value) return;
    machine.sw.hires = value;
    if (iie() && machine.sw.store80) memory_remap_pages(0x20, 0x3F);
}

void display_switch(uint16_t address)
{
    SoftSwitches& sw = machine.sw;
    const int on = address & 1;
    switch (address & 0x6) {
    case 0x0: sw.graphics = !on; break; // $C050 graphics, $C051 text
    case 0x2: sw.mixed = on; break;
    case 0x4: set_page2(on); break;
    default: set_hires(on); break;
    }
}

void annunciator_switch(uint16_t address)
{
    if (machine.sw.annunciator_enable) machine.sw.annunciator[(address - 0xC058) >> 1] = address & 1;
}

void memory_switch(uint16_t address)
{
    SoftSwitches& sw = machine.sw;
    const int on = address & 1;
    switch ((address & 0xF) >> 1) {
    case 0: set_store80(on); break;
    case 1: set_switch(sw.ramrd, on, 0x02, 0xBF); break;
    case 2: set_switch(sw.ramwrt, on, 0x02, 0xBF); break;
    case 3: set_switch(sw.intcxrom, on, 0xC1, 0xCF); break;
    case 4:
        // Zero page, stack and the language-card RAM move together.
        if (sw.altzp == on) break;
        sw.altzp = on;
        memory_remap_pages(0x00, 0x01);
        memory_remap_pages(0xD0, 0xFF);
        break;
    case 5: set_switch(sw.slotc3rom, on, 0xC3, 0xC3); break;
    case 6:
        if (!machine.fe.iie_64k) sw.col80 = on;
        break;
    default: sw.altcharset = on; break;
    }
}

// $C011-$C01F on the //e.
uint8_t iie_status(uint16_t address)
{
    const SoftSwitches& sw = machine.sw;
    const MemoryMap& m = machine.mem;
    switch (address & 0xF) {
    case 0x1: return status(m.lc_read == 2);
    case 0x2: return status(m.lc_read != 0);
    case 0x3: return status(sw.ramrd);
    case 0x4: return status(sw.ramwrt);
    case 0x5: return status(sw.intcxrom);
    case 0x6: return status(sw.altzp);
    case 0x7: return status(sw.slotc3rom);
    case 0x8: return status(sw.store80);
    case 0x9: return status(machine.fe.scan_line <= 191); // vertical blank
    case 0xA: return status(!sw.graphics);
    case 0xB: return status(sw.mixed);
    case 0xC: return status(sw.page2);
    case 0xD: return status(sw.hires);
    case 0xE: return status(sw.altcharset);
    default: return status(sw.col80);
    }
}

} // namespace

uint8_t io_read(uint16_t address)
{
    FrontendState& fe = machine.fe;
    address = 0xC000 | (address & 0xFF);

    if (iie()) {
        if (address >= 0xC011 && address <= 0xC01F) return iie_status(address);
        if (address == 0xC061) return (SDL_GetModState() & KMOD_LALT) ? 0x80 : 0x00;
        if (address == 0xC062) return (SDL_GetModState() & KMOD_RALT) ? 0x80 : 0x00;
    } else if (address == 0xC061 || address == 0xC062) {
        return 0xFF;
    }
    if (address >= 0xC030 && address <= 0xC03F) speaker_click();
    if (address >= 0xC058 && address <= 0xC05F) annunciator_switch(address);
    if (iie() && address == 0xC07E) machine.sw.annunciator_enable = 0;
    if (iie() && address == 0xC07F) {
        machine.sw.annunciator_enable = 1;
        return status(machine.sw.annunciator[3]);
    }
    if (address == 0xC060) return 0x00;
    if (address >= 0xC080 && address <= 0xC08F) {
        lc_switch(address);
        return 0xFF;
    }
    if (address >= 0xC0E0 && address <= 0xC0EF) return disk_any_mounted() ? disk_io_read(address) : 0xFF;
    if (address >= 0xC0D0 && address <= 0xC0DF) return ms_io_read(address);

    switch (address & 0xFFF0) {
    case 0xC000:
        return static_cast<uint8_t>(fe.key_latch + 128 * fe.key_strobe);
    case 0xC010:
        fe.key_strobe = 0;
        return static_cast<uint8_t>(fe.key_latch);
    case 0xC050:
        if (address <= 0xC057) display_switch(address);
        return 0x00;
    default:
        return FLOATING;
    }
}

void io_write(uint16_t address, uint8_t value)
{
    address = 0xC000 | (address & 0xFF);

    if (iie() && address <= 0xC00F) memory_switch(address);
    if (address >= 0xC030 && address <= 0xC03F) speaker_click();
    if (address >= 0xC058 && address <= 0xC05F) annunciator_switch(address);
    if (iie() && (address == 0xC07E || address == 0xC07F)) machine.sw.annunciator_enable = address & 1;
    if (address >= 0xC080 && address <= 0xC08F) lc_switch(address);
    if (address >= 0xC0E0 && address <= 0xC0EF) {
        if (!disk_any_mounted()) return;
        disk_io_write(address, value);
    }
    if (address >= 0xC0D0 && address <= 0xC0DF) ms_io_write(address, value);
    if (address >= 0xC010 && address <= 0xC01F) machine.fe.key_strobe = 0;
    if (address >= 0xC050 && address <= 0xC057) display_switch(address);
}

void text_defaults()
{
    // The reset key sets the language card to ROM just before this.
    memory_remap();
    // Any value does; the switches act on the access.
    write_byte(0xC051, 0x17);
    write_byte(0xC054, 0x17);
    // Text window: left edge, width, top, bottom; then cursor column, row.
    write_byte(0x20, 0x00);
    write_byte(0x21, 0x28);
    write_byte(0x22, 0x00);
    write_byte(0x23, 0x18);
    write_byte(0x24, 0x01);
    write_byte(0x25, 0x17);
}
