// Arbitrary files loaded with BLOAD, in ][+ and //e configurations.
#include "fuzz_common.h"
#include "frontend/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    if (size && (data[0] & 0x80)) {
        machine.fe.machine_mode = MODE_IIE;
        machine.fe.iie_active = 1;
    }
    fuzz_write("load.bin", data, size);
    bload("load.bin");
    return 0;
}
