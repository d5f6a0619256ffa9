// Helpers shared by the storage tests: image files with recognisable
// contents, mounting by name and the controller's switches.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "storage/disk.h"
#include "storage/disk_nibble.h"
#include "support/test_support.h"

// Every byte of an image depends on its offset, so a sector in the wrong
// place or a shifted track shows.
inline uint8_t image_byte(size_t offset)
{
    return static_cast<uint8_t>(offset * 7 + offset / 256 * 13 + offset / 4096 * 29);
}

inline std::vector<uint8_t> image_bytes(size_t size)
{
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = image_byte(i);
    return v;
}

inline void mount_as(int drive, const std::string& name, int32_t kind = DISK_UNKNOWN)
{
    DiskDrive& d = machine.disk.drive[drive];
    d.name.fill('\0');
    std::memcpy(d.name.data(), name.data(), std::min<size_t>(name.size(), 79));
    d.kind = kind;
    disk_mount(drive);
}

// Switch n of $C0E0-$C0EF.
inline uint8_t sw_read(int n) { return disk_io_read(static_cast<uint16_t>(0xC0E0 + n)); }
inline void sw_write(int n, uint8_t v) { disk_io_write(static_cast<uint16_t>(0xC0E0 + n), v); }

inline void motor_on() { sw_read(9); }
inline void phase_on(int p) { sw_read(1 + 2 * p); }

// Bytes [offset, offset + n) of a file.
inline std::vector<uint8_t> file_part(const std::string& path, size_t offset, size_t n)
{
    const std::vector<uint8_t> all = read_file(path);
    if (offset >= all.size()) return {};
    return {all.begin() + static_cast<long>(offset),
            all.begin() + static_cast<long>(std::min(all.size(), offset + n))};
}
