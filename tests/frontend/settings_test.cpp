// The settings file kalvoran.rc: reading it at start-up and writing it on the
// way out.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "frontend/frontend.h"
#include "sound/sound.h"
#include "support/test_support.h"

namespace {

void write_text(const std::string& text) { write_file("kalvoran.rc", std::vector<uint8_t>(text.begin(), text.end())); }

std::string read_text(const std::string& path = "kalvoran.rc")
{
    std::vector<uint8_t> b = read_file(path);
    return std::string(b.begin(), b.end());
}

// Loads text as the settings file into a fresh machine.
void load(const std::string& text)
{
    test_reset_machine();
    write_text(text);
    settings_load();
}

} // namespace

TEST(Settings, DefaultsWithoutAFile)
{
    TempWorkDir dir;
    test_reset_machine();
    settings_load();
    EXPECT_EQ(machine.video.scanlines, 0u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 1u);
    EXPECT_EQ(sound_get_volume(), 50u);
}

TEST(Settings, ReadsTheThreeLines)
{
    TempWorkDir dir;
    load("set scanlines on\nset multiplier 12\nset volume 70\n");
    EXPECT_EQ(machine.video.scanlines, 1u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 12u);
    EXPECT_EQ(sound_get_volume(), 70u);
    EXPECT_EQ(machine.sound.level_high, 32768 + 22400);

    // Later lines win; off after on.
    load("set scanlines on\nset scanlines off\nset multiplier 3\nset multiplier 9\n");
    EXPECT_EQ(machine.video.scanlines, 0u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 9u);

    // The final line without its newline is not read; earlier ones are.
    load("set scanlines on\nset multiplier 7\nset volume 20");
    EXPECT_EQ(machine.video.scanlines, 1u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 7u);
    EXPECT_EQ(sound_get_volume(), 50u);
    load("set multiplier 7");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 1u);
}

TEST(Settings, LineForms)
{
    TempWorkDir dir;
    // CR LF: the scanlines lines keep their CR and fail; the numbers still match.
    load("set scanlines on\r\nset multiplier 8\r\nset volume 30\r\n");
    EXPECT_EQ(machine.video.scanlines, 0u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 8u);
    EXPECT_EQ(sound_get_volume(), 30u);

    // Blanks between the words and text after the number are fine for the
    // number lines; an extra blank breaks a scanlines line.
    load("set  multiplier   11 fast\nset\tvolume 40%\nset scanlines  on\nset scanlines on \n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 11u);
    EXPECT_EQ(sound_get_volume(), 40u);
    EXPECT_EQ(machine.video.scanlines, 0u);

    // Blank lines, comments, unknown settings and unreadable numbers do nothing.
    load("\n# set multiplier 20\nset speed 3\nset multiplier fast\nset volume\nSET VOLUME 10\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 1u);
    EXPECT_EQ(sound_get_volume(), 50u);
    EXPECT_EQ(machine.video.scanlines, 0u);

    // A line longer than the buffer is read in pieces without harm.
    load(std::string(5000, 'x') + "\nset multiplier 6\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 6u);
}

// The speed mode is a fourth line, after the three an older reader knows;
// without it the machine runs at real time.
TEST(Settings, SpeedLine)
{
    TempWorkDir dir;
    auto fresh_load = [](const std::string& text) {
        machine = MachineState{};
        write_text(text);
        settings_load();
    };
    fresh_load("set scanlines on\nset multiplier 4\nset volume 30\n");
    EXPECT_EQ(machine.cpu.speed_unlimited, 0u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 4u);
    fresh_load("set scanlines off\nset multiplier 1\nset volume 50\nset speed unlimited\n");
    EXPECT_EQ(machine.cpu.speed_unlimited, 1u);
    fresh_load("set speed unlimited\nset speed real\n");
    EXPECT_EQ(machine.cpu.speed_unlimited, 0u);
    fresh_load("set speed unlimited\nset speed fast\nset speed  real\nset speed real \n");
    EXPECT_EQ(machine.cpu.speed_unlimited, 1u);

    ChildResult r = run_in_child([] {
        machine = MachineState{};
        emulator_exit();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(), "set scanlines off\nset multiplier 1\nset volume 50\nset speed real\n");
}

TEST(Settings, ValueRanges)
{
    TempWorkDir dir;
    load("set multiplier 0\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 0u);
    load("set multiplier 80\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 80u);
    load("set multiplier 10000\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 10000u);
    // Negative or huge multipliers would stall the periodic call: ignored.
    load("set multiplier 9\nset multiplier -5\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 9u);
    load("set multiplier 20000\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 1u);
    load("set multiplier 99999999999999999999999\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 1u);
    load("set multiplier +12\nset multiplier - 3\n");
    EXPECT_EQ(machine.cpu.cpu_multiplier, 12u);

    load("set volume 60\nset volume 150\n");
    EXPECT_EQ(sound_get_volume(), 60u);
    load("set volume -1\nset volume 4294967297\n");
    EXPECT_EQ(sound_get_volume(), 50u);
    load("set volume 0\n");
    EXPECT_EQ(sound_get_volume(), 0u);
    EXPECT_EQ(machine.sound.level_high, 32768);
    load("set volume 100\n");
    EXPECT_EQ(sound_get_volume(), 100u);
}

TEST(Settings, ExitWritesTheFileAfresh)
{
    TempWorkDir dir;
    write_text("# old comment\nset multiplier 3\nset volume 99\nset scanlines on\nextra\n");
    ChildResult r = run_in_child([] {
        test_reset_machine();
        settings_load();
        machine.cpu.cpu_multiplier = 17;
        machine.video.scanlines = 0;
        sound_set_volume(0);
        emulator_exit();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(), "set scanlines off\nset multiplier 17\nset volume 0\nset speed unlimited\n");

    // What it writes reads back the same.
    ChildResult r2 = run_in_child([] {
        test_reset_machine();
        machine.video.scanlines = 1;
        machine.cpu.cpu_multiplier = 80;
        sound_set_volume(64);
        emulator_exit();
    });
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(read_text(), "set scanlines on\nset multiplier 80\nset volume 64\nset speed unlimited\n");
    test_reset_machine();
    settings_load();
    EXPECT_EQ(machine.video.scanlines, 1u);
    EXPECT_EQ(machine.cpu.cpu_multiplier, 80u);
    EXPECT_EQ(sound_get_volume(), 64u);
}

TEST(Settings, ExitClosesOpenSoundAndSurvivesAnUnwritableFile)
{
    TempWorkDir dir;
    // Sound open on SDL's dummy driver: closed on the way out, status 0.
    ChildResult r = run_in_child([] {
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        test_reset_machine();
        if (sound_open() != 0) std::_Exit(3);
        sound_set_volume(45);
        emulator_exit();
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(), "set scanlines off\nset multiplier 1\nset volume 45\nset speed unlimited\n");

    // A directory in the file's place: nothing written, still exit 0.
    ::remove("kalvoran.rc");
    ASSERT_EQ(::mkdir("kalvoran.rc", 0700), 0);
    ChildResult r2 = run_in_child([] {
        test_reset_machine();
        emulator_exit();
    });
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_TRUE(r2.err.empty()) << r2.err;
}
