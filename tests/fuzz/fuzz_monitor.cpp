// The ZELM monitor's command line and listing with arbitrary bytes in the
// input line and the zero page.
#include "fuzz_common.h"
#include "monitor/monitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_enter_tempdir();
    fuzz_fresh_machine();
    machine.fe.machine_mode = MODE_FULL;
    if (size < 8) return 0;
    // Window variables $20-$25 and the list address from the input.
    for (int i = 0; i < 6; ++i) machine.mem.ram[0x20 + i] = data[i];
    machine.mem.ram[0x32] = data[6];
    const uint8_t len = data[7];
    data += 8;
    size -= 8;
    for (size_t i = 0; i < 0x80 && i < size; ++i) machine.mem.ram[0x200 + i] = data[i];
    CopFrame f{};
    f.x = len;
    f.s = 0xF0;
    f.pc = 0xFF71;
    monitor_command(f);
    // Screen services that read the window variables.
    static const uint16_t traps[] = {0xFC58, 0xFC9C, 0xFD8E, 0xFDF0, 0xF800, 0xF819, 0xF828, 0xFB4B};
    for (uint16_t w : traps) {
        CopFrame g{};
        g.a = size ? data[0] : 0;
        g.x = len;
        g.y = data[0];
        g.pc = static_cast<uint16_t>(w + 1);
        cop_dispatch(g);
    }
    return 0;
}
