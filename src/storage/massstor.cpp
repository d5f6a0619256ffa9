// Block device in slot 5: four units of 512-byte blocks behind eight
// registers at $C0D0-$C0D7. A command moves a whole block at once inside the
// store that issues it; there is no busy time and no interrupt. Unit files are
// read and written on their descriptors, without a buffer of our own that
// could go stale, and are locked against a second process while mounted.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cpu/cpu.h"
#include "host_file.h"
#include "memory/memory.h"
#include "storage/massstor.h"

namespace {

constexpr int BLOCK_BYTES = 512;
constexpr int FORMAT_BLOCKS = 1600;
// The block count comes back in two 8-bit registers; ProDOS volumes end there.
constexpr int32_t MAX_BLOCKS = 65535;
constexpr int UNITS = 4;

constexpr uint8_t MS_OK = 0x00;
constexpr uint8_t MS_IO_ERROR = 0x27;
constexpr uint8_t MS_NO_DEVICE = 0x28;
constexpr uint8_t MS_PROTECTED = 0x2B;

// A loader reads block after block with a little work between them.
constexpr uint32_t MS_BUSY_CYCLES = 101'700;

// Unit numbers 4-255 name no unit; callers check before taking the record.
MassStorageUnit* ms_selected()
{
    return machine.ms.unit < UNITS ? &machine.ms.units[machine.ms.unit] : nullptr;
}

void ms_copy_out(const MassStorageUnit& u)
{
    for (int i = 0; i < BLOCK_BYTES; ++i)
        write_byte(static_cast<uint16_t>(machine.ms.buffer_address + i), u.block[i]);
}

void ms_command(uint8_t command)
{
    MassStorage& ms = machine.ms;
    MassStorageUnit* unit = ms_selected();
    if (!unit) {
        ms.status = MS_NO_DEVICE;
        return;
    }
    MassStorageUnit& u = *unit;
    const off_t offset = static_cast<off_t>(u.block_number) * BLOCK_BYTES;

    switch (command) {
    case 0: // status: the block count comes back through registers 4/5
        u.block_number = static_cast<uint16_t>(u.size != 0 ? std::min(u.size / BLOCK_BYTES, MAX_BLOCKS) : FORMAT_BLOCKS);
        break;

    case 1: // read
        if (!u.cached) {
            if (u.fd < 0) {
                ms.status = MS_NO_DEVICE;
                return;
            }
            // A block that starts at or past the end of the file does not
            // exist: an error, and memory is left alone. A last block cut
            // short by the file's end is padded with zeros, never with what
            // the buffer held from another block.
            const ssize_t got = pread(u.fd, u.block.data(), BLOCK_BYTES, offset);
            if (got <= 0) {
                ms.status = MS_IO_ERROR;
                return;
            }
            std::fill(u.block.begin() + got, u.block.end(), uint8_t{0});
            u.cached = 1;
        }
        ms_copy_out(u);
        break;

    case 2: // write
        for (int i = 0; i < BLOCK_BYTES; ++i)
            u.block[i] = read_byte(static_cast<uint16_t>(ms.buffer_address + i));
        if (u.fd < 0) ms.status = MS_NO_DEVICE;
        else if (u.write_protected) ms.status = MS_PROTECTED;
        else if (pwrite(u.fd, u.block.data(), BLOCK_BYTES, offset) != BLOCK_BYTES) ms.status = MS_IO_ERROR;
        // The buffer now holds bytes the file may lack: a later read of this
        // block must not be served from it.
        if (ms.status != MS_OK) u.cached = 0;
        break;

    case 3: // format: the file grows to 1600 blocks
        if (u.fd < 0) ms.status = MS_NO_DEVICE;
        else if (u.write_protected) ms.status = MS_PROTECTED;
        else if (pwrite(u.fd, u.block.data(), 1, static_cast<off_t>(FORMAT_BLOCKS) * BLOCK_BYTES - 1) != 1) {
            u.cached = 0;
            ms.status = MS_IO_ERROR;
        } else {
            u.size = FORMAT_BLOCKS * BLOCK_BYTES;
            u.cached = 0;
        }
        break;

    default:
        break;
    }
}

} // namespace

uint8_t ms_io_read(uint16_t address)
{
    const MassStorage& ms = machine.ms;
    const MassStorageUnit* u = ms.unit < UNITS ? &ms.units[ms.unit] : nullptr;
    switch (address & 0x0F) {
    case 1: return ms.unit;
    case 2: return static_cast<uint8_t>(ms.buffer_address);
    case 3: return static_cast<uint8_t>(ms.buffer_address >> 8);
    case 4: return u ? static_cast<uint8_t>(u->block_number) : 0;
    case 5: return u ? static_cast<uint8_t>(u->block_number >> 8) : 0;
    case 6: return ms.spare;
    case 7: return ms.status;
    default: return 0xFF;
    }
}

void ms_io_write(uint16_t address, uint8_t value)
{
    MassStorage& ms = machine.ms;
    MassStorageUnit* u = ms_selected();
    ms.status = MS_OK;
    switch (address & 0x0F) {
    case 0:
        ms.active = 1;
        ms.command_stamp = cpu_cycles();
        ms_command(value);
        break;
    case 1: ms.unit = value; break;
    case 2: ms.buffer_address = static_cast<uint16_t>((ms.buffer_address & 0xFF00) | value); break;
    case 3: ms.buffer_address = static_cast<uint16_t>((ms.buffer_address & 0x00FF) | value << 8); break;
    case 4:
        if (u) {
            u->block_number = static_cast<uint16_t>((u->block_number & 0xFF00) | value);
            u->cached = 0;
        }
        break;
    case 5:
        if (u) {
            u->block_number = static_cast<uint16_t>((u->block_number & 0x00FF) | value << 8);
            u->cached = 0;
        }
        break;
    case 6: ms.spare = value; break;
    default: break;
    }
}

bool ms_busy()
{
    MassStorage& ms = machine.ms;
    if (!ms.active) return false;
    if (cpu_cycles() - ms.command_stamp < MS_BUSY_CYCLES) return true;
    ms.active = 0;
    return false;
}

void ms_mount_defaults()
{
    static constexpr const char* names[UNITS] = {"hdv1.hdv", "hdv2.hdv", "", ""};
    for (int i = 0; i < UNITS; ++i) {
        MassStorageUnit& u = machine.ms.units[i];
        if (u.fd >= 0) close(u.fd);
        u.fd = -1;
        u.name.fill('\0');
        std::memcpy(u.name.data(), names[i], std::strlen(names[i]));
        u.cached = 0;
        // Never creates a missing file nor truncates one; anything but a
        // regular file counts as missing. Held by another process, the unit
        // is mounted write-protected.
        bool in_use = false;
        if (names[i][0]) u.fd = host_open_image(names[i], &in_use);
        u.write_protected = in_use;
        u.size = u.fd >= 0 ? host_file_length(u.fd) : 0;
    }
    machine.ms.unit = 0;
    machine.ms.status = MS_OK;
}

bool ms_any_in_use()
{
    for (const MassStorageUnit& u : machine.ms.units)
        if (u.fd >= 0 && u.write_protected) return true;
    return false;
}

void ms_close_all()
{
    for (MassStorageUnit& u : machine.ms.units) {
        if (u.fd < 0) continue;
        // Measured now, not at start-up: a unit written without a format
        // command holds data even though its size field still says 0. A file
        // another process holds is not ours to delete.
        if (!u.write_protected) {
            char name[80];
            const size_t n = strnlen(u.name.data(), u.name.size() - 1);
            std::memcpy(name, u.name.data(), n);
            name[n] = '\0';
            host_remove_if_empty(u.fd, name);
        }
        close(u.fd);
        u.fd = -1;
    }
}
