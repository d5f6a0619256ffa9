// Arbitrary bytes mounted as a disk image of every kind: every track loaded,
// marked changed and flushed, then unmounted.
#include <cstring>
#include "fuzz_common.h"
#include "storage/disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    if (size < 1) return 0;
    // The first byte picks the name (and so .po detection) and the kind.
    const char* name = (data[0] & 1) ? "image.po" : "image.dsk";
    const int32_t kind = (data[0] >> 1) % 7; // 0 detects; 6 is no kind at all
    fuzz_write(name, data + 1, size - 1);
    DiskDrive& d = machine.disk.drive[0];
    std::memset(d.name.data(), 0, d.name.size());
    std::strcpy(d.name.data(), name);
    d.kind = kind;
    disk_mount(0);
    if (d.fd >= 0) {
        for (int half = 0; half <= 70; half += 2) {
            d.half_track = half;
            disk_load_track(0);
            machine.disk.track[half % TRACK_NIBBLES] ^= 0x01;
            d.track_dirty = 1;
            disk_flush_track(0);
        }
        disk_unmount(0);
    }
    std::remove(name);
    return 0;
}
