#include <fcntl.h>
#include <unistd.h>

#include "storage_test_util.h"

namespace {

constexpr size_t DSK_SIZE = 143360;

struct Image : ::testing::Test {
    TempWorkDir dir;
    void SetUp() override { test_reset_machine(); }
    void TearDown() override { disk_flush_all(); }

    // Loads track t of a drive into the buffer as the controller would.
    void load(int drive, int t)
    {
        machine.disk.current_drive = static_cast<uint32_t>(drive);
        machine.disk.drive[drive].half_track = 2 * t;
        disk_load_track(drive);
    }
    void flush(int drive, int t)
    {
        machine.disk.current_drive = static_cast<uint32_t>(drive);
        machine.disk.drive[drive].half_track = 2 * t;
        machine.disk.drive[drive].track_dirty = 1;
        disk_flush_track(drive);
    }
    // Loads track t and puts new data into its physical sector s, as a write
    // through the controller would.
    void put_sector(int drive, int t, int s, const std::vector<uint8_t>& data)
    {
        load(drive, t);
        disk_encode_sector(machine.disk.track.data() + s * DISK_SECTOR_NIBBLES, data.data(), t, s);
    }
    // The 256 bytes of the data field of physical sector s in the buffer.
    std::vector<uint8_t> sector_in_buffer(int s)
    {
        std::vector<uint8_t> data(256);
        EXPECT_TRUE(disk_decode_data(machine.disk.track.data(), s * DISK_SECTOR_NIBBLES + 28, data.data()));
        return data;
    }
};

// Puts dup of a fresh descriptor of the same file with these flags over fd.
void reopen(int fd, int flags)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    const int other = ::open(path, flags);
    ASSERT_GE(other, 0);
    ASSERT_GE(::dup2(other, fd), 0);
    ::close(other);
}

std::vector<uint8_t> new_sector(uint8_t seed)
{
    std::vector<uint8_t> data(256);
    for (int i = 0; i < 256; ++i) data[i] = static_cast<uint8_t>(i * 5 + seed);
    return data;
}

std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

uint8_t four_and_four(const uint8_t* p) { return static_cast<uint8_t>(((p[0] << 1) | 0x55) & p[1]); }

// Without a 2MG signature only the length counts; 143424 bytes alone no
// longer make a 2MG image (see the 2MG tests below).
TEST_F(Image, KindIsDetectedByLength)
{
    struct Case { const char* name; size_t size; int32_t kind; };
    const Case cases[] = {
        {"plain.dsk", 143360, DISK_DOS},    {"order.PO", 143360, DISK_PRODOS},
        {"order.po.dsk", 143360, DISK_DOS}, {"big.po", 143424, DISK_DOS},
        {"sim.img", 143390, DISK_SIMSYSTEM}, {"two.2mg", 143424, DISK_DOS},
        {"n1.nib", 232960, DISK_NIBBLE},    {"n2.bin", 200000, DISK_NIBBLE},
        {"short.bin", 199999, DISK_DOS},    {"odd.po", 1000, DISK_DOS},
    };
    for (const Case& c : cases) {
        write_file(c.name, std::vector<uint8_t>(c.size, 0));
        mount_as(0, c.name);
        EXPECT_GE(machine.disk.drive[0].fd, 0) << c.name;
        EXPECT_EQ(machine.disk.drive[0].kind, c.kind) << c.name;
        EXPECT_EQ(machine.disk.drive[0].size, static_cast<int32_t>(c.size)) << c.name;
        disk_unmount(0);
    }
    // A kind set by the caller is kept.
    mount_as(0, "plain.dsk", DISK_PRODOS);
    EXPECT_EQ(machine.disk.drive[0].kind, DISK_PRODOS);
    disk_unmount(0);
}

TEST_F(Image, MountPreparesTheDriveAndMissingFilesLeaveItEmpty)
{
    EXPECT_FALSE(disk_any_mounted());
    mount_as(1, "missing.dsk");
    EXPECT_LT(machine.disk.drive[1].fd, 0);
    EXPECT_FALSE(disk_any_mounted());

    write_file("disk6a.dsk", image_bytes(DSK_SIZE));
    machine.disk.drive[0].half_track = 9;
    machine.disk.drive[0].write_protected = 1;
    machine.disk.drive[0].motor = 1;
    machine.disk.current_drive = 1;
    machine.disk.latch = 0x44;
    disk_mount_defaults();
    const DiskDrive& d = machine.disk.drive[0];
    EXPECT_GE(d.fd, 0);
    EXPECT_EQ(d.kind, DISK_DOS);
    EXPECT_EQ(d.half_track, 0);
    EXPECT_EQ(d.write_protected, 0);
    EXPECT_EQ(d.motor, 0);
    EXPECT_EQ(d.track_stale, 1);
    EXPECT_LT(machine.disk.drive[1].fd, 0); // disk6b.dsk is absent
    EXPECT_FALSE(file_exists("disk6b.dsk"));
    EXPECT_EQ(machine.disk.current_drive, 0u);
    EXPECT_EQ(machine.disk.latch, 0);
    EXPECT_TRUE(disk_any_mounted());
    disk_flush_all();
    EXPECT_FALSE(disk_any_mounted());
    EXPECT_EQ(read_file("disk6a.dsk"), image_bytes(DSK_SIZE));
}

TEST_F(Image, SectorTrackLayoutAndMaps)
{
    // Image sector k of every track filled with the byte k.
    std::vector<uint8_t> bytes(DSK_SIZE);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / 256 % 16);
    write_file("dos.dsk", bytes);
    write_file("pro.po", bytes);
    mount_as(0, "dos.dsk");
    mount_as(1, "pro.po");
    ASSERT_EQ(machine.disk.drive[1].kind, DISK_PRODOS);

    load(0, 0);
    EXPECT_EQ(sector_in_buffer(1), std::vector<uint8_t>(256, 7));
    for (int s = 0; s < 16; ++s)
        EXPECT_EQ(sector_in_buffer(s), std::vector<uint8_t>(256, DISK_DOS_ORDER[s])) << s;
    load(1, 0);
    EXPECT_EQ(sector_in_buffer(1), std::vector<uint8_t>(256, 8));

    // Address field of sector 5 on track 17: volume 254, 4-and-4 coded.
    load(0, 17);
    const uint8_t* a = machine.disk.track.data() + 5 * DISK_SECTOR_NIBBLES;
    EXPECT_EQ(std::vector<uint8_t>(a, a + 9),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD5, 0xAA, 0x96}));
    EXPECT_EQ(four_and_four(a + 9), 254);
    EXPECT_EQ(four_and_four(a + 11), 17);
    EXPECT_EQ(four_and_four(a + 13), 5);
    EXPECT_EQ(four_and_four(a + 15), 254 ^ 17 ^ 5);
    EXPECT_EQ(std::vector<uint8_t>(a + 17, a + 28),
              (std::vector<uint8_t>{0xDE, 0xAA, 0xEB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD5, 0xAA, 0xAD}));
    EXPECT_EQ(std::vector<uint8_t>(a + 371, a + 374), (std::vector<uint8_t>{0xDE, 0xAA, 0xEB}));
    // After sixteen sectors the rest of the track is sync.
    for (int i = 16 * DISK_SECTOR_NIBBLES; i < TRACK_NIBBLES; ++i) ASSERT_EQ(machine.disk.track[i], 0xFF) << i;
}

TEST_F(Image, UnchangedTrackFlushesTheSameBytes)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    write_file("img.po", image_bytes(DSK_SIZE));
    for (const char* name : {"img.dsk", "img.po"}) {
        mount_as(0, name);
        load(0, 5);
        // Spoil the file's track, so only the flush can put it back.
        std::vector<uint8_t> spoilt = image_bytes(DSK_SIZE);
        std::fill(spoilt.begin() + 5 * 4096, spoilt.begin() + 6 * 4096, 0);
        const int fd = ::open(name, O_WRONLY);
        ASSERT_EQ(::pwrite(fd, spoilt.data() + 5 * 4096, 4096, 5 * 4096), 4096);
        ::close(fd);
        flush(0, 5);
        EXPECT_EQ(read_file(name), image_bytes(DSK_SIZE)) << name;
        disk_unmount(0);
    }
}

TEST_F(Image, RewrittenTrackWithMovedSectorsDecodes)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    mount_as(0, "img.dsk");
    // New contents for track 3, laid out from nibble 1000 in reverse order
    // with wider gaps, the last sectors running over the end of the buffer.
    std::array<uint8_t, TRACK_NIBBLES> nibbles;
    nibbles.fill(0xFF);
    std::vector<uint8_t> expected = image_bytes(DSK_SIZE);
    std::vector<uint8_t> enc(DISK_SECTOR_NIBBLES);
    for (int k = 0; k < 16; ++k) {
        const int s = 15 - k;
        uint8_t data[256];
        for (int i = 0; i < 256; ++i) data[i] = static_cast<uint8_t>(i ^ (s * 17) ^ 0x5A);
        std::memcpy(expected.data() + 3 * 4096 + DISK_DOS_ORDER[s] * 256, data, 256);
        disk_encode_sector(enc.data(), data, 3, s);
        for (int i = 0; i < DISK_SECTOR_NIBBLES; ++i) nibbles[(1000 + k * 400 + i) % TRACK_NIBBLES] = enc[i];
    }
    // Put them on the disk through the controller, head on track 3.
    motor_on();
    for (int p : {1, 2, 3, 0, 1, 2}) phase_on(p);
    sw_read(13);
    ASSERT_EQ(machine.disk.position, 0u);
    for (uint8_t n : nibbles) sw_write(15, n);
    phase_on(3);
    EXPECT_EQ(machine.disk.drive[0].write_failures, 0u);
    EXPECT_EQ(read_file("img.dsk"), expected);
}

TEST_F(Image, TrackWithoutAddressFieldsWritesNothing)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    mount_as(0, "img.dsk");
    machine.disk.track.fill(0xFF);
    for (int i = 0; i < TRACK_NIBBLES; i += 7) machine.disk.track[i] = 0xD5; // marks without fields
    flush(0, 2);
    EXPECT_EQ(machine.disk.drive[0].track_dirty, 0);
    EXPECT_EQ(read_file("img.dsk"), image_bytes(DSK_SIZE));
}

TEST_F(Image, DataFieldWithBadChecksumKeepsTheOldSector)
{
    const std::vector<uint8_t> original = image_bytes(DSK_SIZE);
    write_file("img.dsk", original);
    mount_as(0, "img.dsk");
    load(0, 1);
    uint8_t& n = machine.disk.track[4 * DISK_SECTOR_NIBBLES + 28 + 100]; // a data nibble of sector 4
    n = n == 0x96 ? 0x97 : 0x96;
    // Spoil the file's track so every sector the flush writes shows.
    std::vector<uint8_t> spoilt = original;
    std::fill(spoilt.begin() + 4096, spoilt.begin() + 2 * 4096, 0);
    write_file("img.dsk", spoilt);
    flush(0, 1);
    const std::vector<uint8_t> now = read_file("img.dsk");
    ASSERT_EQ(now.size(), DSK_SIZE);
    for (int s = 0; s < 16; ++s) {
        const size_t at = 4096 + DISK_DOS_ORDER[s] * 256;
        const std::vector<uint8_t> got(now.begin() + at, now.begin() + at + 256);
        const std::vector<uint8_t> want =
            s == 4 ? std::vector<uint8_t>(256, 0) : std::vector<uint8_t>(original.begin() + at, original.begin() + at + 256);
        EXPECT_EQ(got, want) << "sector " << s;
    }
}

TEST_F(Image, TracksBeyondTheImageReadAsFF)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    write_file("img.nib", image_bytes(35 * TRACK_NIBBLES));
    mount_as(0, "img.dsk");
    mount_as(1, "img.nib");
    load(0, 35);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(sector_in_buffer(s), std::vector<uint8_t>(256, 0xFF)) << s;
    load(1, 35);
    for (uint8_t n : machine.disk.track) ASSERT_EQ(n, 0xFF);
    // A short nibble file: the part that exists, then $FF.
    write_file("part.nib", image_bytes(200000));
    disk_unmount(1);
    mount_as(1, "part.nib");
    load(1, 30); // 30 x 6656 = 199680: 320 bytes left
    EXPECT_EQ(machine.disk.track[319], image_byte(199999));
    EXPECT_EQ(machine.disk.track[320], 0xFF);
}

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A 2MG header (header length 64, the format, flags, data offset and
// length) before the data, and a comment block of n bytes after it when n > 0.
std::vector<uint8_t> two_img(const std::vector<uint8_t>& data, uint32_t format, size_t comment = 0,
                             uint32_t flags = 0)
{
    std::vector<uint8_t> bytes(64 + data.size() + comment, 0);
    std::memcpy(bytes.data(), "2IMGtest", 8);
    bytes[8] = 64;
    bytes[10] = 1;
    put32(bytes, 12, format);
    put32(bytes, 16, flags);
    put32(bytes, 20, format == 1 ? static_cast<uint32_t>(data.size() / 512) : 0);
    put32(bytes, 24, 64);
    put32(bytes, 28, static_cast<uint32_t>(data.size()));
    if (comment) {
        put32(bytes, 32, static_cast<uint32_t>(64 + data.size()));
        put32(bytes, 36, static_cast<uint32_t>(comment));
    }
    std::copy(data.begin(), data.end(), bytes.begin() + 64);
    for (size_t i = 0; i < comment; ++i) bytes[64 + data.size() + i] = static_cast<uint8_t>('a' + i % 26);
    return bytes;
}

TEST_F(Image, TwoImgHeaderChoosesTheSectorOrder)
{
    std::vector<uint8_t> data(DSK_SIZE);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / 256 % 16);
    for (uint8_t format : {0, 1}) {
        const std::vector<uint8_t> bytes = two_img(data, format);
        write_file("x.2mg", bytes);
        mount_as(0, "x.2mg");
        ASSERT_EQ(machine.disk.drive[0].kind, DISK_2MG);
        load(0, 2);
        EXPECT_EQ(sector_in_buffer(1)[0], format == 0 ? 7 : 8);
        flush(0, 2);
        EXPECT_EQ(read_file("x.2mg"), bytes);
        disk_unmount(0);
    }
}

// A 2MG image is known by its signature whatever its length: a comment
// block after the data (as many tools write) leaves it a 2MG image, and
// writes change the data only, never the header or the comment.
TEST_F(Image, TwoImgWithACommentKeepsHeaderAndComment)
{
    const std::vector<uint8_t> data = image_bytes(DSK_SIZE);
    std::vector<uint8_t> expected = two_img(data, 0, 91);
    write_file("c.2mg", expected);
    mount_as(0, "c.2mg");
    ASSERT_EQ(machine.disk.drive[0].kind, DISK_2MG);
    EXPECT_EQ(machine.disk.drive[0].size, static_cast<int32_t>(DSK_SIZE + 64 + 91));
    load(0, 34);
    EXPECT_EQ(sector_in_buffer(1), std::vector<uint8_t>(data.begin() + 34 * 4096 + 7 * 256,
                                                         data.begin() + 34 * 4096 + 8 * 256));
    // Track 34, the last, written with new contents; then track 35, which
    // the image does not have.
    std::vector<uint8_t> sector(256, 0x3C);
    for (int s = 0; s < 16; ++s)
        disk_encode_sector(machine.disk.track.data() + s * DISK_SECTOR_NIBBLES, sector.data(), 34, s);
    flush(0, 34);
    flush(0, 35);
    std::fill(expected.begin() + 64 + 34 * 4096, expected.begin() + 64 + 35 * 4096, 0x3C);
    EXPECT_EQ(read_file("c.2mg"), expected);
}

// Headers that lie open nothing outside the part of their data area that
// lies within the file, after the 64 header bytes and before the comment.
TEST_F(Image, TwoImgHeaderThatLiesReachesNothingOutsideItsData)
{
    const std::vector<uint8_t> data = image_bytes(8192);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t from, to; // the bytes that may be written
    };
    std::vector<Case> cases;
    cases.push_back({"offset past the end", two_img(data, 0), 0, 0});
    put32(cases.back().bytes, 24, 1u << 30);
    cases.push_back({"offset over the header, length past the end", two_img(data, 1), 64, 64 + 8192});
    put32(cases.back().bytes, 24, 0);
    put32(cases.back().bytes, 28, 0xFFFFFFF0u);
    cases.push_back({"comment inside the data", two_img(data, 0, 30), 64, 64 + 4096});
    put32(cases.back().bytes, 32, 64 + 4096);

    std::vector<uint8_t> sector(256, 0x3C);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_file("lie.2mg", c.bytes);
        mount_as(0, "lie.2mg");
        ASSERT_EQ(machine.disk.drive[0].kind, DISK_2MG);
        load(0, 2);
        // Track 2 lies outside every one of these data areas.
        EXPECT_EQ(sector_in_buffer(0), std::vector<uint8_t>(256, 0xFF));
        for (int t = 0; t < 36; ++t) {
            for (int s = 0; s < 16; ++s)
                disk_encode_sector(machine.disk.track.data() + s * DISK_SECTOR_NIBBLES, sector.data(), t, s);
            flush(0, t);
        }
        disk_unmount(0);
        std::vector<uint8_t> want = c.bytes;
        std::fill(want.begin() + static_cast<long>(c.from), want.begin() + static_cast<long>(c.to), 0x3C);
        EXPECT_EQ(read_file("lie.2mg"), want);
    }
}

TEST_F(Image, TwoImgLockedFlagAndNibbleFormat)
{
    write_file("locked.2mg", two_img(image_bytes(DSK_SIZE), 1, 0, 0x80000000u));
    mount_as(0, "locked.2mg");
    EXPECT_EQ(machine.disk.drive[0].write_protected, 1);
    disk_unmount(0);
    write_file("open.2mg", two_img(image_bytes(DSK_SIZE), 1, 0, 0x7FFFFFFFu));
    mount_as(0, "open.2mg");
    EXPECT_EQ(machine.disk.drive[0].write_protected, 0);
    disk_unmount(0);

    // Nibble tracks after the header, then a comment.
    const std::vector<uint8_t> nibbles = image_bytes(35 * TRACK_NIBBLES);
    std::vector<uint8_t> bytes = two_img(nibbles, 2, 40);
    write_file("nib.2mg", bytes);
    mount_as(0, "nib.2mg");
    ASSERT_EQ(machine.disk.drive[0].kind, DISK_2MG);
    load(0, 34);
    EXPECT_TRUE(std::equal(machine.disk.track.begin(), machine.disk.track.end(),
                           nibbles.begin() + 34 * TRACK_NIBBLES));
    machine.disk.track.fill(0x96);
    flush(0, 34);
    flush(0, 35);
    std::fill(bytes.begin() + 64 + 34 * TRACK_NIBBLES, bytes.begin() + 64 + 35 * TRACK_NIBBLES, 0x96);
    EXPECT_EQ(read_file("nib.2mg"), bytes);
}

TEST_F(Image, RealTwoImgDiskShowsItsCatalogChain)
{
    SKIP_WITHOUT_TESTDATA("disks/dos33-files.2mg");
    copy_file(testdata("disks/dos33-files.2mg"), "files.2mg");
    mount_as(0, "files.2mg");
    load(0, 17);
    const std::vector<uint8_t> vtoc = sector_in_buffer(0);
    EXPECT_EQ(vtoc[1], 17);
    EXPECT_EQ(vtoc[2], 15);
    // Catalog sector 14 lies at physical sector 2 and links to sector 13.
    const std::vector<uint8_t> cat = sector_in_buffer(2);
    EXPECT_EQ(cat[1], 17);
    EXPECT_EQ(cat[2], 13);
}

TEST_F(Image, NibbleImageDecodesToTheSectorImage)
{
    SKIP_WITHOUT_TESTDATA("disks/blank.nib");
    SKIP_WITHOUT_TESTDATA("disks/blank.dsk");
    copy_file(testdata("disks/blank.nib"), "blank.nib");
    write_file("out.dsk", std::vector<uint8_t>(DSK_SIZE, 0xEE));
    mount_as(0, "blank.nib");
    mount_as(1, "out.dsk");
    ASSERT_EQ(machine.disk.drive[0].kind, DISK_NIBBLE);
    for (int t = 0; t < 35; ++t) {
        load(0, t);
        flush(1, t);
    }
    EXPECT_EQ(machine.disk.drive[1].write_failures, 0u);
    disk_flush_all();
    EXPECT_EQ(read_file("out.dsk"), read_file(testdata("disks/blank.dsk")));
    EXPECT_EQ(read_file("blank.nib"), read_file(testdata("disks/blank.nib")));
}

TEST_F(Image, FailedWriteIsKeptReadBackAndRetried)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    mount_as(0, "img.dsk");
    DiskDrive& d = machine.disk.drive[0];
    const std::vector<uint8_t> data = new_sector(0x77);
    put_sector(0, 3, 5, data);
    // Swap the image's descriptor for a read-only one: every write now fails.
    reopen(d.fd, O_RDONLY);
    flush(0, 3);
    EXPECT_EQ(d.write_failures, 1u);
    EXPECT_EQ(machine.fe.status_text, padded("Disk write failed: img.dsk"));
    EXPECT_EQ(d.pending, 1);
    // The drive now reads as write-protected, so no second track can come.
    EXPECT_EQ(d.write_protected, 1);
    motor_on();
    EXPECT_EQ(sw_read(13), 0xFF);
    sw_read(12);

    // The head moves on and comes back: the track reads as it was written.
    load(0, 4);
    EXPECT_EQ(d.write_failures, 2u); // tried again at the load
    load(0, 3);
    EXPECT_EQ(sector_in_buffer(5), data);
    EXPECT_EQ(read_file("img.dsk"), image_bytes(DSK_SIZE));

    // Once the file takes writes again, the next load writes the track.
    reopen(d.fd, O_RDWR);
    load(0, 4);
    EXPECT_EQ(d.pending, 0);
    EXPECT_EQ(d.write_protected, 0);
    std::vector<uint8_t> want = image_bytes(DSK_SIZE);
    std::copy(data.begin(), data.end(), want.begin() + 3 * 4096 + DISK_DOS_ORDER[5] * 256);
    EXPECT_EQ(read_file("img.dsk"), want);
    disk_unmount(0);
    EXPECT_FALSE(file_exists("img.dsk.unsaved"));
}

TEST_F(Image, TrackThatNeverCouldBeWrittenIsSavedBesideTheImage)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    write_file("img.nib", image_bytes(35 * TRACK_NIBBLES));
    std::vector<uint8_t> want_dsk = image_bytes(DSK_SIZE);
    std::vector<uint8_t> want_nib = image_bytes(35 * TRACK_NIBBLES);
    // Fails every write, unmounts (as at exit) in a child, and gives back
    // what the child said on the error stream.
    auto fail_and_unmount = [this](int drive, auto change) {
        DiskDrive& d = machine.disk.drive[drive];
        change();
        reopen(d.fd, O_RDONLY);
        flush(drive, 3);
        const ChildResult r = run_in_child([] { disk_flush_all(); });
        ::close(d.fd); // this process's copy of the drive goes without a save
        d.fd = -1;
        d.pending = 0;
        return r.err;
    };

    mount_as(0, "img.dsk");
    const std::vector<uint8_t> data = new_sector(0x3C);
    std::copy(data.begin(), data.end(), want_dsk.begin() + 3 * 4096 + DISK_DOS_ORDER[9] * 256);
    EXPECT_EQ(fail_and_unmount(0, [&] { put_sector(0, 3, 9, data); }),
              "Error: ERROR: Could not write to img.dsk: saved whole as img.dsk.unsaved\n");
    EXPECT_EQ(read_file("img.dsk"), image_bytes(DSK_SIZE));
    EXPECT_EQ(read_file("img.dsk.unsaved"), want_dsk);

    // An earlier rescue is not overwritten.
    mount_as(0, "img.dsk");
    EXPECT_EQ(fail_and_unmount(0, [&] { put_sector(0, 3, 9, data); }),
              "Error: ERROR: Could not write to img.dsk: saved whole as img.dsk.unsaved.2\n");
    EXPECT_EQ(read_file("img.dsk.unsaved.2"), want_dsk);

    // A nibble image gets the track whole.
    mount_as(1, "img.nib");
    EXPECT_EQ(fail_and_unmount(1, [&] {
        load(1, 3);
        for (int i = 0; i < TRACK_NIBBLES; ++i) machine.disk.track[i] = static_cast<uint8_t>(0x96 + i % 5);
        for (int i = 0; i < TRACK_NIBBLES; ++i) want_nib[3 * TRACK_NIBBLES + i] = static_cast<uint8_t>(0x96 + i % 5);
    }), "Error: ERROR: Could not write to img.nib: saved whole as img.nib.unsaved\n");
    EXPECT_EQ(read_file("img.nib"), image_bytes(35 * TRACK_NIBBLES));
    EXPECT_EQ(read_file("img.nib.unsaved"), want_nib);
}

TEST_F(Image, ImageHeldElsewhereIsMountedWriteProtected)
{
    write_file("img.dsk", image_bytes(DSK_SIZE));
    write_file("empty.dsk", {});
    mount_as(0, "img.dsk");
    mount_as(1, "empty.dsk");
    EXPECT_EQ(machine.disk.drive[0].write_protected, 0);
    EXPECT_FALSE(disk_any_in_use());
    // A second process (or the other drive of this one) gets the image
    // read-only: its sense says protected and its stores change nothing.
    const ChildResult r = run_in_child([this] {
        mount_as(0, "img.dsk");
        mount_as(1, "empty.dsk");
        const DiskDrive& d = machine.disk.drive[0];
        std::printf("%d%d%d%d", d.in_use, d.write_protected, machine.disk.drive[1].in_use, disk_any_in_use());
        motor_on();
        std::printf(" sense %02X", sw_read(13));
        sw_read(12);
        for (int i = 0; i < TRACK_NIBBLES; ++i) sw_write(15, 0x96);
        std::printf(" dirty %d", d.track_dirty);
        flush(0, 0);
        disk_flush_all();
    });
    EXPECT_EQ(r.out, "1111 sense FF dirty 0");
    EXPECT_EQ(read_file("img.dsk"), image_bytes(DSK_SIZE));
    EXPECT_TRUE(file_exists("empty.dsk")); // held here: not the other's to delete

    mount_as(1, "img.dsk");
    EXPECT_EQ(machine.disk.drive[1].in_use, 1);
    EXPECT_TRUE(disk_any_in_use());
    disk_unmount(1);
    disk_unmount(0);
    mount_as(1, "img.dsk"); // let go: writable again
    EXPECT_EQ(machine.disk.drive[1].write_protected, 0);
}

TEST_F(Image, EmptyImagesAreDeletedAtUnmountUnlessWritten)
{
    write_file("empty.dsk", {});
    write_file("used.dsk", {});
    mount_as(0, "empty.dsk");
    mount_as(1, "used.dsk");
    EXPECT_EQ(machine.disk.drive[0].kind, DISK_DOS);
    disk_unmount(0);
    EXPECT_FALSE(file_exists("empty.dsk"));
    EXPECT_LT(machine.disk.drive[0].fd, 0);

    load(1, 0); // sixteen $FF sectors
    flush(1, 0);
    EXPECT_EQ(machine.disk.drive[1].size, 4096);
    disk_flush_all();
    EXPECT_EQ(read_file("used.dsk"), std::vector<uint8_t>(4096, 0xFF));
    EXPECT_FALSE(disk_any_mounted());
}

TEST_F(Image, DevicesNamedAsImagesAreNotMounted)
{
    // Measuring 0 bytes, /dev/null would otherwise count as an empty image.
    mount_as(0, "/dev/null");
    EXPECT_LT(machine.disk.drive[0].fd, 0);
    disk_unmount(0);
    EXPECT_TRUE(file_exists("/dev/null"));
}

TEST_F(Image, LongNamesAreCutAtTheField)
{
    const std::string longname(79, 'n');
    write_file(longname, image_bytes(DSK_SIZE));
    DiskDrive& d = machine.disk.drive[0];
    d.name.fill('x'); // no terminator at all
    std::memcpy(d.name.data(), longname.data(), 79);
    d.kind = DISK_UNKNOWN;
    disk_mount(0);
    EXPECT_GE(d.fd, 0);
}

} // namespace
