#include "storage_test_util.h"

namespace {

struct Controller : ::testing::Test {
    TempWorkDir dir;
    void SetUp() override
    {
        test_reset_machine();
        write_file("a.nib", image_bytes(35 * TRACK_NIBBLES));
        write_file("b.nib", image_bytes(35 * TRACK_NIBBLES));
        mount_as(0, "a.nib");
        mount_as(1, "b.nib");
        ASSERT_GE(machine.disk.drive[0].fd, 0);
        ASSERT_EQ(machine.disk.drive[0].kind, DISK_NIBBLE);
    }
    void TearDown() override { disk_flush_all(); }
    DiskDrive& d0() { return machine.disk.drive[0]; }
};

TEST_F(Controller, StepperFollowsAdjacentPhases)
{
    motor_on();
    for (int p : {1, 2, 3, 0}) phase_on(p);
    EXPECT_EQ(d0().half_track, 4);
    for (int p : {3, 2, 1, 0}) phase_on(p);
    EXPECT_EQ(d0().half_track, 0);
    // The head's own phase and the opposite one hold it.
    phase_on(0);
    phase_on(2);
    EXPECT_EQ(d0().half_track, 0);
    // Phase-off switches do nothing.
    for (int n = 0; n < 8; n += 2) sw_read(n);
    EXPECT_EQ(d0().half_track, 0);
    // The opposite phase left no mark: phase 1 lies next to the head's.
    phase_on(1);
    EXPECT_EQ(d0().half_track, 1);
}

// ProDOS 2.4.3 on the ][+, as it boots: at half-track 10 it switches on
// phase 0, opposite the head, and then steps down from there. The head
// follows the magnets down to track 0 and stays on it, instead of ending at
// half-track 3 and then rocking between 2 and 3 as the program tries again.
TEST_F(Controller, RecalibrationFromTheFarPhaseReachesTrackZero)
{
    motor_on();
    for (int p : {1, 2, 3, 0, 1, 2, 3, 0, 1, 2}) phase_on(p);
    ASSERT_EQ(d0().half_track, 10);
    const std::vector<int> expected = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    std::vector<int> seen;
    for (int p : {0, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0}) {
        phase_on(p);
        seen.push_back(d0().half_track);
    }
    EXPECT_EQ(seen, expected);
    for (int p : {1, 0, 1, 0}) phase_on(p);
    EXPECT_EQ(d0().half_track, 0);
    EXPECT_EQ(sw_read(12), image_byte(0)); // track 0 under the head
}

// A seek that starts from the wrong phase still ends on the phase it
// switches on last: from half-track 6 (phase 2), phase 0 first, then down
// through 3, 2, 1, 0, 3, 2.
TEST_F(Controller, SeekAfterTheFarPhaseEndsAtTheLastPhase)
{
    motor_on();
    for (int p : {1, 2, 3, 0, 1, 2}) phase_on(p);
    for (int p : {0, 3, 2, 1, 0, 3, 2}) phase_on(p);
    EXPECT_EQ(d0().half_track, 2);
    EXPECT_EQ(sw_read(12), image_byte(1 * TRACK_NIBBLES));
}

TEST_F(Controller, StepperStopsAtHalfTracksZeroAndSeventy)
{
    motor_on();
    phase_on(3); // one step down from 0
    EXPECT_EQ(d0().half_track, 0);
    int p = 0;
    for (int i = 0; i < 70; ++i) phase_on(p = (p + 1) & 3);
    EXPECT_EQ(d0().half_track, 70);
    phase_on((p + 1) & 3); // one step up from 70
    EXPECT_EQ(d0().half_track, 70);
    phase_on((p + 3) & 3);
    EXPECT_EQ(d0().half_track, 69);
}

TEST_F(Controller, StepperIgnoresPhasesWhileMotorIsOff)
{
    phase_on(1);
    EXPECT_EQ(d0().half_track, 0);
    motor_on();
    phase_on(1);
    EXPECT_EQ(d0().half_track, 1);
    sw_read(8);
    phase_on(2); // the run-on counts as on
    EXPECT_EQ(d0().half_track, 2);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES;
    phase_on(3);
    EXPECT_EQ(d0().half_track, 2);
}

TEST_F(Controller, ReadsTurnTheTrackOnceAndWrap)
{
    const std::vector<uint8_t> image = read_file("a.nib");
    motor_on();
    sw_read(13); // sense mode: loads the track without taking a nibble
    std::vector<uint8_t> seen;
    for (int i = 0; i < TRACK_NIBBLES; ++i) seen.push_back(sw_read(12));
    EXPECT_TRUE(std::equal(seen.begin(), seen.end(), image.begin()));
    EXPECT_EQ(sw_read(12), image[0]);
    EXPECT_EQ(sw_read(12), image[1]);
    // Every switch returns the latch: the phase, motor and select switches too.
    EXPECT_EQ(sw_read(0), image[1]);
    EXPECT_EQ(sw_read(10), image[1]);
}

TEST_F(Controller, TrackUnderTheHeadIsLoadedAtTheNextDataAccess)
{
    const std::vector<uint8_t> image = read_file("a.nib");
    motor_on();
    for (int p : {1, 2, 3, 0, 1, 2}) phase_on(p); // half-track 6: track 3
    EXPECT_EQ(sw_read(12), image[3 * TRACK_NIBBLES]);
    phase_on(3); // odd half-track 7: the buffer keeps track 3
    EXPECT_EQ(sw_read(12), image[3 * TRACK_NIBBLES + 1]);
}

TEST_F(Controller, SenseAndMotorOffReads)
{
    motor_on();
    EXPECT_EQ(sw_read(13), 0x00); // writable
    d0().write_protected = 1;
    EXPECT_EQ(sw_read(13), 0xFF);
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES;
    EXPECT_EQ(sw_read(12), 0x00);
    EXPECT_EQ(sw_read(13), 0x00);
}

TEST_F(Controller, WriteThenStepAwayWritesTheImageAtOnce)
{
    motor_on();
    sw_read(13); // loads the track
    for (uint8_t v : {0xD5, 0xAA, 0x96, 0xFF}) sw_write(15, v);
    sw_write(13, 0xB7); // a store to $C0ED in write mode writes too
    sw_read(15); // loads in write mode write nothing
    sw_read(15);
    EXPECT_EQ(machine.disk.position, 5u);
    EXPECT_EQ(d0().track_dirty, 1);
    EXPECT_EQ(file_part("a.nib", 0, 5), image_bytes(5));
    phase_on(1);
    EXPECT_EQ(d0().track_dirty, 0);
    EXPECT_EQ(file_part("a.nib", 0, 5), (std::vector<uint8_t>{0xD5, 0xAA, 0x96, 0xFF, 0xB7}));
    EXPECT_EQ(file_part("a.nib", 5, 10), file_part("b.nib", 5, 10));
}

TEST_F(Controller, WriteThenSelectOtherDriveWritesAndHandsOverTheMotor)
{
    motor_on();
    sw_read(13);
    sw_write(15, 0x9A);
    sw_write(15, 0x9B);
    EXPECT_EQ(machine.disk.position, 2u);
    sw_read(11);
    EXPECT_EQ(machine.disk.current_drive, 1u);
    EXPECT_EQ(file_part("a.nib", 0, 2), (std::vector<uint8_t>{0x9A, 0x9B}));
    EXPECT_EQ(machine.disk.drive[0].motor, 0);
    EXPECT_EQ(machine.disk.drive[1].motor, 1);
    EXPECT_EQ(machine.disk.position, 0u);
    // The buffer now holds drive 2's track.
    EXPECT_EQ(sw_read(12), image_byte(0));
    EXPECT_EQ(file_part("b.nib", 0, 2), image_bytes(2));
}

TEST_F(Controller, WritesIgnoredWhenProtectedOnOddHalfTrackOrMotorOff)
{
    motor_on();
    d0().write_protected = 1;
    sw_write(15, 0x96);
    EXPECT_EQ(d0().track_dirty, 0);
    d0().write_protected = 0;
    phase_on(1);
    sw_write(15, 0x96);
    EXPECT_EQ(d0().track_dirty, 0);
    phase_on(0);
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES;
    sw_write(15, 0x96);
    EXPECT_EQ(d0().track_dirty, 0);
    EXPECT_EQ(machine.disk.latch, 0x96); // a store still sets the latch
    disk_flush_all();
    EXPECT_EQ(read_file("a.nib"), image_bytes(35 * TRACK_NIBBLES));
}

// ---- The motor's run-on ----------------------------------------------------

// The run-on is timed in processor cycles and spans the counter's wrap here.
TEST_F(Controller, MotorRunsOnForASecondAfterTheOffSwitch)
{
    machine.cpu.reg.cycles = 0xFFFFFFFFu - 500'000;
    motor_on();
    EXPECT_EQ(sw_read(12), image_byte(0));
    sw_read(8);
    EXPECT_EQ(d0().motor, 0);
    EXPECT_TRUE(disk_motor_spinning()); // before the wrap
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES - 1;
    EXPECT_TRUE(disk_motor_spinning());
    EXPECT_EQ(sw_read(12), image_byte(1)); // the data latch goes on reading
    machine.cpu.reg.cycles += 1;
    EXPECT_FALSE(disk_motor_spinning());
    EXPECT_EQ(sw_read(12), 0x00);
    sw_read(8); // off while stopped: no new run-on
    EXPECT_FALSE(disk_motor_spinning());

    // Also without the per-line call the next access finds the motor stopped.
    motor_on();
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES;
    EXPECT_EQ(sw_read(12), 0x00);
    EXPECT_FALSE(disk_motor_spinning());
}

TEST_F(Controller, MotorSwitchedOnAgainDuringTheRunOnKeepsTurning)
{
    motor_on();
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES / 2;
    motor_on();
    machine.cpu.reg.cycles += 3 * DISK_RUN_ON_CYCLES;
    EXPECT_TRUE(disk_motor_spinning());
    EXPECT_EQ(sw_read(12), image_byte(0));
    // Off again: a whole run-on from this switch.
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES - 1;
    EXPECT_TRUE(disk_motor_spinning());
    machine.cpu.reg.cycles += 1;
    EXPECT_FALSE(disk_motor_spinning());
}

// A command's last write is in the image as soon as the program switches
// the motor off; what is written during the run-on, when the motor stops.
TEST_F(Controller, TrackIsWrittenBackAtTheOffSwitchAndWhenTheMotorStops)
{
    motor_on();
    sw_read(13);
    sw_write(15, 0x9A);
    sw_write(15, 0x9B);
    sw_read(8);
    EXPECT_EQ(file_part("a.nib", 0, 2), (std::vector<uint8_t>{0x9A, 0x9B}));
    EXPECT_TRUE(disk_motor_spinning());
    sw_write(15, 0x9D);
    EXPECT_EQ(d0().track_dirty, 1);
    EXPECT_EQ(file_part("a.nib", 2, 1), std::vector<uint8_t>{image_byte(2)});
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES;
    EXPECT_FALSE(disk_motor_spinning());
    EXPECT_EQ(d0().track_dirty, 0);
    EXPECT_EQ(file_part("a.nib", 0, 3), (std::vector<uint8_t>{0x9A, 0x9B, 0x9D}));
}

// The controller has one motor line: a select during the run-on passes it,
// with the time left, to the new drive, and the old one stops.
TEST_F(Controller, RunOnPassesToTheSelectedDrive)
{
    motor_on();
    sw_read(8);
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES / 2;
    sw_read(11);
    EXPECT_EQ(machine.disk.drive[0].run_on, 0);
    EXPECT_EQ(machine.disk.drive[1].run_on, 1);
    EXPECT_EQ(sw_read(12), image_byte(0)); // drive 2 turns
    machine.cpu.reg.cycles += DISK_RUN_ON_CYCLES - DISK_RUN_ON_CYCLES / 2 - 1;
    EXPECT_TRUE(disk_motor_spinning());
    machine.cpu.reg.cycles += 1;
    EXPECT_FALSE(disk_motor_spinning());
    sw_read(10);
    EXPECT_EQ(sw_read(12), 0x00); // drive 1 stopped at the select
}

TEST_F(Controller, EmptyDriveReadsFFAndTakesNoData)
{
    disk_unmount(1);
    ASSERT_TRUE(disk_any_mounted());
    motor_on();
    sw_read(11);
    sw_read(14);
    EXPECT_EQ(sw_read(12), 0xFF);
    sw_write(15, 0x96);
    sw_read(10); // back to drive 1: its own track again
    EXPECT_EQ(sw_read(12), image_byte(0));
}

} // namespace
