// Arbitrary settings files.
#include "fuzz_common.h"
#include "frontend/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    fuzz_write("kalvoran.rc", data, size);
    settings_load();
    // Whatever the file said, the interval stays usable.
    if (machine.cpu.cpu_multiplier > 10000) std::abort();
    return 0;
}
