// Disk images behind the Disk II drives: mounting with detection by length,
// building a 6656-nibble track from 16 sectors or a raw nibble track, and
// decoding a written track back into sectors. Half-tracks and timing are not
// kept in the images; the track number in an address field is not checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "frontend/frontend.h"
#include "host_file.h"
#include "storage/disk.h"
#include "storage/disk_nibble.h"

namespace {

constexpr int TRACK_BYTES = 4096;
constexpr int SECTOR_BYTES = 256;
constexpr int DISK_STANDARD_TRACKS = 35;

// The name field may have been filled by anyone; never read past it.
void disk_name(const DiskDrive& d, char (&out)[80])
{
    const size_t n = strnlen(d.name.data(), d.name.size() - 1);
    std::memcpy(out, d.name.data(), n);
    out[n] = '\0';
}

off_t disk_header(int32_t kind)
{
    if (kind == DISK_SIMSYSTEM) return 30;
    if (kind == DISK_2MG) return 64;
    return 0;
}

bool disk_sector_kind(int32_t kind) { return kind >= DISK_DOS && kind <= DISK_2MG; }

const std::array<uint8_t, 16>& disk_sector_map(const DiskDrive& d)
{
    if (d.kind == DISK_DOS || (d.kind == DISK_2MG && d.img2_dos_order)) return DISK_DOS_ORDER;
    return DISK_PRODOS_ORDER;
}

int32_t disk_file_length(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size < 0) return 0;
    return st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
}

// A 2MG header carries the sector order as a little-endian word at offset 12
// (0 DOS order, 1 ProDOS order). Images made from DOS disks use DOS order, so
// reading them in ProDOS order would scramble every track.
uint8_t disk_2mg_dos_order(int fd)
{
    uint8_t h[64];
    if (pread(fd, h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) return 0;
    if (std::memcmp(h, "2IMG", 4) != 0) return 0;
    const uint32_t format = h[12] | h[13] << 8 | h[14] << 16 | static_cast<uint32_t>(h[15]) << 24;
    return format == 0;
}

bool disk_is_po_name(const char* name)
{
    const size_t n = std::strlen(name);
    return n >= 3 && strcasecmp(name + n - 3, ".po") == 0;
}

void disk_write_failed(DiskDrive& d)
{
    char name[80];
    disk_name(d, name);
    char text[120];
    std::snprintf(text, sizeof text, "Disk write failed: %s", name);
    ++d.write_failures;
    status_message(text);
}

void disk_put_4and4(uint8_t*& out, uint8_t v)
{
    *out++ = static_cast<uint8_t>((v >> 1) | 0xAA);
    *out++ = static_cast<uint8_t>(v | 0xAA);
}

uint8_t disk_get_4and4(uint8_t a, uint8_t b) { return static_cast<uint8_t>(((a << 1) | 0x55) & b); }

} // namespace

void disk_encode_sector(uint8_t* out, const uint8_t* data, int track, int sector)
{
    const uint8_t t = static_cast<uint8_t>(track);
    const uint8_t s = static_cast<uint8_t>(sector);
    static constexpr uint8_t sync[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::memcpy(out, sync, 6);
    out += 6;
    *out++ = 0xD5; *out++ = 0xAA; *out++ = 0x96;
    disk_put_4and4(out, DISK_VOLUME);
    disk_put_4and4(out, t);
    disk_put_4and4(out, s);
    disk_put_4and4(out, static_cast<uint8_t>(DISK_VOLUME ^ t ^ s));
    *out++ = 0xDE; *out++ = 0xAA; *out++ = 0xEB;
    std::memcpy(out, sync, 5);
    out += 5;
    *out++ = 0xD5; *out++ = 0xAA; *out++ = 0xAD;

    // The two low bits of bytes i, i+86 and i+172 (swapped) make one 6-bit
    // value; bytes 256 and 257 of that third run are zero.
    auto byte = [data](int i) -> uint8_t { return i < SECTOR_BYTES ? data[i] : 0; };
    auto swap2 = [](uint8_t b) { return static_cast<uint8_t>((b & 1) << 1 | (b >> 1 & 1)); };
    uint8_t prev = 0;
    for (int i = 0; i < 86; ++i) {
        const uint8_t v = static_cast<uint8_t>(swap2(byte(i)) | swap2(byte(i + 86)) << 2 | swap2(byte(i + 172)) << 4);
        *out++ = DISK_NIBBLE_TABLE[v ^ prev];
        prev = v;
    }
    for (int i = 0; i < SECTOR_BYTES; ++i) {
        const uint8_t v = static_cast<uint8_t>(data[i] >> 2);
        *out++ = DISK_NIBBLE_TABLE[v ^ prev];
        prev = v;
    }
    *out++ = DISK_NIBBLE_TABLE[prev];
    *out++ = 0xDE; *out++ = 0xAA; *out++ = 0xEB;
}

bool disk_decode_data(const uint8_t* track, uint32_t start, uint8_t* data)
{
    uint8_t bytes[258] = {};
    uint8_t v = 0;
    for (uint32_t i = 0; i < 342; ++i) {
        v ^= DISK_NIBBLE_TABLE[track[(start + i) % TRACK_NIBBLES]];
        if (i < 86) {
            bytes[i] |= static_cast<uint8_t>((v & 1) << 1 | (v >> 1 & 1));
            bytes[i + 86] |= static_cast<uint8_t>((v >> 2 & 1) << 1 | (v >> 3 & 1));
            bytes[i + 172] |= static_cast<uint8_t>((v >> 4 & 1) << 1 | (v >> 5 & 1));
        } else {
            bytes[i - 86] |= static_cast<uint8_t>(v << 2);
        }
    }
    std::memcpy(data, bytes, SECTOR_BYTES);
    return DISK_NIBBLE_TABLE[track[(start + 342) % TRACK_NIBBLES]] == v;
}

void disk_mount(int drive)
{
    DiskDrive& d = machine.disk.drive[drive];
    if (d.fd >= 0) { // the caller should have unmounted; do not leak the old image
        if (d.track_dirty) disk_flush_track(drive);
        close(d.fd);
        d.fd = -1;
    }
    char name[80];
    disk_name(d, name);

    d.size = 0;
    d.img2_dos_order = 0;
    // Anything but a regular file is not mounted, as a missing one. An image
    // another process holds is mounted write-protected.
    bool in_use = false;
    d.fd = host_open_image(name, &in_use);
    d.in_use = in_use;
    d.write_protected = in_use;
    if (d.fd >= 0) d.size = disk_file_length(d.fd);

    if (d.kind == DISK_UNKNOWN) {
        if (d.size == 143390) d.kind = DISK_SIMSYSTEM;
        else if (d.size == 143424) d.kind = DISK_2MG;
        else if (d.size > 199999) d.kind = DISK_NIBBLE;
        else if (d.size == 143360 && disk_is_po_name(name)) d.kind = DISK_PRODOS;
        else d.kind = DISK_DOS;
    }
    if (d.fd >= 0 && d.kind == DISK_2MG) d.img2_dos_order = disk_2mg_dos_order(d.fd);

    d.q6 = d.q7 = d.motor = 0;
    d.half_track = 0;
    d.last_phase = 0;
    d.track_dirty = 0;
    d.track_stale = 1;
}

void disk_unmount(int drive)
{
    DiskDrive& d = machine.disk.drive[drive];
    if (d.fd < 0) return;
    if (d.track_dirty) disk_flush_track(drive);
    char name[80];
    disk_name(d, name);
    // An empty image goes, unless another process holds it; deleted while
    // our lock still keeps others off.
    if (!d.in_use) host_remove_if_empty(d.fd, name);
    close(d.fd);
    d.fd = -1;
    d.in_use = 0;
    d.write_protected = 0;
    d.track_dirty = 0;
    d.track_stale = 1; // an empty drive presents $FF, not the old image's nibbles
}

void disk_load_track(int drive)
{
    DiskController& c = machine.disk;
    DiskDrive& d = c.drive[drive];
    const int t = d.half_track / 2;
    c.track.fill(0xFF);

    // Short reads (a track beyond the end of the image) leave $FF.
    if (d.fd >= 0 && d.kind == DISK_NIBBLE) {
        (void)!pread(d.fd, c.track.data(), TRACK_NIBBLES, static_cast<off_t>(t) * TRACK_NIBBLES);
    } else if (d.fd >= 0 && disk_sector_kind(d.kind)) {
        const auto& map = disk_sector_map(d);
        const off_t base = disk_header(d.kind) + static_cast<off_t>(t) * TRACK_BYTES;
        uint8_t data[SECTOR_BYTES];
        for (int s = 0; s < 16; ++s) {
            std::memset(data, 0xFF, sizeof data);
            (void)!pread(d.fd, data, SECTOR_BYTES, base + map[s] * SECTOR_BYTES);
            disk_encode_sector(c.track.data() + s * DISK_SECTOR_NIBBLES, data, t, s);
        }
    }
    d.track_dirty = 0;
    d.track_stale = 0;
}

void disk_flush_track(int drive)
{
    DiskController& c = machine.disk;
    DiskDrive& d = c.drive[drive];
    // The buffer belongs to the selected drive; anything else has nothing to write.
    if (d.fd < 0 || static_cast<uint32_t>(drive) != c.current_drive) {
        d.track_dirty = 0;
        return;
    }
    const int t = d.half_track / 2;
    bool failed = false;
    // The head may stand on track 35, one past a standard image. Writing
    // there would lengthen the file, and length is how the next mount tells
    // the kinds apart (a 2MG or SimSystem image would come back shifted by
    // its header), so that track is written only where the file has it.
    const auto fits = [&d, t](off_t end) { return t < DISK_STANDARD_TRACKS || end <= d.size; };

    if (d.kind == DISK_NIBBLE) {
        const off_t at = static_cast<off_t>(t) * TRACK_NIBBLES;
        if (fits(at + TRACK_NIBBLES)) {
            const ssize_t n = pwrite(d.fd, c.track.data(), TRACK_NIBBLES, at);
            failed = n != TRACK_NIBBLES;
        }
    } else if (disk_sector_kind(d.kind)) {
        const auto& map = disk_sector_map(d);
        const off_t base = disk_header(d.kind) + static_cast<off_t>(t) * TRACK_BYTES;
        auto nib = [](uint32_t x) { return machine.disk.track[x % TRACK_NIBBLES]; };
        auto mark = [&nib](uint32_t x, uint8_t a, uint8_t b, uint8_t e) {
            return nib(x) == a && nib(x + 1) == b && nib(x + 2) == e;
        };
        // p counts nibbles from the start of the buffer, w the passes over its
        // end; the scan ends when the first data field comes round again, or
        // after 32 passes on a track without a complete sector.
        uint32_t p = 0, w = 0;
        int64_t first = -1;
        for (;;) {
            if (p >= TRACK_NIBBLES) ++w;
            if (mark(p, 0xD5, 0xAA, 0x96)) {
                const uint8_t vol = disk_get_4and4(nib(p + 3), nib(p + 4));
                const uint8_t trk = disk_get_4and4(nib(p + 5), nib(p + 6));
                const uint8_t sec = disk_get_4and4(nib(p + 7), nib(p + 8));
                const uint8_t sum = disk_get_4and4(nib(p + 9), nib(p + 10));
                if ((vol ^ trk ^ sec) == sum && nib(p + 11) == 0xDE && nib(p + 12) == 0xAA) {
                    p += 14;
                    if (p >= TRACK_NIBBLES) { ++w; p %= TRACK_NIBBLES; }
                    while (nib(p) != 0xD5 && p < TRACK_NIBBLES) ++p;
                    if (mark(p, 0xD5, 0xAA, 0xAD)) {
                        p += 3;
                        if (p >= TRACK_NIBBLES) { ++w; p %= TRACK_NIBBLES; }
                        if (p == first) break;
                        if (first < 0) first = p;
                        uint8_t data[SECTOR_BYTES];
                        // A data field with a bad checksum was cut short or
                        // overwritten: the image keeps the sector it had.
                        const off_t at = base + (sec < 16 ? map[sec] : 0) * SECTOR_BYTES;
                        if (disk_decode_data(c.track.data(), p, data) && sec < 16 && fits(at + SECTOR_BYTES)) {
                            const ssize_t n = pwrite(d.fd, data, SECTOR_BYTES, at);
                            if (n != SECTOR_BYTES) failed = true;
                        }
                    }
                }
            }
            ++p;
            if (w > 32) break;
        }
    }

    if (failed) disk_write_failed(d);
    d.size = disk_file_length(d.fd);
    d.track_dirty = 0;
}

void disk_mount_defaults()
{
    static constexpr const char* names[2] = {"disk6a.dsk", "disk6b.dsk"};
    for (int i = 0; i < 2; ++i) {
        DiskDrive& d = machine.disk.drive[i];
        d.name.fill('\0');
        std::memcpy(d.name.data(), names[i], std::strlen(names[i]));
        d.kind = DISK_UNKNOWN;
        disk_mount(i);
    }
    machine.disk.position = 0;
    machine.disk.current_drive = 0;
    machine.disk.latch = 0;
}

bool disk_any_in_use()
{
    for (const DiskDrive& d : machine.disk.drive)
        if (d.fd >= 0 && d.in_use) return true;
    return false;
}

void disk_flush_all()
{
    for (int i = 0; i < 2; ++i)
        if (machine.disk.drive[i].fd >= 0) disk_unmount(i);
}
