// Disk II controller with two drives (slot 6) and the block device (slot 5).
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>

inline constexpr int TRACK_NIBBLES = 6656;
// The controller keeps the motor line up for about a second after $C0E8.
inline constexpr uint32_t DISK_RUN_ON_CYCLES = 1'017'000;

enum DiskImageKind : int32_t {
    DISK_UNKNOWN = 0,
    DISK_NIBBLE = 1,
    DISK_DOS = 2,
    DISK_PRODOS = 3,
    DISK_SIMSYSTEM = 4,
    DISK_2MG = 5,
};

struct DiskDrive {
    // Image (set by mount, kept until unmount).
    std::array<char, 80> name; // up to 79 characters
    int fd = -1;               // open image, -1 when empty
    int32_t size;              // file length at mount and after each flush
    int32_t kind;              // DiskImageKind
    // 2MG container (from its header, checked against the file at mount):
    // the data area, its order and whether it holds nibble tracks.
    uint32_t img2_offset;
    uint32_t img2_length;
    uint8_t img2_dos_order;
    uint8_t img2_nibbles;
    uint8_t img2_locked;       // flags bit 31: the drive is write-protected
    uint32_t write_failures;   // flushes that could not write the whole track
    uint8_t in_use;            // another process holds the image: opened read-only
    // A track whose write failed, kept until a retry (at each track load and
    // flush) writes it; read back from here meanwhile, and saved beside the
    // image at unmount if it never could be written. One per drive: the drive
    // reads as write-protected while it is held, so no second one can come.
    uint8_t pending;
    int32_t pending_track;     // track number, 0..35
    std::array<uint8_t, TRACK_NIBBLES> pending_nibbles;

    // Drive mechanics and latch mode.
    uint8_t write_protected;   // sense via $C0ED reads $FF: in use, or a track pending
    uint8_t track_dirty;       // buffer holds nibbles written since the load
    uint8_t track_stale;       // buffer does not yet hold the track under the head
    int32_t half_track;        // 0..70; the phase under the head is half_track mod 4
    uint8_t q6;                // $C0EC off / $C0ED on: sense write protection
    uint8_t motor;             // $C0E8 off / $C0E9 on
    uint8_t run_on;            // still turning after $C0E8 (DISK_RUN_ON_CYCLES long)
    uint32_t run_on_since;     // cycle count at the off switch
    uint8_t q7;                // $C0EE off / $C0EF on: write mode
};

struct DiskController {
    std::array<DiskDrive, 2> drive;
    uint32_t current_drive;    // $C0EA drive 1 (0) / $C0EB drive 2 (1)
    std::array<uint8_t, TRACK_NIBBLES> track; // one buffer shared by both drives
    uint32_t position;         // next nibble, kept below TRACK_NIBBLES
    uint8_t latch;
    uint8_t store_access;      // set while a store is being handled
    uint32_t access_stamp;     // cycles at the last access to $C0E0-$C0EF
};

struct MassStorageUnit {
    std::array<char, 80> name;
    int fd = -1;               // open unit file, -1 without one
    int32_t size;              // length at start-up, or set by format
    uint8_t write_protected;   // another process holds the file: write and format report $2B
    uint8_t cached;            // block holds the block at block_number
    std::array<uint8_t, 512> block;
    uint16_t block_number;     // registers 4/5 while this unit is selected
};

struct MassStorage {
    std::array<MassStorageUnit, 4> units;
    uint8_t unit;              // register 1
    uint16_t buffer_address;   // registers 2/3
    uint8_t status;            // register 7: $00, $27 I/O error, $28 no device, $2B protected
    uint8_t spare;             // register 6
    uint8_t active;            // a command came within the last busy window
    uint32_t command_stamp;    // cycles at the last command
};
