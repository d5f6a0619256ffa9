// The ZELM services with arbitrary monitor variables, input line and keys:
// a stream of trap calls, the monitor command line and the line input.
// Services that wait for a key get one at once (the strobe is set before
// each call) or take their keys from the input; none may block.
#include <array>
#include "fuzz_common.h"
#include "monitor/monitor.h"

namespace {

// Every trap that returns without waiting for more than one key.
constexpr std::array<uint16_t, 33> traps{
    0x0080, 0xF800, 0xF819, 0xF828, 0xF864, 0xF948, 0xF94A, 0xFAA6, 0xFAA9, 0xFB39, 0xFB40,
    0xFB4B, 0xFB5B, 0xFB60, 0xFC58, 0xFC9C, 0xFD0C, 0xFD0F, 0xFD1B, 0xFD8E, 0xFDED, 0xFDF0,
    0xFEFE, 0xFE2C, 0xFE61, 0xFE80, 0xFE84, 0xFE8B, 0xFE95, 0xFEBF, 0xFF70, 0xFFF2, 0xF80E,
};
// Two more choices: the line input fed from the input, and an address
// without a service (reported on the status line outside Full mode).
constexpr int OP_LINE = traps.size();
constexpr int OP_INVALID = traps.size() + 1;
constexpr int OP_COUNT = traps.size() + 2;

const uint8_t* key_data;
size_t key_left;

// Keys for the line input; Return once the input runs out, so it ends.
uint8_t fuzz_key()
{
    if (key_left == 0) return 0x8D;
    --key_left;
    return *key_data++;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    // The monitor variables $20-$5F, the mode, then the input line.
    constexpr size_t HEAD = 64 + 1 + 128;
    if (size < HEAD) return 0;
    for (int i = 0; i < 64; ++i) machine.mem.ram[0x20 + i] = data[i];
    const bool full = data[64] & 1;
    machine.fe.machine_mode = full ? MODE_FULL : MODE_HYBRID;
    machine.fe.monitor_cancel = (data[64] >> 1) & 1;
    for (int i = 0; i < 128; ++i) machine.mem.ram[0x200 + i] = data[65 + i];
    data += HEAD;
    size -= HEAD;

    // Each step: op, A, X, Y; the line input then eats keys up to a Return.
    while (size >= 4) {
        const int op = data[0] % OP_COUNT;
        CopFrame f{};
        f.a = data[1];
        f.x = data[2];
        f.y = data[3];
        f.s = static_cast<uint8_t>(data[1] ^ data[3]);
        f.p = 0x20;
        data += 4;
        size -= 4;
        machine.fe.key_latch = f.a & 0x7F;
        machine.fe.key_strobe = 1;
        if (op == OP_LINE) {
            key_data = data;
            key_left = size;
            cop_get_line(f, fuzz_key);
            size = key_left;
            data = key_data;
            continue;
        }
        // Full mode ends the process on an address without a service.
        if (op == OP_INVALID && full) continue;
        const uint16_t w = op == OP_INVALID ? static_cast<uint16_t>(0x1000 | f.a << 4 | f.x) : traps[op];
        f.pc = static_cast<uint16_t>(w + 1);
        cop_dispatch(f);
    }
    return 0;
}
