// An arbitrary nibble track decoded into a DOS-order and a ProDOS-order image.
#include <cstring>
#include <vector>
#include "fuzz_common.h"
#include "storage/disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    static const std::vector<uint8_t> blank(143360, 0);
    for (const char* name : {"decode.dsk", "decode.po"}) {
        fuzz_write(name, blank.data(), blank.size());
        DiskDrive& d = machine.disk.drive[0];
        std::memset(d.name.data(), 0, d.name.size());
        std::strcpy(d.name.data(), name);
        d.kind = 0;
        disk_mount(0);
        if (d.fd < 0) std::abort();
        d.half_track = size ? (data[0] % 36) * 2 : 0;
        disk_load_track(0);
        std::memset(machine.disk.track.data(), 0xFF, TRACK_NIBBLES);
        std::memcpy(machine.disk.track.data(), data, size < TRACK_NIBBLES ? size : TRACK_NIBBLES);
        d.track_dirty = 1;
        disk_flush_track(0);
        disk_unmount(0);
        std::remove(name);
    }
    return 0;
}
