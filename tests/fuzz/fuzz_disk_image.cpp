// Arbitrary bytes mounted as a disk image of every kind: every track loaded,
// marked changed and flushed, then unmounted. Bit 4 of the first byte puts
// a 2MG signature at the start of the image, so that header fields come
// from the fuzzer.
#include <cstring>
#include <vector>
#include "fuzz_common.h"
#include "storage/disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_fresh_machine();
    if (size < 1) return 0;
    // The first byte picks the name (and so .po detection) and the kind.
    const char* name = (data[0] & 1) ? "image.po" : "image.dsk";
    const int32_t kind = (data[0] >> 1) % 7; // 0 detects; 6 is no kind at all
    std::vector<uint8_t> image(data + 1, data + size);
    if ((data[0] & 0x10) && image.size() >= 4) std::memcpy(image.data(), "2IMG", 4);
    fuzz_write(name, image.data(), image.size());
    DiskDrive& d = machine.disk.drive[0];
    std::memset(d.name.data(), 0, d.name.size());
    std::strcpy(d.name.data(), name);
    d.kind = kind;
    disk_mount(0);
    // Flushing never lengthens an image past its 35 tracks: the length is
    // how the next mount tells the kinds apart. A 2MG image is written only
    // inside the data area its header gives, cut to the file: never the
    // header, a comment after the data, or past the end.
    const int32_t kind_mounted = d.kind;
    const long header = kind_mounted == 4 ? 30 : 0;
    const long limit = header + 35L * (kind_mounted == 1 ? TRACK_NIBBLES : 4096);
    const long before = static_cast<long>(size - 1);
    const uint64_t area_from = d.img2_offset;
    const uint64_t area_to = area_from + d.img2_length;
    if (kind_mounted == 5 && d.img2_length && (area_from < 64 || area_to > static_cast<uint64_t>(before))) std::abort();
    if (d.fd >= 0) {
        for (int half = 0; half <= 70; half += 2) {
            d.half_track = half;
            disk_load_track(0);
            machine.disk.track[half % TRACK_NIBBLES] ^= 0x01;
            d.track_dirty = 1;
            disk_flush_track(0);
        }
        disk_unmount(0);
        if (FILE* f = std::fopen(name, "rb")) {
            std::fseek(f, 0, SEEK_END);
            const long after = std::ftell(f);
            if (kind_mounted == 5) {
                if (after != before) std::abort();
                std::fseek(f, 0, SEEK_SET);
                for (long i = 0; i < after; ++i) {
                    const int c = std::fgetc(f);
                    const bool inside = static_cast<uint64_t>(i) >= area_from && static_cast<uint64_t>(i) < area_to;
                    if (!inside && c != image[static_cast<size_t>(i)]) std::abort();
                }
            }
            std::fclose(f);
            if (after > before && after > limit) std::abort();
        }
    }
    std::remove(name);
    return 0;
}
