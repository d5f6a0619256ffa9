// The real program under signals. The ][+ boots from the block device (no
// Disk II firmware, so the autostart scan passes slot 6 by), and the boot
// block writes blocks 5-9 of the hard disk and 256 nibbles into track 0 of a
// nibble image in drive 1, then loops. A block reaches its file when its
// write command completes; the floppy track only when it is flushed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "frontend/frontend.h"
#include "support/test_support.h"

namespace {

constexpr size_t NIB_IMAGE = 35 * 6656;

// Loaded at $0800 by the card's boot code and entered at $0801.
const std::vector<uint8_t> boot_block = {
    0x01,                   // $0800: non-zero, or the card will not boot it
    0xA9, 0x00,             // LDA #0
    0x8D, 0xD1, 0xC0,       // STA $C0D1     unit 0
    0x8D, 0xD2, 0xC0,       // STA $C0D2     buffer $1000
    0x8D, 0xD5, 0xC0,       // STA $C0D5     block high 0
    0xA9, 0x10,             // LDA #$10
    0x8D, 0xD3, 0xC0,       // STA $C0D3
    0xA0, 0x05,             // LDY #5
    0x98,                   // $0813: TYA    each block filled with its number
    0xA2, 0x00,             // LDX #0
    0x9D, 0x00, 0x10,       // $0816: STA $1000,X
    0x9D, 0x00, 0x11,       // STA $1100,X
    0xE8,                   // INX
    0xD0, 0xF7,             // BNE $0816
    0x8C, 0xD4, 0xC0,       // STY $C0D4
    0xA9, 0x02,             // LDA #2
    0x8D, 0xD0, 0xC0,       // STA $C0D0     write
    0xC8,                   // INY
    0xC0, 0x0A,             // CPY #10
    0xD0, 0xE7,             // BNE $0813
    0xAD, 0xE9, 0xC0,       // $082C: LDA $C0E9  motor on
    0xAD, 0xEA, 0xC0,       // LDA $C0EA     drive 1
    0xA2, 0x00,             // LDX #0
    0x8A,                   // $0834: TXA
    0x09, 0x80,             // ORA #$80
    0x8D, 0xEF, 0xC0,       // STA $C0EF     Q7 on, the nibble written at once
    0xE8,                   // INX
    0xD0, 0xF7,             // BNE $0834
    0x4C, 0x3D, 0x08,       // $083D: JMP $083D
};

struct Running {
    pid_t pid = -1;
};

Running start_kalvoran(const std::vector<std::string>& env = {})
{
    std::fflush(stdout);
    std::fflush(stderr);
    const std::string program = kalvoran_binary();
    const std::string data_dir = std::string("KALVORAN_DATADIR=") + KALVORAN_BINARY_DIR + "/share/kalvoran";
    Running r;
    r.pid = ::fork();
    if (r.pid == 0) {
        ::putenv(const_cast<char*>("SDL_VIDEODRIVER=dummy"));
        ::putenv(const_cast<char*>("SDL_AUDIODRIVER=dummy"));
        ::putenv(const_cast<char*>(data_dir.c_str()));
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        if (FILE* null = std::fopen("/dev/null", "w")) {
            ::dup2(fileno(null), 1);
            ::dup2(fileno(null), 2);
        }
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        ::execv(program.c_str(), argv);
        ::_exit(127);
    }
    return r;
}

// Exit status, or -signal when a signal ended it.
int wait_for(const Running& r)
{
    int st = 0;
    ::waitpid(r.pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
}

// Exit status as wait_for gives it, or 999 when the process is still running
// after ms milliseconds (it is then killed).
int wait_at_most(const Running& r, int ms)
{
    for (int i = 0; i < ms / 10; ++i) {
        int st = 0;
        if (::waitpid(r.pid, &st, WNOHANG) == r.pid) return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(r.pid, SIGKILL);
    wait_for(r);
    return 999;
}

// What the kernel says the process waits in ("wait_for_partner": opening a FIFO).
std::string waiting_in(pid_t pid)
{
    const std::vector<uint8_t> w = read_file("/proc/" + std::to_string(pid) + "/wchan");
    return std::string(w.begin(), w.end());
}

bool blocks_written()
{
    const std::vector<uint8_t> hd = read_file("hdv1.hdv");
    for (int b = 5; b <= 9; ++b) {
        if (hd.size() < static_cast<size_t>(b + 1) * 512) return false;
        for (int i = 0; i < 512; ++i)
            if (hd[b * 512 + i] != b) return false;
    }
    return true;
}

// Waits (up to 20 s on a busy machine) until the emulated program has
// written its blocks: it is then in its final loop, its nibbles stored.
bool wait_for_blocks()
{
    for (int i = 0; i < 400; ++i) {
        if (blocks_written()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

struct Signals : ::testing::Test {
    TempWorkDir dir;
    void SetUp() override
    {
        if (!have_testdata("roms/apple2.rom")) GTEST_SKIP() << "test data roms/apple2.rom is absent; skipping";
        if (!file_exists(std::string(KALVORAN_BINARY_DIR) + "/share/kalvoran/massstor.rom"))
            GTEST_SKIP() << "the block device firmware is not built; skipping";
        copy_file(testdata("roms/apple2.rom"), "apple2.rom");
        std::vector<uint8_t> hd(16 * 512, 0);
        std::copy(boot_block.begin(), boot_block.end(), hd.begin());
        write_file("hdv1.hdv", hd);
        write_file("disk6a.dsk", std::vector<uint8_t>(NIB_IMAGE, 0));
    }
};

TEST_F(Signals, KilledProcessKeepsEveryCompletedBlockWrite)
{
    const Running r = start_kalvoran();
    ASSERT_GT(r.pid, 0);
    const bool seen = wait_for_blocks();
    ::kill(r.pid, SIGKILL);
    EXPECT_EQ(wait_for(r), -SIGKILL);
    ASSERT_TRUE(seen) << "the boot block never wrote its blocks";
    EXPECT_TRUE(blocks_written());
    // No exit path ran: no settings file, and the track written in memory
    // never reached the image (the one unflushed track that may be lost).
    EXPECT_FALSE(file_exists("kalvoran.rc"));
    EXPECT_EQ(read_file("disk6a.dsk"), std::vector<uint8_t>(NIB_IMAGE, 0));
}

class SignalsQuit : public Signals, public ::testing::WithParamInterface<int> {};

TEST_P(SignalsQuit, EndsLikeTheEndKey)
{
    const Running r = start_kalvoran();
    ASSERT_GT(r.pid, 0);
    const bool seen = wait_for_blocks();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(r.pid, GetParam());
    const int status = wait_for(r);
    ASSERT_TRUE(seen) << "the boot block never wrote its blocks";
    EXPECT_EQ(status, 0);

    const std::vector<uint8_t> rc = read_file("kalvoran.rc");
    const std::string text(rc.begin(), rc.end());
    EXPECT_EQ(text, "set scanlines off\nset multiplier 1\nset volume 50\nset speed real\n");

    // The nibble track was flushed: 256 nibbles $80-$FF twice at its start,
    // the rest of the image as it was.
    const std::vector<uint8_t> disk = read_file("disk6a.dsk");
    ASSERT_EQ(disk.size(), NIB_IMAGE);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(disk[i], (i & 0x7F) | 0x80) << "nibble " << i;
    EXPECT_TRUE(std::all_of(disk.begin() + 256, disk.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(blocks_written());
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, SignalsQuit, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT"); });

// The same boot block for a second process: it writes blocks 10-14 of unit
// 0, the nibbles $C0-$FF into track 0 of drive 1, and then, as a sign that it
// got that far, block 0 of unit 1 filled with $42.
std::vector<uint8_t> second_boot_block()
{
    std::vector<uint8_t> b = boot_block;
    b[0x12] = 10;   // LDY #10
    b[0x29] = 15;   // CPY #15
    b[0x36] = 0xC0; // ORA #$C0
    b[0x3E] = 0x40; // JMP $0840
    const std::vector<uint8_t> marker = {
        0xA9, 0x01,             // $0840: LDA #1
        0x8D, 0xD1, 0xC0,       // STA $C0D1     unit 1
        0xA9, 0x00,             // LDA #0
        0x8D, 0xD4, 0xC0,       // STA $C0D4     block 0
        0x8D, 0xD5, 0xC0,       // STA $C0D5
        0xA9, 0x42,             // LDA #$42
        0xA2, 0x00,             // LDX #0
        0x9D, 0x00, 0x10,       // $0851: STA $1000,X
        0x9D, 0x00, 0x11,       // STA $1100,X
        0xE8,                   // INX
        0xD0, 0xF7,             // BNE $0851
        0xA9, 0x02,             // LDA #2
        0x8D, 0xD0, 0xC0,       // STA $C0D0     write
        0x4C, 0x5F, 0x08,       // $085F: JMP $085F
    };
    b.insert(b.end(), marker.begin(), marker.end());
    return b;
}

TEST_F(Signals, SecondProcessInTheSameFolderCannotWriteTheImages)
{
    const Running first = start_kalvoran();
    ASSERT_GT(first.pid, 0);
    const bool first_ran = wait_for_blocks();
    // The second process boots its own block, and finds a unit 1 file that
    // the first one never opened.
    std::vector<uint8_t> hd = read_file("hdv1.hdv");
    const std::vector<uint8_t> boot2 = second_boot_block();
    std::copy(boot2.begin(), boot2.end(), hd.begin());
    write_file("hdv1.hdv", hd);
    write_file("hdv2.hdv", std::vector<uint8_t>(1024, 0));
    const Running second = start_kalvoran();
    ASSERT_GT(second.pid, 0);
    bool second_ran = false;
    for (int i = 0; i < 400 && !second_ran; ++i) {
        const std::vector<uint8_t> hd2 = read_file("hdv2.hdv");
        second_ran = hd2.size() >= 512 && std::all_of(hd2.begin(), hd2.begin() + 512, [](uint8_t b) { return b == 0x42; });
        if (!second_ran) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The first quits first, so a flush by the second would be the last word.
    ::kill(first.pid, SIGTERM);
    EXPECT_EQ(wait_for(first), 0);
    ::kill(second.pid, SIGTERM);
    EXPECT_EQ(wait_for(second), 0);
    ASSERT_TRUE(first_ran) << "the first boot block never wrote its blocks";
    ASSERT_TRUE(second_ran) << "the second boot block never wrote its marker";

    // The first one's blocks and track, none of the second one's.
    EXPECT_TRUE(blocks_written());
    const std::vector<uint8_t> now = read_file("hdv1.hdv");
    ASSERT_EQ(now.size(), hd.size());
    EXPECT_TRUE(std::all_of(now.begin() + 10 * 512, now.begin() + 15 * 512, [](uint8_t b) { return b == 0; }));
    const std::vector<uint8_t> disk = read_file("disk6a.dsk");
    ASSERT_EQ(disk.size(), NIB_IMAGE);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(disk[i], (i & 0x7F) | 0x80) << "nibble " << i;
}

// Start-up held up (here the sound, opened by SDL's file-writing driver on a
// FIFO that nobody reads): the signal ends the program at once, where the
// quit flag would wait for a poll_events that never comes.
class SignalsStartup : public ::testing::TestWithParam<int> {
protected:
    TempWorkDir dir;
};

TEST_P(SignalsStartup, EndsTheProgramAtOnce)
{
    write_file("apple2.rom", std::vector<uint8_t>(12288, 0));
    write_file("hdv1.hdv", std::vector<uint8_t>(512, 0));
    ASSERT_EQ(::mkfifo("audio.fifo", 0600), 0);
    const Running r = start_kalvoran({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=audio.fifo"});
    ASSERT_GT(r.pid, 0);
    for (int i = 0; i < 500 && waiting_in(r.pid) != "wait_for_partner"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(r.pid, GetParam());
    EXPECT_EQ(wait_at_most(r, 5000), -GetParam());
    // Nothing was written on the way: no settings file, the unit untouched.
    EXPECT_FALSE(file_exists("kalvoran.rc"));
    EXPECT_EQ(read_file("hdv1.hdv"), std::vector<uint8_t>(512, 0));
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, SignalsStartup, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& info) { return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT"); });

} // namespace
