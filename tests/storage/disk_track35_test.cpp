// Track 35, one past a standard image: found by the random-code soak, where
// a program stepped the head to half-track 70 and wrote a track there, and
// the flush lengthened the image by 4096 bytes. For the kinds that are told
// apart by their exact length that changed the kind at the next mount.
#include "storage_test_util.h"

namespace {

struct Track35 : ::testing::Test {
    TempWorkDir dir;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { disk_flush_all(); }

    // Track 34's sectors, rewritten with new contents, flushed with the head
    // on track t, as a program copying a track outwards would do.
    void write_track_at(int t)
    {
        machine.disk.current_drive = 0;
        DiskDrive& d = machine.disk.drive[0];
        d.half_track = 68;
        disk_load_track(0);
        std::vector<uint8_t> data(256, 0x5A);
        for (int s = 0; s < 16; ++s)
            disk_encode_sector(machine.disk.track.data() + s * DISK_SECTOR_NIBBLES, data.data(), t, s);
        d.half_track = 2 * t;
        d.track_dirty = 1;
        disk_flush_track(0);
    }
};

TEST_F(Track35, WritingTrack35NeverLengthensAnImage)
{
    struct Case { const char* name; size_t size; int32_t kind; };
    const Case cases[] = {
        {"a.2mg", 143424, DISK_2MG},
        {"a.img", 143390, DISK_SIMSYSTEM},
        {"a.dsk", 143360, DISK_DOS},
        {"a.nib", 232960, DISK_NIBBLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = image_bytes(c.size);
        if (c.kind == DISK_2MG) std::memcpy(bytes.data(), "2IMG", 4);
        write_file(c.name, bytes);
        mount_as(0, c.name);
        ASSERT_EQ(machine.disk.drive[0].kind, c.kind);
        write_track_at(35);
        disk_unmount(0);
        EXPECT_EQ(read_file(c.name), bytes);
        mount_as(0, c.name);
        EXPECT_EQ(machine.disk.drive[0].kind, c.kind);
        disk_unmount(0);
    }
}

TEST_F(Track35, ImagesThatHoldTrack35AreWrittenThere)
{
    // A 40-track DOS-order image: track 35 lies inside the file.
    write_file("forty.dsk", image_bytes(40 * 4096));
    mount_as(0, "forty.dsk");
    write_track_at(35);
    disk_unmount(0);
    const std::vector<uint8_t> now = read_file("forty.dsk");
    ASSERT_EQ(now.size(), 40u * 4096);
    EXPECT_EQ(std::vector<uint8_t>(now.begin() + 35 * 4096, now.begin() + 36 * 4096),
              std::vector<uint8_t>(4096, 0x5A));
    // Track 34 of a standard image is written as before.
    write_file("std.dsk", image_bytes(143360));
    mount_as(0, "std.dsk");
    write_track_at(34);
    disk_unmount(0);
    const std::vector<uint8_t> std_now = read_file("std.dsk");
    ASSERT_EQ(std_now.size(), 143360u);
    EXPECT_EQ(std::vector<uint8_t>(std_now.begin() + 34 * 4096, std_now.end()), std::vector<uint8_t>(4096, 0x5A));
}

} // namespace
