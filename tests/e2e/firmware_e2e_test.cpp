// The program started as the run script starts it in an empty working
// directory: -F on the free ROM from the data folder beside the binary,
// which shows its notice and leaves the ZELM monitor waiting for commands.
#include <cstdlib>
#include <optional>

#include "e2e/e2e_fixture.h"

TEST_F(E2E, EmptyDirectoryRunsTheFreeRomIntoTheMonitor)
{
    ASSERT_TRUE(std::filesystem::is_empty(dir));
    ASSERT_TRUE(file_exists(std::string(KALVORAN_BINARY_DIR) + "/share/kalvoran/msbasic.rom"))
        << "the build did not assemble the free ROM";
    // No override: the program must find its data folder by itself. The
    // child inherits the environment as it is at the start.
    std::optional<std::string> saved;
    if (const char* v = std::getenv("KALVORAN_DATADIR")) saved = v;
    ::unsetenv("KALVORAN_DATADIR");
    bool started = start({"-F"});
    if (!started) {
        // Now and then a fresh Xvfb's display cannot be reached while other
        // X servers come and go on this host; one more server, not a pass.
        app_kill(app);
        delete x;
        x = new XServer;
        started = x->ok() && start({"-F"});
    }
    if (saved) ::setenv("KALVORAN_DATADIR", saved->c_str(), 1);
    ASSERT_TRUE(started) << "no window";

    EXPECT_TRUE(wait_for_text(app, "KALVORAN: APPLE ][+ AND //E EMULATOR", 15000, shot("notice")));
    EXPECT_TRUE(wait_for_text(app, "\n  APPLE2.ROM ", 5000, shot("roms")));
    ASSERT_TRUE(wait_for_text(app, "\n-", 5000, shot("prompt")));
    x_type(app, "l300"); // plain letters type capitals, as on the machine
    x_key(app, "Return");
    EXPECT_TRUE(wait_for_text(app, "\n0300:  00", 10000, shot("listing")));
    EXPECT_TRUE(wait_for_text(app, "\n-", 5000, shot("prompt-again")));
    x_key(app, "End");
    EXPECT_EQ(app_wait(app, 10000), 0);
    // Our ROMs were read from the data folder, not left in the directory.
    EXPECT_FALSE(file_exists(dir + "/msbasic.rom"));
}
