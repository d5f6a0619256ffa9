// The emulator's own keys in a real window: multiplier, speed mode, volume,
// BLOAD through the status-line prompt, CPU reset and the full-screen
// toggle. Status messages
// last 300 emulated frames, so each is looked for right after its key.
#include "e2e/e2e_fixture.h"

TEST_F(E2E, CommandKeys)
{
    E2E_NEEDS("roms/apple2.rom", "apple2.rom");
    // Eight bytes of normal-video text for the middle of text row 10 ($0528).
    const std::string text = "E2E LOAD";
    std::vector<uint8_t> file = {0x32, 0x05, static_cast<uint8_t>(text.size()), 0x00};
    for (char c : text) file.push_back(static_cast<uint8_t>(c | 0x80));
    write_file(dir + "/msg.bin", file);

    ASSERT_TRUE(start({})) << "no window";
    ASSERT_TRUE(wait_for_prompt(app, "]", 60000, shot("boot")));

    // A fresh start runs at real time with multiplier 1, the lowest.
    x_key(app, "F3");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 1", 5000, shot("f3")));
    x_key(app, "F4");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 2", 5000, shot("f4")));
    x_key(app, "F4");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 3", 5000, shot("f4-again")));
    x_key(app, "F9");
    EXPECT_TRUE(wait_for_status(app, "Speed: unlimited  (sound muted)", 5000, shot("f9-unlimited")));
    x_key(app, "F9");
    EXPECT_TRUE(wait_for_status(app, "Speed: real time", 5000, shot("f9-real")));

    x_key(app, "F7");
    EXPECT_TRUE(wait_for_status(app, "Main speaker volume set to 49%", 5000, shot("f7")));
    x_key(app, "F8");
    EXPECT_TRUE(wait_for_status(app, "Main speaker volume set to 50%", 5000, shot("f8")));

    ASSERT_TRUE(x_command(app, "home"));
    ASSERT_TRUE(wait_for_prompt(app, "]", 10000, shot("home")));
    x_key_with(app, "Alt_L", "F6");
    ASSERT_TRUE(wait_for_status(app, "BLOAD file:", 5000, shot("bload-prompt")));
    x_type(app, "msg.bin");
    EXPECT_TRUE(wait_for_status(app, "BLOAD file: msg.bin", 5000, shot("bload-typed")));
    x_key(app, "Return");
    EXPECT_TRUE(wait_for_status(app, "Loaded: msg.bin A01330 $0532 L00008 $0008", 5000,
                                shot("loaded")));
    EXPECT_TRUE(wait_for_text(app, "\n          E2E LOAD", 5000, shot("loaded-text")));

    x_key_with(app, "Control_L", "F12");
    EXPECT_TRUE(wait_for_status(app, "CPU reset", 5000, shot("reset")));
    // The reset ends in BASIC's warm start, which takes commands again.
    ASSERT_TRUE(x_command(app, "print 6*7"));
    EXPECT_TRUE(wait_for_text(app, "\n42 ", 10000, shot("after-reset")));

    x_key(app, "F11");
    EXPECT_TRUE(wait_for_status(app, "FullScreen mode!", 5000, shot("full-screen"), true));
    x_key(app, "F11");
    EXPECT_TRUE(wait_for_status(app, "Window mode!", 5000, shot("window")));
    ASSERT_TRUE(x_command(app, "print 5*5"));
    EXPECT_TRUE(wait_for_text(app, "\n25 ", 10000, shot("after-window")));

    x_key(app, "End");
    ASSERT_EQ(app_wait(app, 10000), 0);
    const auto rc = read_file(dir + "/kalvoran.rc");
    EXPECT_EQ(std::string(rc.begin(), rc.end()),
              "set scanlines off\nset multiplier 3\nset volume 50\nset speed real\n");
}
