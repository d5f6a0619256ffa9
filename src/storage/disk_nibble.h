// Disk II 6-and-2 group code and the sector interleaves of the image kinds.
// One table serves both directions: $00-$3F encode, $96-$FF decode.
#pragma once
#include <array>
#include <cstdint>

// The 64 disk nibbles that carry six data bits, in order of the value.
inline constexpr std::array<uint8_t, 64> DISK_WRITE_NIBBLES = {
    0x96, 0x97, 0x9A, 0x9B, 0x9D, 0x9E, 0x9F, 0xA6,
    0xA7, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB2, 0xB3,
    0xB4, 0xB5, 0xB6, 0xB7, 0xB9, 0xBA, 0xBB, 0xBC,
    0xBD, 0xBE, 0xBF, 0xCB, 0xCD, 0xCE, 0xCF, 0xD3,
    0xD6, 0xD7, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE,
    0xDF, 0xE5, 0xE6, 0xE7, 0xE9, 0xEA, 0xEB, 0xEC,
    0xED, 0xEE, 0xEF, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6,
    0xF7, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

// Bytes that are no valid data nibble decode to $80, which no 6-bit value has.
consteval std::array<uint8_t, 256> disk_make_nibble_table()
{
    std::array<uint8_t, 256> t{};
    for (auto& e : t) e = 0x80;
    for (int v = 0; v < 64; ++v) {
        t[v] = DISK_WRITE_NIBBLES[v];
        t[DISK_WRITE_NIBBLES[v]] = static_cast<uint8_t>(v);
    }
    return t;
}
inline constexpr std::array<uint8_t, 256> DISK_NIBBLE_TABLE = disk_make_nibble_table();

consteval bool disk_nibble_table_round_trips()
{
    for (int v = 0; v < 64; ++v)
        if (DISK_NIBBLE_TABLE[DISK_NIBBLE_TABLE[v]] != v) return false;
    for (int n = 0x40; n < 0x96; ++n)
        if (DISK_NIBBLE_TABLE[n] != 0x80) return false;
    return true;
}
static_assert(disk_nibble_table_round_trips());

// Physical sector 0..15 on the track -> sector within the image's track.
inline constexpr std::array<uint8_t, 16> DISK_DOS_ORDER = {
    0, 7, 14, 6, 13, 5, 12, 4, 11, 3, 10, 2, 9, 1, 8, 15,
};
inline constexpr std::array<uint8_t, 16> DISK_PRODOS_ORDER = {
    0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15,
};

inline constexpr int DISK_SECTOR_NIBBLES = 374; // address field, data field, epilogue
inline constexpr uint8_t DISK_VOLUME = 254;

// Writes one sector (address field for track/sector, then the 6-and-2 data
// field of the 256 bytes) as DISK_SECTOR_NIBBLES nibbles at out.
void disk_encode_sector(uint8_t* out, const uint8_t* data, int track, int sector);
// Decodes the 342 data nibbles that start at track[start] (circularly) into
// 256 bytes. Returns false when the checksum nibble after them disagrees.
bool disk_decode_data(const uint8_t* track, uint32_t start, uint8_t* data);
