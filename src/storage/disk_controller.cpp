// Disk II controller in slot 6: the sixteen switches at $C0E0-$C0EF, the head
// stepper, the motor with its run-on and the read/write latch. The track
// turns one nibble per access to the latch; there is no rotation timing, bit
// shifting or sync detection. The run-on alone is timed, in processor cycles.
#include "cpu/cpu.h"
#include "storage/disk.h"

namespace {

constexpr int32_t HALF_TRACK_MAX = 70; // a 35-track disk, plus track 35 itself

bool even(int32_t half_track) { return (half_track & 1) == 0; }

bool turning(const DiskDrive& d) { return d.motor || d.run_on; }

// The buffer holds a changed track only for the selected drive on an even
// half-track (writes on odd ones are dropped).
void write_back(uint32_t drive)
{
    DiskDrive& d = machine.disk.drive[drive];
    if (d.track_dirty && even(d.half_track)) disk_flush_track(static_cast<int>(drive));
}

// The run-on is measured as a difference of the wrapping cycle counter, so
// it must be looked at within 2^32 cycles; poll_events does so every line.
bool run_on_over(const DiskDrive& d)
{
    return d.run_on && cpu_cycles() - d.run_on_since >= DISK_RUN_ON_CYCLES;
}

// The motor stops at the end of its run-on: what was written meanwhile goes
// to the image.
void run_on_end(uint32_t drive)
{
    machine.disk.drive[drive].run_on = 0;
    write_back(drive);
}

// $C0E8: the controller keeps the motor line up for about a second, so a
// program that switches the motor on again soon finds the disk still at
// speed. The track is written back at once, so that a finished command is
// in the image even while the disk runs on.
void disk_motor_off(uint32_t drive)
{
    DiskDrive& d = machine.disk.drive[drive];
    if (!d.motor) return;
    d.motor = 0;
    d.run_on = 1;
    d.run_on_since = cpu_cycles();
    write_back(drive);
}

// $C0E1-$C0E7 odd: a phase switched on pulls the head toward itself. The
// head stands at the phase half_track mod 4; a neighbouring phase moves it
// one half-track, the opposite one pulls from both sides and leaves it where
// it is. Phases switched off do nothing; the stepper ignores phases while
// the motor is off (the run-on counts as on).
void disk_phase(uint32_t n)
{
    DiskController& c = machine.disk;
    DiskDrive& d = c.drive[c.current_drive];
    if ((n & 1) == 0 || !turning(d)) return;
    const int32_t old = d.half_track;
    const int32_t pull = (static_cast<int32_t>(n >> 1) - old) & 3;
    int32_t next = old;
    if (pull == 1) ++next;
    else if (pull == 3) --next;
    if (next < 0) next = 0;
    if (next > HALF_TRACK_MAX) next = HALF_TRACK_MAX;
    if (next == old) return;

    write_back(c.current_drive);
    d.half_track = next;
    d.track_stale = 1;
}

// $C0EA/$C0EB: the buffer follows the selected drive. The controller has one
// motor line, which the select passes to the new drive: running, or running
// on with the time it has left. The drive left behind stops.
void disk_select(uint32_t wanted)
{
    DiskController& c = machine.disk;
    if (wanted == c.current_drive) return;
    DiskDrive& old = c.drive[c.current_drive];
    write_back(c.current_drive);
    c.current_drive = wanted;
    disk_load_track(static_cast<int>(wanted));
    c.position = 0;
    DiskDrive& now = c.drive[wanted];
    now.motor = old.motor;
    now.run_on = old.run_on;
    now.run_on_since = old.run_on_since;
    old.motor = 0;
    old.run_on = 0;
}

// $C0EC-$C0EF: Q6 and Q7, then one latch cycle in the mode they select.
void disk_latch(uint32_t n)
{
    DiskController& c = machine.disk;
    DiskDrive& d = c.drive[c.current_drive];
    if (d.track_stale && even(d.half_track)) {
        disk_load_track(static_cast<int>(c.current_drive));
        c.position = 0;
    }
    switch (n) {
    case 12: d.q6 = 0; break;
    case 13: d.q6 = 1; break;
    case 14: d.q7 = 0; break;
    default: d.q7 = 1; break;
    }

    if (!turning(d)) {
        if (!c.store_access) c.latch = 0x00;
        return;
    }
    if (!d.q7) {
        if (d.q6) {
            c.latch = d.write_protected ? 0xFF : 0x00;
        } else {
            c.latch = c.track[c.position];
            c.position = (c.position + 1) % TRACK_NIBBLES;
        }
    } else if (c.store_access && !d.write_protected && even(d.half_track)) {
        // On an odd half-track the buffer still holds the previous track, so
        // writes there are dropped rather than put on the wrong track.
        c.track[c.position] = c.latch;
        c.position = (c.position + 1) % TRACK_NIBBLES;
        d.track_dirty = 1;
    }
}

//  n   switch                 n   switch
//  0-7 phase 0-3 off/on       8   motor off        9  motor on
// 10   select drive 1        11   select drive 2
// 12   Q6 off (data)         13   Q6 on (sense)
// 14   Q7 off (read)         15   Q7 on (write)
void disk_switch(uint32_t n)
{
    DiskController& c = machine.disk;
    if (run_on_over(c.drive[c.current_drive])) run_on_end(c.current_drive);
    if (n < 8) {
        disk_phase(n);
    } else if (n == 8) {
        disk_motor_off(c.current_drive);
    } else if (n == 9) {
        DiskDrive& d = c.drive[c.current_drive];
        d.motor = 1;
        d.run_on = 0;
    } else if (n < 12) {
        disk_select(n - 10);
    } else {
        disk_latch(n);
    }
}

} // namespace

uint8_t disk_io_read(uint16_t address)
{
    machine.disk.access_stamp = cpu_cycles();
    machine.disk.store_access = 0;
    disk_switch(address & 0x0F);
    return machine.disk.latch;
}

void disk_io_write(uint16_t address, uint8_t value)
{
    DiskController& c = machine.disk;
    c.access_stamp = cpu_cycles();
    c.store_access = 1;
    if ((address & 0x0C) == 0x0C) c.latch = value;
    disk_switch(address & 0x0F);
    c.store_access = 0;
}

bool disk_any_mounted()
{
    return machine.disk.drive[0].fd >= 0 || machine.disk.drive[1].fd >= 0;
}

// Two emulated seconds: longer than DOS waits for a motor to come up to
// speed without touching the drive, short enough that a program which
// leaves the motor running and no longer reads the disk counts as idle.
bool disk_recently_used() { return cpu_cycles() - machine.disk.access_stamp < 2 * 1'017'000u; }

bool disk_motor_spinning()
{
    DiskController& c = machine.disk;
    bool spinning = false;
    for (uint32_t i = 0; i < 2; ++i) {
        const DiskDrive& d = c.drive[i];
        if (d.motor) {
            spinning = true;
        } else if (d.run_on) {
            if (run_on_over(d)) run_on_end(i);
            else spinning = true;
        }
    }
    return spinning;
}
