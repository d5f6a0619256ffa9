// ROM and font files of arbitrary sizes and contents, in every mode.
#include "fuzz_common.h"
#include "frontend/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    static const char* const names[] = {"apple2.rom", "msbasic.rom", "monitor.rom", "apple2e.rom",
                                        "disk.rom", "massstor.rom", "kalvoran.fnt"};
    // Sizes near the ones the loader checks, so the interesting paths run.
    static const size_t sizes[] = {12288, 10240, 2048, 16128, 256, 256, 2048};
    if (size < 2) return 0;
    const int mode = data[0] % 4;
    const uint8_t present = data[1];
    data += 2;
    size -= 2;
    for (int i = 0; i < 7; ++i) {
        std::remove(names[i]);
        if (!(present >> i & 1)) continue;
        size_t want = sizes[i];
        if (size && (data[0] & 3) == 0) want += data[0] >> 2; // a wrong size now and then
        if (size && (data[0] & 3) == 1) want -= data[0] >> 2;
        if (want > size) want = size;
        fuzz_write(names[i], data, want);
        data += want;
        size -= want;
    }
    load_roms(mode);
    return 0;
}
