// ROM and font images: loads the machine's ROMs from the working directory,
// names the BASIC found, and lays the ZELM traps over the monitor area in Full
// and Hybrid modes. Images are looked for in the working directory first,
// then in the data folder installed beside the program (our own firmware).
#include <unistd.h>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "frontend/frontend.h"
#include "host_file.h"
#include "memory/memory.h"

// Row 0 carries the BASIC version in characters 32-34; load_roms rewrites it.
char boot_banner[3][41] = {
    "     ZELM SYSTEM ROM 1.0  BASIC 2.3     ",
    "  RESIDENT MONITOR WITH REE EXTENSIONS  ",
    "   TYPE CALL -151 FOR THE ZELM MONITOR  ",
};
static constexpr int BANNER_VERSION_COLUMN = 32;

static constexpr uint16_t ROM_MAIN_BASE = 0xD000;
static constexpr long BASIC_SIZE = 10240;
static constexpr long MONITOR_SIZE = 2048;
static constexpr long APPLE2_SIZE = 12288;
static constexpr long APPLE2E_SIZE = 16128;
static constexpr long FONT_SIZE = 2048;
static constexpr uint16_t IIE_ROM_SUM = 0x8A26;

static_assert(BASIC_SIZE + MONITOR_SIZE == APPLE2_SIZE);

struct BasicVersion {
    uint16_t sum;
    char field[4];
};

// Applesoft releases told apart by the 16-bit sum of $D000-$F7FF.
static constexpr std::array<BasicVersion, 6> basic_versions{{
    {0x0748, "2.0"},
    {0x06E9, "2.1"},
    {0xF614, "2.2"},
    {0xB12C, "2.3"},
    {0xD56C, "2.4"},
    {0xFFFA, "IIE"},
}};

// COP then RTS: the service is chosen by the trap's address, and the RTS
// returns to whoever called the monitor routine.
static constexpr std::array<uint16_t, 22> traps_full_and_hybrid{
    0xF800, 0xF819, 0xF828, 0xF864, 0xF871, 0xF948, 0xF94A,
    0xFB39, 0xFB40, 0xFB5B, 0xFB60, 0xFC24, 0xFC58, 0xFC9C, 0xFCA8,
    0xFDF0, 0xFE2C, 0xFE61, 0xFE80, 0xFE84, 0xFEBF, 0xFF3A,
};
static constexpr std::array<uint16_t, 17> traps_full_only{
    0xF80E, 0xF847, 0xFAA9, 0xFB1E, 0xFB2E, 0xFB4B, 0xFC22, 0xFD0C, 0xFD1A, 0xFDED,
    0xFE88, 0xFE8B, 0xFE92, 0xFE95, 0xFEFE, 0xFFF0, 0xFFF2,
};

// Line input at $FD6A for Full mode: prompt from $33, keys via $FD0C, echo
// via $FDED, backspace $88, Return $8D ends (X = length), bell at 125.
static constexpr std::array<uint8_t, 49> zelm_getln_code{
    0xA5, 0x33, 0x20, 0xED, 0xFD, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xA2,
    0x00, 0x20, 0x0C, 0xFD, 0x20, 0xED, 0xFD, 0xC9, 0x88, 0xD0, 0x04, 0xCA,
    0x4C, 0x77, 0xFD, 0xC9, 0x8D, 0xF0, 0x11, 0xE0, 0x7D, 0xF0, 0x07, 0x9D,
    0x00, 0x02, 0xE8, 0x4C, 0x77, 0xFD, 0x20, 0x3A, 0xFF, 0x4C, 0x77, 0xFD,
    0x60,
};

static constexpr std::array<uint8_t, 3> patch_faa6{0x02, 0xEA, 0xEA}; // COP, NOP, NOP
// "APPLE ][" with the high bit set, shown by the monitor's banner routine.
static constexpr std::array<uint8_t, 8> patch_fb0b{0xC1, 0xD0, 0xD0, 0xCC, 0xC5, 0xA0, 0xDD, 0xDB};
// Monitor entry in Full mode: prompt "-" into $33, read a line, then trap.
static constexpr std::array<uint8_t, 9> patch_ff69{0xA9, 0xAD, 0x85, 0x33, 0x20, 0x6A, 0xFD, 0x02, 0x60};

static uint8_t& rom_byte(uint16_t address) { return machine.mem.rom_main[address - ROM_MAIN_BASE]; }

template <size_t N>
static void rom_put(uint16_t address, const std::array<uint8_t, N>& bytes)
{
    for (size_t i = 0; i < N; ++i) rom_byte(static_cast<uint16_t>(address + i)) = bytes[i];
}

static void write_trap_layout(int mode)
{
    for (uint16_t a : traps_full_and_hybrid) rom_put(a, std::array<uint8_t, 2>{0x02, 0x60});
    rom_put(0xFAA6, patch_faa6);
    rom_put(0xFB0B, patch_fb0b);
    rom_byte(0xFF58) = 0x60; // RTS
    if (mode != MODE_FULL) return;
    for (uint16_t a : traps_full_only) rom_put(a, std::array<uint8_t, 2>{0x02, 0x60});
    rom_put(0xFD6A, zelm_getln_code);
    rom_put(0xFF69, patch_ff69);
    // $FFFC-$FFFF keep the vectors set with the BASIC image.
}

// Whole length by seeking to the end; -1 when the stream cannot seek.
static long file_size(FILE* f)
{
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

// Reads exactly size bytes and closes f. A short read of a file whose length
// was right counts as a wrong image too.
static bool read_whole(FILE* f, uint8_t* dest, long size)
{
    const bool ok = file_size(f) == size &&
                    std::fread(dest, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    std::fclose(f);
    return ok;
}

static uint16_t byte_sum(const uint8_t* bytes, size_t n)
{
    uint16_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = static_cast<uint16_t>(sum + bytes[i]);
    return sum;
}

static void name_basic(uint16_t sum)
{
    const char* field = "?.?";
    for (const BasicVersion& v : basic_versions)
        if (v.sum == sum) field = v.field;
    for (int i = 0; i < 3; ++i) boot_banner[0][BANNER_VERSION_COLUMN + i] = field[i];
}

std::string rom_data_dir()
{
    // KALVORAN_DATADIR overrides the folder; set but empty, it turns it off.
    if (const char* env = std::getenv("KALVORAN_DATADIR")) return env;
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return {};
    exe[n] = 0;
    std::string dir(exe);
    dir.erase(dir.rfind('/') + 1);
    return dir + "../share/kalvoran";
}

FILE* rom_open(const char* name, bool* not_regular)
{
    bool refused = false;
    FILE* f = host_fopen_regular(name, &refused);
    // A FIFO or device under the name is the user's file gone wrong, not a
    // missing one: the data folder does not stand in for it.
    const std::string dir = rom_data_dir();
    if (!f && !refused && !dir.empty() && !std::strchr(name, '/'))
        f = host_fopen_regular((dir + "/" + name).c_str(), &refused);
    if (not_regular) *not_regular = refused;
    return f;
}

// Slot firmware is optional: what the file holds of the first 256 bytes is
// taken, the rest reads $FF as an empty socket does. Anything but a regular
// file is ignored.
static void load_slot_rom(const char* name, std::array<uint8_t, 256>& rom)
{
    rom.fill(0xFF);
    FILE* f = rom_open(name);
    if (!f) return;
    const size_t got = std::fread(rom.data(), 1, rom.size(), f);
    (void)got; // a short file is allowed
    std::fclose(f);
}

// The font is taken only when all 2048 bytes arrive, so a failed read never
// leaves half a font; anything but a regular file is ignored.
static void load_font()
{
    FILE* f = rom_open("kalvoran.fnt");
    if (!f) return;
    std::array<uint8_t, FONT_SIZE> font;
    if (file_size(f) == FONT_SIZE && std::fread(font.data(), 1, font.size(), f) == font.size())
        machine.video.glyph_font = font;
    std::fclose(f);
}

int load_roms(int mode)
{
    FrontendState& fe = machine.fe;
    MemoryMap& mem = machine.mem;
    fe.machine_mode = mode;
    fe.iie_active = 0;
    fe.iie_rom_recognised = 0;

    bool separate_images = mode == MODE_FULL || mode == MODE_HYBRID;
    if (mode == MODE_IIPLUS) {
        // A wrong-sized apple2.rom is an error, not a reason to fall back.
        bool refused = false;
        FILE* f = rom_open("apple2.rom", &refused);
        if (refused) return -5;
        if (!f) separate_images = true;
        else if (!read_whole(f, mem.rom_main.data(), APPLE2_SIZE)) return -5;
    } else if (mode == MODE_IIE) {
        bool refused = false;
        FILE* f = rom_open("apple2e.rom", &refused);
        if (!f) return refused ? -7 : -6;
        if (!read_whole(f, mem.rom_iie.data(), APPLE2E_SIZE)) return -7;
        fe.iie_active = 1;
        fe.iie_rom_recognised = byte_sum(mem.rom_iie.data(), mem.rom_iie.size()) == IIE_ROM_SUM;
    }

    if (separate_images) {
        bool refused = false;
        FILE* f = rom_open("msbasic.rom", &refused);
        if (!f) return refused ? -2 : -1;
        if (file_size(f) != BASIC_SIZE) {
            std::fclose(f);
            return -2;
        }
        // COP everywhere no image covers, so a stray jump traps instead of
        // running garbage.
        mem.rom_main.fill(0x02);
        const size_t got = std::fread(mem.rom_main.data(), 1, BASIC_SIZE, f);
        std::fclose(f);
        if (got != BASIC_SIZE) return -2;
        name_basic(byte_sum(mem.rom_main.data(), BASIC_SIZE));

        rom_byte(0xFFFC) = 0x00; // reset: $E000, BASIC cold start
        rom_byte(0xFFFD) = 0xE0;
        rom_byte(0xFFFE) = 0xF2; // IRQ/BRK: $FFF2
        rom_byte(0xFFFF) = 0xFF;
        if (mode != MODE_FULL) {
            FILE* m = rom_open("monitor.rom", &refused);
            if (!m) return refused ? -4 : -3;
            if (!read_whole(m, &rom_byte(0xF800), MONITOR_SIZE)) return -4;
        }
    }

    load_slot_rom("disk.rom", mem.rom_slot6);
    load_slot_rom("massstor.rom", mem.rom_slot5);
    load_font();

    if (mode == MODE_FULL || mode == MODE_HYBRID) write_trap_layout(mode);
    memory_remap(); // the configuration and the ROMs behind the page tables changed
    return 0;
}
