// Disk II controller with two drives (slot 6) and the block device (slot 5).
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>

inline constexpr int TRACK_NIBBLES = 6656;

enum DiskImageKind : int32_t {
    DISK_UNKNOWN = 0,
    DISK_NIBBLE = 1,
    DISK_DOS = 2,
    DISK_PRODOS = 3,
    DISK_SIMSYSTEM = 4,
    DISK_2MG = 5,
};

struct DiskDrive {
    std::array<char, 80> name; // up to 79 characters
    int fd = -1;               // open image, -1 when empty
    int32_t size;
    int32_t kind;              // DiskImageKind
    uint8_t write_protected;
    uint8_t track_dirty;
    uint8_t track_stale;
    int32_t half_track;        // 0..70
    uint8_t last_phase;        // 0..3
    uint8_t q6, motor, q7;
};

struct DiskController {
    std::array<DiskDrive, 2> drive;
    uint32_t current_drive;
    std::array<uint8_t, TRACK_NIBBLES> track;
    uint32_t position;
    uint8_t latch;
    uint8_t store_access;
};

struct MassStorageUnit {
    std::array<char, 80> name;
    FILE* file;
    int32_t size;
    uint8_t write_protected;
    uint8_t cached;
    std::array<uint8_t, 512> block;
    uint16_t block_number;
};

struct MassStorage {
    std::array<MassStorageUnit, 4> units;
    uint8_t unit;
    uint16_t buffer_address;
    uint8_t status;
    uint8_t spare;
};
