// Settings kept from one run to the next as a user sees them: change the
// multiplier, volume and scanlines with the keys, quit with End, start again
// and find them in force. Needs Xvfb and xdotool.
#include <chrono>
#include <string>
#include <vector>

#include "e2e/e2e_fixture.h"

namespace {

std::string file_text(const std::string& path)
{
    const std::vector<uint8_t> b = read_file(path);
    return std::string(b.begin(), b.end());
}

// The emulated screen (rows 0-383) has lit pixels on even rows, and whether
// any odd row has one: the scanline overlay blacks out every odd row.
struct RowLight {
    bool even = false;
    bool odd = false;
};
RowLight row_light(const Image& img)
{
    RowLight r;
    for (int y = 0; y < 384 && y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y) != 0) (y % 2 ? r.odd : r.even) = true;
    return r;
}

// Xvfb started with -displayfd can end up on a display number whose socket
// another server on this host already holds, and then no window appears; a
// fresh server is tried before giving up.
bool start_fresh(E2E& t)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (t.start({})) return true;
        app_kill(t.app);
        sleep_ms(500);
        delete t.x;
        t.x = new XServer;
        if (!t.x->ok()) return false;
    }
    return false;
}

} // namespace

TEST_F(E2E, SettingsSurviveARestart)
{
    E2E_NEEDS("roms/apple2.rom", "apple2.rom");
    const std::string rc = dir + "/kalvoran.rc";

    ASSERT_TRUE(start_fresh(*this)) << "no window";
    ASSERT_TRUE(wait_for_status(app, "Welcome to Kalvoran", 10000, shot("welcome")));
    // At real time a message stays its 300 frames, about five seconds.
    const auto welcome = std::chrono::steady_clock::now();
    sleep_ms(3000);
    EXPECT_TRUE(wait_for_status(app, "Welcome to Kalvoran", 100, shot("welcome-3s")));
    EXPECT_TRUE(wait_for_image(
        app, [](const Image& i) { return image_status(i).find("Welcome") == std::string::npos; }, 10000,
        shot("welcome-gone")));
    const double shown = std::chrono::duration<double>(std::chrono::steady_clock::now() - welcome).count();
    EXPECT_GT(shown, 4.0);
    ASSERT_TRUE(wait_for_text(app, "]", 15000, shot("prompt")));
    Image img;
    ASSERT_TRUE(capture(app, shot("plain"), img));
    EXPECT_TRUE(row_light(img).even);
    EXPECT_TRUE(row_light(img).odd) << "odd rows are black before the scanlines were switched on";
    // A fresh start: real time, multiplier 1.
    x_key(app, "F4");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 2", 5000, shot("mult2")));
    x_key(app, "F4");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 3", 5000, shot("mult3")));
    x_key(app, "F9");
    EXPECT_TRUE(wait_for_status(app, "Speed: unlimited", 5000, shot("unlimited")));
    x_key(app, "F7 F7 F7");
    EXPECT_TRUE(wait_for_status(app, "Main speaker volume set to 47%", 5000, shot("vol47")));
    x_key_with(app, "Alt_L", "Prior");
    EXPECT_TRUE(wait_for_status(app, "Scanlines on", 5000, shot("scanlines")));
    ASSERT_TRUE(capture(app, shot("scanlines-screen"), img));
    EXPECT_TRUE(row_light(img).even);
    EXPECT_FALSE(row_light(img).odd);
    x_key(app, "End");
    ASSERT_EQ(app_wait(app, 10000), 0);
    EXPECT_EQ(file_text(rc), "set scanlines on\nset multiplier 3\nset volume 47\nset speed unlimited\n");

    // Second run: one step from each saved value shows where it started.
    ASSERT_TRUE(start_fresh(*this)) << "no window on the second run";
    ASSERT_TRUE(wait_for_status(app, "Welcome to Kalvoran", 10000, shot("welcome2")));
    ASSERT_TRUE(wait_for_text(app, "]", 15000, shot("prompt2")));
    ASSERT_TRUE(capture(app, shot("screen2"), img));
    EXPECT_TRUE(row_light(img).even);
    EXPECT_FALSE(row_light(img).odd) << "the saved scanlines setting is not in force";
    x_key(app, "F3");
    EXPECT_TRUE(wait_for_status(app, "CPU multiplier 2", 5000, shot("again2")));
    x_key(app, "F9");
    EXPECT_TRUE(wait_for_status(app, "Speed: real time", 5000, shot("real-again")));
    x_key(app, "F8");
    EXPECT_TRUE(wait_for_status(app, "Main speaker volume set to 48%", 5000, shot("again48")));
    x_key(app, "End");
    ASSERT_EQ(app_wait(app, 10000), 0);
    // Scanlines were never touched in this run: still on when written back.
    EXPECT_EQ(file_text(rc), "set scanlines on\nset multiplier 2\nset volume 48\nset speed real\n");
}
