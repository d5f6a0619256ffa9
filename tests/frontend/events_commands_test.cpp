// The emulator's own command keys: speed, volume, render mode, scanlines,
// CPU reset, quick-load and quitting.
#include <cstdio>
#include <cstdlib>
#include "cpu/cpu.h"
#include "events_support.h"
#include "sound/sound.h"

using EventCommandTest = FrontendEventTest;

TEST_F(EventCommandTest, MultiplierKeysStepAndStopAtTheirLimits)
{
    CpuState& cpu = machine.cpu;
    ASSERT_EQ(cpu.cpu_multiplier, 1u);
    cpu.cpu_multiplier = 5;
    press(SDLK_F3);
    EXPECT_EQ(cpu.cpu_multiplier, 4u);
    EXPECT_EQ(cpu.poll_interval, 260u);
    EXPECT_EQ(status_text(), padded("CPU multiplier 4"));
    press(SDLK_F4);
    press(SDLK_F4);
    EXPECT_EQ(cpu.cpu_multiplier, 6u);
    EXPECT_EQ(cpu.poll_interval, 390u);
    EXPECT_EQ(status_text(), padded("CPU multiplier 6"));

    cpu.cpu_multiplier = 1;
    status_message("marker");
    press(SDLK_F3);
    EXPECT_EQ(cpu.cpu_multiplier, 1u);
    EXPECT_EQ(cpu.poll_interval, 65u);
    EXPECT_EQ(status_text(), padded("CPU multiplier 1"));

    cpu.cpu_multiplier = 50;
    press(SDLK_F4);
    EXPECT_EQ(cpu.cpu_multiplier, 50u);
    EXPECT_EQ(cpu.poll_interval, 3250u);
    EXPECT_EQ(status_text(), padded("CPU multiplier 50"));
}

// F9 toggles real time and unlimited speed; unpaced, the speaker is muted
// and its time base is the real machine's again.
TEST_F(EventCommandTest, SpeedKeyTogglesRealTimeAndUnlimited)
{
    CpuState& cpu = machine.cpu;
    cpu.speed_unlimited = 0;
    cpu.cpu_multiplier = 3;
    press(SDLK_F9);
    EXPECT_EQ(cpu.speed_unlimited, 1u);
    EXPECT_EQ(status_text(), padded("Speed: unlimited"));
    EXPECT_EQ(machine.sound.muted, 1u);
    EXPECT_EQ(machine.sound.time_scale, 1u);
    EXPECT_EQ(cpu.poll_interval, 195u);

    press(SDLK_F9);
    EXPECT_EQ(cpu.speed_unlimited, 0u);
    EXPECT_EQ(status_text(), padded("Speed: real time"));
    EXPECT_EQ(machine.sound.muted, 0u);
    EXPECT_EQ(machine.sound.time_scale, 3u); // the pitch follows the faster machine
    EXPECT_DOUBLE_EQ(machine.sound.samples_per_cycle, 44100.0 / 1017000.0 / 3);

    // With sound playing, the message says it goes quiet.
    machine.sound.sound_enabled = 1;
    press(SDLK_F9);
    EXPECT_EQ(status_text(), padded("Speed: unlimited  (sound muted)"));
    machine.sound.sound_enabled = 0;
}

TEST_F(EventCommandTest, VolumeKeysReportOnlyWhenTheyChangeTheVolume)
{
    machine.sound.volume_percent = 50;
    press(SDLK_F7);
    EXPECT_EQ(status_text(), padded("Main speaker volume set to 49%"));
    machine.sound.volume_percent = 50;
    press(SDLK_F8);
    EXPECT_EQ(status_text(), padded("Main speaker volume set to 51%"));
    machine.sound.volume_percent = 99;
    press(SDLK_F8);
    EXPECT_EQ(status_text(), padded("Main speaker volume set to 100%"));

    status_message("marker");
    machine.sound.volume_percent = 1;
    press(SDLK_F7);
    machine.sound.volume_percent = 100;
    press(SDLK_F8);
    EXPECT_EQ(status_text(), padded("marker"));
}

TEST_F(EventCommandTest, RenderModeKeysStepAndStopAtTheirLimits)
{
    VideoState& v = machine.video;
    ASSERT_EQ(v.render_mode, 2u);
    auto message = [](int mode) {
        char text[96];
        std::snprintf(text, sizeof text, "Graphics render mode %d \"%s\"", mode + 1, render_mode_names[mode]);
        return padded(text);
    };
    press(SDLK_PAGEUP);
    EXPECT_EQ(v.render_mode, 3u);
    EXPECT_EQ(status_text(), message(3));
    // Right Alt is not Left Alt: still the render mode.
    press(SDLK_PAGEUP, KMOD_RALT);
    press(SDLK_PAGEUP);
    EXPECT_EQ(v.render_mode, 5u);
    press(SDLK_PAGEUP);
    EXPECT_EQ(v.render_mode, 5u);
    EXPECT_EQ(status_text(), message(5));

    v.render_mode = 0;
    press(SDLK_PAGEDOWN);
    EXPECT_EQ(v.render_mode, 0u);
    EXPECT_EQ(status_text(), message(0));
    EXPECT_EQ(v.scanlines, 0u);
}

TEST_F(EventCommandTest, RenderModeNamesAreTheListedOnes)
{
    if (render_mode_names[0] == nullptr || render_mode_names[0][0] == '\0')
        GTEST_SKIP() << "render mode names are not in place yet; skipping";
    const char* names[6] = {"Full Smoothing (Broken)", "Partial Smoothing", "Whites Smoothing",
                            "No Smoothing", "Monochrome", "140x192"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(render_mode_names[i], names[i]);
    machine.video.render_mode = 5;
    press(SDLK_PAGEUP);
    EXPECT_EQ(status_text(), padded("Graphics render mode 6 \"140x192\""));
}

TEST_F(EventCommandTest, LeftAltPageKeysSwitchScanlines)
{
    VideoState& v = machine.video;
    press(SDLK_PAGEUP, KMOD_LALT);
    EXPECT_EQ(v.scanlines, 1u);
    EXPECT_EQ(status_text(), padded("Scanlines on"));
    press(SDLK_PAGEUP, KMOD_LALT);
    EXPECT_EQ(v.scanlines, 1u);
    press(SDLK_PAGEDOWN, KMOD_LALT | KMOD_LSHIFT);
    EXPECT_EQ(v.scanlines, 0u);
    EXPECT_EQ(status_text(), padded("Scanlines off"));
    EXPECT_EQ(v.render_mode, 2u);
}

TEST_F(EventCommandTest, FTwelveWithoutControlDoesNothing)
{
    machine.fe.key_latch = 0x41;
    machine.fe.key_strobe = 1;
    machine.cpu.reg.pc = 0x1234;
    status_message("marker");
    press(SDLK_F12, KMOD_LSHIFT | KMOD_LALT);
    EXPECT_EQ(machine.cpu.cpu_pending, 0);
    EXPECT_EQ(machine.fe.monitor_cancel, 0u);
    EXPECT_EQ(machine.fe.key_strobe, 1u);
    EXPECT_EQ(machine.cpu.reg.pc, 0x1234);
    EXPECT_EQ(status_text(), padded("marker"));
}

// Puts the state a reset must change (or keep) into recognisable values.
static void dirty_machine()
{
    machine.mem.lc_read = 2;
    machine.mem.lc_write = 1;
    machine.mem.lc_last = 0xB;
    machine.sw.annunciator = {0, 0, 1, 0};
    machine.fe.key_latch = 0x41;
    machine.fe.key_strobe = 1;
    machine.cpu.reg.pc = 0x1234;
    SoftSwitches& sw = machine.sw;
    sw.store80 = sw.ramrd = sw.ramwrt = sw.intcxrom = 1;
    sw.altzp = sw.slotc3rom = sw.col80 = sw.altcharset = 1;
    sw.intc8rom = 1;
    sw.graphics = 1;
}

static void expect_common_reset()
{
    EXPECT_EQ(machine.mem.lc_read, 0);
    EXPECT_EQ(machine.mem.lc_write, 0);
    EXPECT_EQ(machine.mem.lc_last, 0xB);
    EXPECT_EQ(machine.sw.annunciator, (std::array<int, 4>{1, 1, 1, 1}));
    EXPECT_EQ(machine.fe.monitor_cancel, 1u);
    EXPECT_EQ(machine.fe.key_latch, 0u);
    EXPECT_EQ(machine.fe.key_strobe, 0u);
    EXPECT_EQ(machine.cpu.cpu_pending, PENDING_RESET);
    EXPECT_EQ(status_text(), padded("CPU reset"));
    EXPECT_EQ(machine.sw.graphics, 0); // text_defaults stores to $C051
}

TEST_F(EventCommandTest, ControlFTwelveOnlyRequestsTheResetOutsideFullMode)
{
    for (int mode : {MODE_HYBRID, MODE_IIPLUS}) {
        test_reset_machine();
        ASSERT_TRUE(test_open_surface());
        machine.fe.machine_mode = mode;
        dirty_machine();
        press(SDLK_F12, KMOD_RCTRL);
        expect_common_reset();
        EXPECT_EQ(machine.cpu.reg.pc, 0x1234) << "mode " << mode;
        // The //e switches belong to the //e only.
        EXPECT_EQ(machine.sw.store80, 1);
        EXPECT_EQ(machine.sw.altcharset, 1);
        EXPECT_EQ(machine.mem.ram[0x36], 0);
    }
}

TEST_F(EventCommandTest, ControlFTwelveOnTheIIeClearsItsSwitches)
{
    machine.fe.machine_mode = MODE_IIE;
    machine.fe.iie_active = 1;
    dirty_machine();
    press(SDLK_F12, KMOD_LCTRL | KMOD_LALT);
    expect_common_reset();
    const SoftSwitches& sw = machine.sw;
    for (int flag : {sw.store80, sw.ramrd, sw.ramwrt, sw.intcxrom, sw.altzp, sw.slotc3rom, sw.col80, sw.altcharset,
                     sw.intc8rom})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(machine.cpu.reg.pc, 0x1234);
}

TEST_F(EventCommandTest, ControlFTwelveInFullModeRestartsBasic)
{
    machine.fe.machine_mode = MODE_FULL;
    dirty_machine();
    press(SDLK_F12, KMOD_LCTRL);
    expect_common_reset();
    EXPECT_EQ(machine.cpu.reg.pc, 0xE003);
    // Output hook $FDF0, input hook $FD1B.
    EXPECT_EQ(read_byte(0x36), 0xF0);
    EXPECT_EQ(read_byte(0x37), 0xFD);
    EXPECT_EQ(read_byte(0x38), 0x1B);
    EXPECT_EQ(read_byte(0x39), 0xFD);

    dirty_machine();
    press(SDLK_F12, KMOD_LCTRL | KMOD_LALT);
    expect_common_reset();
    EXPECT_EQ(machine.cpu.reg.pc, 0xE000);

    // Right Alt is not the banner's modifier.
    dirty_machine();
    press(SDLK_F12, KMOD_LCTRL | KMOD_RALT);
    EXPECT_EQ(machine.cpu.reg.pc, 0xE003);
}

TEST_F(EventCommandTest, LeftAltFElevenQuickLoads)
{
    TempWorkDir dir;
    press(SDLK_F11, KMOD_LALT);
    EXPECT_EQ(status_text(), padded("Cannot open file quikload.pg2!"));
    EXPECT_EQ(machine.fe.full_screen, 0u);

    write_file("quikload.pg2", {0x00, 0x03, 0x02, 0x00, 0xA9, 0x01});
    press(SDLK_F11, KMOD_LALT);
    EXPECT_EQ(status_text(), padded("Loaded: quikload.pg2 A00768 $0300 L00002 $0002"));
    EXPECT_EQ(read_byte(0x300), 0xA9);
    EXPECT_EQ(read_byte(0x301), 0x01);
    EXPECT_EQ(machine.fe.full_screen, 0u);
}

// Quitting ends the process inside poll_events; the child reports run_stop
// from an exit handler.
static ChildResult quit_child(const std::function<void()>& events)
{
    return run_in_child([&] {
        std::atexit([] { std::printf("run_stop=%d\n", machine.cpu.run_stop); });
        events();
        poll_events();
        std::_Exit(7); // poll_events returned: no quit
    });
}

TEST_F(EventCommandTest, EndReleaseAndWindowCloseQuit)
{
    TempWorkDir dir;
    ChildResult r = quit_child([] { push_key(SDLK_END, SDL_KEYUP); });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("run_stop=1"), std::string::npos) << r.out;

    r = quit_child([] { push_quit(); });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("run_stop=1"), std::string::npos) << r.out;

    // Pressing End (and releasing any other key) does nothing.
    r = quit_child([] {
        push_key(SDLK_END);
        push_key(SDLK_HOME, SDL_KEYUP);
        push_key(SDLK_ESCAPE, SDL_KEYUP);
    });
    EXPECT_EQ(r.status, 7);
}
