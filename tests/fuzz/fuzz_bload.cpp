// Arbitrary files loaded with BLOAD, in ][+ and //e configurations, with a
// hard-disk unit mounted: no load may change the unit file.
#include <vector>
#include "fuzz_common.h"
#include "frontend/frontend.h"
#include "storage/massstor.h"

static std::vector<uint8_t> fuzz_read(const char* name)
{
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(name, "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    if (size && (data[0] & 0x80)) {
        machine.fe.machine_mode = MODE_IIE;
        machine.fe.iie_active = 1;
    }
    static std::vector<uint8_t> unit;
    if (unit.empty())
        for (int i = 0; i < 4 * 512; ++i) unit.push_back(static_cast<uint8_t>(i * 7 + i / 512));
    fuzz_write("hdv1.hdv", unit.data(), unit.size());
    ms_mount_defaults();
    fuzz_write("load.bin", data, size);
    bload("load.bin");
    ms_close_all();
    if (fuzz_read("hdv1.hdv") != unit) std::abort();
    return 0;
}
