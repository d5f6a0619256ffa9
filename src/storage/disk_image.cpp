// Disk images behind the Disk II drives: mounting with detection by a 2MG
// header or by length, building a 6656-nibble track from 16 sectors or a raw
// nibble track, and decoding a written track back into sectors. Half-tracks
// and timing are not kept in the images; the track number in an address
// field is not checked. A track that cannot be written is held in the drive
// record and tried again; one that never could be is saved whole beside the
// image at unmount.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Where the image's data starts in the file.
off_t disk_data_start(const DiskDrive& d)
{
    if (d.kind == DISK_SIMSYSTEM) return 30;
    if (d.kind == DISK_2MG) return d.img2_offset;
    return 0;
}

bool disk_nibble_tracks(const DiskDrive& d)
{
    return d.kind == DISK_NIBBLE || (d.kind == DISK_2MG && d.img2_nibbles);
}

bool disk_sector_tracks(const DiskDrive& d)
{
    return d.kind >= DISK_DOS && d.kind <= DISK_2MG && !disk_nibble_tracks(d);
}

const std::array<uint8_t, 16>& disk_sector_map(const DiskDrive& d)
{
    if (d.kind == DISK_DOS || (d.kind == DISK_2MG && d.img2_dos_order)) return DISK_DOS_ORDER;
    return DISK_PRODOS_ORDER;
}

// How many of the n bytes at offset rel of the data area can be read. A 2MG
// image ends where its header says (a comment may follow); the other kinds
// read what the file holds and a short read leaves the rest.
size_t disk_readable(const DiskDrive& d, uint64_t rel, size_t n)
{
    if (d.kind != DISK_2MG) return n;
    if (rel >= d.img2_length) return 0;
    return static_cast<size_t>(std::min<uint64_t>(n, d.img2_length - rel));
}

uint32_t disk_le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The 2MG header, little-endian: "2IMG", creator, header length (16 bits at
// 8), version (10), image format (32 bits at 12: 0 DOS order, 1 ProDOS
// order, 2 nibbles), flags (16, bit 31 locked), ProDOS blocks (20), data
// offset (24) and length (28), comment (32, 36) and creator data (40, 44)
// as offset and length. Fills the drive's data area from it; false when the
// file does not start with one. The area is cut to lie within the file,
// after the 64 header bytes and before a comment or creator block that
// starts inside it, so that no header can send a read or write elsewhere.
bool disk_read_2mg_header(DiskDrive& d)
{
    constexpr uint32_t HEADER = 64;
    uint8_t h[HEADER];
    if (d.fd < 0 || pread(d.fd, h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) return false;
    if (std::memcmp(h, "2IMG", 4) != 0) return false;

    const uint32_t format = disk_le32(h + 12);
    const uint64_t size = static_cast<uint64_t>(d.size);
    uint64_t start = std::max(disk_le32(h + 24), HEADER);
    uint64_t length = disk_le32(h + 28);
    // Some writers leave the length of a ProDOS-order image to the block count.
    if (length == 0) length = static_cast<uint64_t>(disk_le32(h + 20)) * 512;
    if (length == 0) length = size > start ? size - start : 0;
    if (start > size) start = size;
    length = std::min(length, size - start);
    for (int at : {32, 40}) {
        const uint64_t other = disk_le32(h + at);
        if (disk_le32(h + at + 4) != 0 && other >= start && other < start + length) length = other - start;
    }
    d.img2_offset = static_cast<uint32_t>(start);
    d.img2_length = static_cast<uint32_t>(length);
    d.img2_dos_order = format == 0;
    d.img2_nibbles = format == 2;
    d.img2_locked = (disk_le32(h + 16) & 0x80000000u) != 0;
    return true;
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

// Writes one track of nibbles into an image file laid out as d's: a nibble
// track whole, a sector track as the sectors its address fields name. False
// when a write failed.
bool disk_write_track(const DiskDrive& d, int fd, const uint8_t* nibbles, int t)
{
    bool ok = true;
    // The head may stand on track 35, one past a standard image. Writing
    // there would lengthen the file, and length is how the next mount tells
    // the kinds apart (a SimSystem image would come back shifted by its
    // header), so that track is written only where the file has it. A 2MG
    // image is written only inside its data area: never the header, the
    // comment after the data, or past the end.
    const off_t start = disk_data_start(d);
    const auto fits = [&d, t, start](uint64_t rel, size_t n) {
        if (d.kind == DISK_2MG) return disk_readable(d, rel, n) == n;
        return t < DISK_STANDARD_TRACKS || start + static_cast<off_t>(rel + n) <= d.size;
    };

    if (disk_nibble_tracks(d)) {
        const uint64_t rel = static_cast<uint64_t>(t) * TRACK_NIBBLES;
        if (fits(rel, TRACK_NIBBLES))
            ok = pwrite(fd, nibbles, TRACK_NIBBLES, start + static_cast<off_t>(rel)) == TRACK_NIBBLES;
    } else if (disk_sector_tracks(d)) {
        const auto& map = disk_sector_map(d);
        auto nib = [nibbles](uint32_t x) { return nibbles[x % TRACK_NIBBLES]; };
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
                        const uint64_t rel =
                            static_cast<uint64_t>(t) * TRACK_BYTES + (sec < 16 ? map[sec] : 0) * SECTOR_BYTES;
                        if (disk_decode_data(nibbles, p, data) && sec < 16 && fits(rel, SECTOR_BYTES)) {
                            if (pwrite(fd, data, SECTOR_BYTES, start + static_cast<off_t>(rel)) != SECTOR_BYTES)
                                ok = false;
                        }
                    }
                }
            }
            ++p;
            if (w > 32) break;
        }
    }
    return ok;
}

// Protected by another process's hold or a locked 2MG; a pending track adds
// its own protection until it is written.
bool disk_protected(const DiskDrive& d) { return d.in_use || d.img2_locked; }

// Writes the pending track; once it is in the file, the drive takes writes again.
void disk_retry_pending(DiskDrive& d)
{
    if (!d.pending) return;
    if (disk_write_track(d, d.fd, d.pending_nibbles.data(), d.pending_track)) {
        d.pending = 0;
        d.write_protected = disk_protected(d);
    } else {
        d.write_protected = 1;
        disk_write_failed(d);
    }
}

// The image as it should be, the file's contents with the pending track
// applied, written to <name>.unsaved (or .unsaved.2 to .unsaved.9 when an
// earlier one is there: it may hold changes of its own). Reported with one
// line on the error stream.
void disk_save_unsaved(const DiskDrive& d)
{
    char name[80];
    disk_name(d, name);
    char saved[96];
    int out = -1;
    for (int n = 1; n <= 9 && out < 0; ++n) {
        if (n == 1) std::snprintf(saved, sizeof saved, "%s.unsaved", name);
        else std::snprintf(saved, sizeof saved, "%s.unsaved.%d", name, n);
        out = open(saved, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST) break;
    }
    bool ok = out >= 0;
    if (ok) {
        // What cannot be read of the image is left as zeros.
        uint8_t chunk[16384];
        const off_t length = host_file_length(d.fd);
        for (off_t at = 0; ok && at < length; at += static_cast<off_t>(sizeof chunk)) {
            const size_t want = static_cast<size_t>(std::min<off_t>(length - at, sizeof chunk));
            const ssize_t got = pread(d.fd, chunk, want, at);
            if (got < static_cast<ssize_t>(want)) std::memset(chunk + (got > 0 ? got : 0), 0, want - (got > 0 ? got : 0));
            ok = pwrite(out, chunk, want, at) == static_cast<ssize_t>(want);
        }
        ok = ok && disk_write_track(d, out, d.pending_nibbles.data(), d.pending_track);
        if (close(out) != 0) ok = false;
    }
    char text[256];
    if (ok) std::snprintf(text, sizeof text, "Could not write to %s: saved whole as %s", name, saved);
    else std::snprintf(text, sizeof text, "Could not write to %s, nor save it beside: changes to track %d lost",
                       name, static_cast<int>(d.pending_track));
    message_box(text, "Error", MESSAGE_ERROR);
}

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
    // Anything but a regular file is not mounted, as a missing one. An image
    // another process holds is mounted write-protected.
    bool in_use = false;
    d.fd = host_open_image(name, &in_use);
    d.in_use = in_use;
    d.pending = 0;
    if (d.fd >= 0) d.size = host_file_length(d.fd);

    // A 2MG image is known by its signature, whatever follows its data; the
    // other kinds only by their length.
    d.img2_offset = d.img2_length = 0;
    d.img2_dos_order = d.img2_nibbles = d.img2_locked = 0;
    const bool img2 = (d.kind == DISK_UNKNOWN || d.kind == DISK_2MG) && disk_read_2mg_header(d);
    if (img2) {
        d.kind = DISK_2MG;
    } else if (d.kind == DISK_UNKNOWN) {
        if (d.size == 143390) d.kind = DISK_SIMSYSTEM;
        else if (d.size > 199999) d.kind = DISK_NIBBLE;
        else if (d.size == 143360 && disk_is_po_name(name)) d.kind = DISK_PRODOS;
        else d.kind = DISK_DOS;
    } else if (d.kind == DISK_2MG) {
        // Named 2MG without a header: ProDOS order after 64 bytes.
        d.img2_offset = 64;
        d.img2_length = d.size > 64 ? static_cast<uint32_t>(d.size - 64) : 0;
    }

    d.write_protected = disk_protected(d);
    d.q6 = d.q7 = d.motor = d.run_on = 0;
    d.half_track = 0;
    d.track_dirty = 0;
    d.track_stale = 1;
}

void disk_unmount(int drive)
{
    DiskDrive& d = machine.disk.drive[drive];
    if (d.fd < 0) return;
    disk_flush_track(drive); // the last try for a pending track, too
    char name[80];
    disk_name(d, name);
    // An empty image goes, unless another process holds it or a track of
    // it waits to be saved; deleted while our lock still keeps others off.
    if (d.pending) disk_save_unsaved(d);
    else if (!d.in_use) host_remove_if_empty(d.fd, name);
    close(d.fd);
    d.fd = -1;
    d.pending = 0;
    d.in_use = 0;
    d.write_protected = 0;
    d.track_dirty = 0;
    d.track_stale = 1; // an empty drive presents $FF, not the old image's nibbles
    d.motor = d.run_on = 0;
}

void disk_load_track(int drive)
{
    DiskController& c = machine.disk;
    DiskDrive& d = c.drive[drive];
    const int t = d.half_track / 2;
    disk_retry_pending(d);
    c.track.fill(0xFF);

    // A track that could not be written reads back as it was written. Short
    // reads (a track beyond the end of the image) leave $FF.
    const off_t start = disk_data_start(d);
    if (d.fd >= 0 && d.pending && d.pending_track == t) {
        c.track = d.pending_nibbles;
    } else if (d.fd >= 0 && disk_nibble_tracks(d)) {
        const uint64_t rel = static_cast<uint64_t>(t) * TRACK_NIBBLES;
        const size_t n = disk_readable(d, rel, TRACK_NIBBLES);
        if (n) (void)!pread(d.fd, c.track.data(), n, start + static_cast<off_t>(rel));
    } else if (d.fd >= 0 && disk_sector_tracks(d)) {
        const auto& map = disk_sector_map(d);
        uint8_t data[SECTOR_BYTES];
        for (int s = 0; s < 16; ++s) {
            std::memset(data, 0xFF, sizeof data);
            const uint64_t rel = static_cast<uint64_t>(t) * TRACK_BYTES + map[s] * SECTOR_BYTES;
            const size_t n = disk_readable(d, rel, SECTOR_BYTES);
            if (n) (void)!pread(d.fd, data, n, start + static_cast<off_t>(rel));
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
    if (d.fd < 0) {
        d.track_dirty = 0;
        return;
    }
    // The buffer belongs to the selected drive; another drive has only its
    // pending track, if any, to write.
    if (static_cast<uint32_t>(drive) == c.current_drive && d.track_dirty) {
        const int t = d.half_track / 2;
        if (d.pending && d.pending_track != t) disk_retry_pending(d);
        if (!d.pending || d.pending_track == t) {
            d.pending_nibbles = c.track;
            d.pending_track = t;
            d.pending = 1;
        } else if (!disk_write_track(d, d.fd, c.track.data(), t)) {
            // No room to hold a second track: only a store past the write
            // protection could bring one.
            disk_write_failed(d);
        }
    }
    d.track_dirty = 0;
    disk_retry_pending(d);
    d.size = host_file_length(d.fd);
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
