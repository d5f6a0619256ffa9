// The block device driven by an arbitrary sequence of register stores and
// loads over an arbitrary unit file.
#include "fuzz_common.h"
#include "storage/massstor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    if (size < 2) return 0;
    size_t file_len = (size_t(data[0]) << 8 | data[1]) % (size - 1);
    fuzz_write("hdv1.hdv", data + 2, file_len > size - 2 ? size - 2 : file_len);
    std::remove("hdv2.hdv");
    ms_mount_defaults();
    for (size_t i = 2 + file_len; i + 1 < size; i += 2) {
        const uint16_t reg = static_cast<uint16_t>(0xC0D0 | (data[i] & 0x0F));
        if (data[i] & 0x80)
            (void)ms_io_read(reg);
        else
            ms_io_write(reg, data[i + 1]);
    }
    ms_close_all();
    return 0;
}
