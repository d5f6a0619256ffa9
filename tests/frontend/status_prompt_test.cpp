// The status-line prompt driven by real key events: the BLOAD and disk
// prompts, editing, layout of long text, the length limit. The prompt reads
// keys through $C000/$C010, so these need the memory map's keyboard latch.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstring>
#include "events_support.h"
#include "storage/disk.h"

class StatusPromptTest : public FrontendEventTest {
protected:
    void SetUp() override
    {
        FrontendEventTest::SetUp();
        if (!keyboard_latch_wired())
            GTEST_SKIP() << "read_byte($C000) does not answer from the keyboard latch yet (memory "
                            "map not in place); skipping";
    }
    TempWorkDir dir;
};

static std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

static std::string prompt_line(const std::string& shown)
{
    return shown + '\xDB' + std::string(79 - shown.size(), ' ');
}

TEST_F(StatusPromptTest, BloadPromptTakesLowerCaseAndShiftedUpperCase)
{
    write_file("abc", {0x00, 0x03, 0x01, 0x00, 0x60});
    SDL_SetModState(KMOD_LALT);
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F6} + keys_of("abc") + std::vector<int>{SDLK_RETURN}));
    EXPECT_EQ(status_text(), padded("Loaded: abc A00768 $0300 L00001 $0001"));
    EXPECT_EQ(read_byte(0x300), 0x60);
    EXPECT_EQ(machine.fe.prompt_active, 0u);

    SDL_SetModState(static_cast<SDLMod>(KMOD_LALT | KMOD_LSHIFT));
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F6} + keys_of("abc.") + std::vector<int>{SDLK_RETURN}));
    EXPECT_EQ(status_text(), padded("Cannot open file ABC>!"));
}

TEST_F(StatusPromptTest, LeftArrowDeletesAndBackspaceIsACharacter)
{
    SDL_SetModState(KMOD_LALT);
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F6} + keys_of("abx") +
                          std::vector<int>{SDLK_LEFT, 'c', SDLK_BACKSPACE, SDLK_RETURN}));
    EXPECT_EQ(status_text(), padded("Cannot open file abc\x7F!"));

    // Deleting past the start does nothing.
    ASSERT_TRUE(feed_keys({SDLK_F6, SDLK_LEFT, SDLK_LEFT, 'q', SDLK_F5, SDLK_ESCAPE}));
    EXPECT_EQ(status_text(), prompt_line("BLOAD file: q"));
    EXPECT_EQ(machine.fe.prompt_active, 0u);
}

TEST_F(StatusPromptTest, ReturnOnAnEmptyLineCancelsLikeEscape)
{
    SDL_SetModState(KMOD_LALT);
    ASSERT_TRUE(feed_keys({SDLK_F6, SDLK_RETURN}));
    // No load was tried: the prompt's own line is still shown.
    EXPECT_EQ(status_text(), prompt_line("BLOAD file: "));
    EXPECT_EQ(machine.fe.prompt_active, 0u);
}

TEST_F(StatusPromptTest, LongTextScrollsWithTheCursorInTheLastCell)
{
    // Escape leaves a mounted disk in place: the drive record is not touched.
    DiskDrive& d = machine.disk.drive[0];
    d.fd = 99;
    std::strcpy(d.name.data(), "keep.dsk");
    d.kind = DISK_NIBBLE;

    std::string typed;
    for (int i = 0; i < 70; ++i) typed += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F1} + keys_of(typed) + std::vector<int>{SDLK_ESCAPE}));
    const std::string whole = "Disk for S6,D1: " + typed;
    EXPECT_EQ(status_text(), whole.substr(whole.size() - 79) + '\xDB');

    EXPECT_EQ(d.fd, 99);
    EXPECT_STREQ(d.name.data(), "keep.dsk");
    EXPECT_EQ(d.kind, DISK_NIBBLE);
    d.fd = -1;
}

TEST_F(StatusPromptTest, TextStopsAtTenTwentyThreeCharacters)
{
    SDL_SetModState(KMOD_LALT);
    // 1020 + 9 typed: "efghij" fall beyond the limit; then one deletion and x.
    const std::vector<int> keys = std::vector<int>{SDLK_F6} + std::vector<int>(1020, 'a') + keys_of("bcdefghij") +
                                  std::vector<int>{SDLK_LEFT, 'x', SDLK_ESCAPE};
    ASSERT_TRUE(feed_keys(keys));
    EXPECT_EQ(status_text(), std::string(76, 'a') + "bcx" + '\xDB');
}

TEST_F(StatusPromptTest, DiskNameLongerThanTheDriveFieldIsRefused)
{
    DiskDrive& d = machine.disk.drive[1];
    d.fd = 99;
    std::strcpy(d.name.data(), "keep.dsk");
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F2} + keys_of(std::string(80, 'n')) +
                          std::vector<int>{SDLK_RETURN}));
    EXPECT_EQ(status_text(), padded("Disk name too long (79 characters at most)"));
    EXPECT_EQ(d.fd, 99);
    EXPECT_STREQ(d.name.data(), "keep.dsk");
    d.fd = -1;

    // 79 characters fit; no such file, so the mount fails.
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F2} + keys_of(std::string(79, 'n')) +
                          std::vector<int>{SDLK_RETURN}));
    EXPECT_EQ(status_text(), padded("Cannot mount disk"));
    EXPECT_EQ(std::string(d.name.data()), std::string(79, 'n'));
    EXPECT_EQ(d.fd, -1);
}

TEST_F(StatusPromptTest, MountShowsTheImageKind)
{
    write_file("game.dsk", std::vector<uint8_t>(143360, 0));
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F1} + keys_of("game.dsk") + std::vector<int>{SDLK_RETURN}));
    DiskDrive& d = machine.disk.drive[0];
    if (d.fd < 0) GTEST_SKIP() << "disk_mount is not in place yet; skipping";
    EXPECT_STREQ(d.name.data(), "game.dsk");
    EXPECT_EQ(d.kind, DISK_DOS);
    EXPECT_EQ(status_text(), padded("Disk type: DSK (DO)"));

    // A 2MG image followed by a comment block: known by its signature.
    std::vector<uint8_t> img(64 + 143360 + 91, 0);
    std::memcpy(img.data(), "2IMG", 4);
    img[8] = 64;
    img[24] = 64;
    img[28] = 0x00; // data length 143360 = $023000
    img[29] = 0x30;
    img[30] = 0x02;
    write_file("game.2mg", img);
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F1} + keys_of("game.2mg") + std::vector<int>{SDLK_RETURN}));
    EXPECT_EQ(d.kind, DISK_2MG);
    EXPECT_EQ(status_text(), padded("Disk type: 2MG (XGS)"));
    disk_unmount(0);

    // Held by another process (here a lock of the test's own): said so.
    const int other = ::open("game.dsk", O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    ASSERT_TRUE(feed_keys(std::vector<int>{SDLK_F1} + keys_of("game.dsk") + std::vector<int>{SDLK_RETURN}));
    EXPECT_GE(d.fd, 0);
    EXPECT_EQ(d.write_protected, 1);
    EXPECT_EQ(status_text(), padded("Disk is in use: mounted write-protected"));
    disk_unmount(0);
    ::close(other);
}
