// Start-up in a child process with SDL's dummy driver: the window, caption,
// key repeat, pointer, cleared memory, reset request and run-loop set-up.
#include <SDL.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sstream>
#include "frontend/frontend.h"
#include "support/test_support.h"

namespace {

struct Expect {
    std::vector<std::string> args;
    int mode;
    const char* caption;
    bool full_screen;
    int iie_active;
};

// Runs the start-up in a child; the child reports each mismatch on
// standard output, so an empty output means every check held.
ChildResult start_and_check(const Expect& e)
{
    return run_in_child([&] {
        test_reset_machine();
        machine.mem.ram.fill(0xAA);
        test_startup(e.args);
        std::ostringstream bad;
        const FrontendState& fe = machine.fe;
        SDL_Surface* s = fe.screen_surface;
        if (!s) bad << "no surface\n";
        else {
            if (s->w != 560 || s->h != 392) bad << "size " << s->w << "x" << s->h << "\n";
            if (s->format->BitsPerPixel != 8) bad << "depth " << int(s->format->BitsPerPixel) << "\n";
            if (s != SDL_GetVideoSurface()) bad << "not the video surface\n";
        }
        if (fe.screen_bpp != 8) bad << "screen_bpp\n";
        if (fe.machine_mode != e.mode) bad << "mode " << fe.machine_mode << "\n";
        if (int(fe.full_screen) != int(e.full_screen)) bad << "full_screen\n";
        if (fe.iie_active != e.iie_active) bad << "iie_active\n";
        char* title = nullptr;
        char* icon = nullptr;
        SDL_WM_GetCaption(&title, &icon);
        if (!title || std::string(title) != e.caption) bad << "caption " << (title ? title : "-") << "\n";
        if (!icon || std::string(icon) != "Test Icon") bad << "icon title\n";
        int delay = 0, interval = 0;
        SDL_GetKeyRepeat(&delay, &interval);
        if (delay != 250 || interval != 30) bad << "key repeat " << delay << "/" << interval << "\n";
        if (SDL_ShowCursor(SDL_QUERY) != SDL_DISABLE) bad << "pointer shown\n";
        if (fe.scan_line != 0) bad << "scan_line\n";
        for (uint32_t a = 0x0800; a < 0xC000; ++a)
            if (machine.mem.ram[a] != 0) {
                bad << "RAM not cleared at " << a << "\n";
                break;
            }
        if (!(machine.cpu.cpu_pending & PENDING_RESET)) bad << "no reset request\n";
        if (machine.cpu.poll_interval != 65) bad << "poll_interval " << machine.cpu.poll_interval << "\n";
        if (machine.cpu.interval_dirty != 1) bad << "interval_dirty\n";
        std::fputs(bad.str().c_str(), stdout);
        std::fflush(stdout);
        ::_exit(0);
    });
}

} // namespace

TEST(EntryStartup, OpensTheWindowAndPreparesTheMachineInEveryMode)
{
    SKIP_WITHOUT_TESTDATA("roms/msbasic.rom");
    SKIP_WITHOUT_TESTDATA("roms/monitor.rom");
    SKIP_WITHOUT_TESTDATA("roms/apple2e.rom");
    TempWorkDir dir;
    for (const char* name : {"msbasic.rom", "monitor.rom", "apple2e.rom"})
        copy_file(testdata(std::string("roms/") + name), name);

    const Expect cases[] = {
        {{"-F"}, MODE_FULL, "Kalvoran Version 0.20SA(G) with ZELM 0.07.1", false, 0},
        {{"-H"}, MODE_HYBRID, "Kalvoran Version 0.20SA(G) with Partial ZELM 0.07.1", false, 0},
        {{}, MODE_IIPLUS, "Kalvoran Version 0.20SA(G)", false, 0},
        {{"-r", "-s"}, MODE_IIPLUS, "Kalvoran Version 0.20SA(G)", true, 0},
        {{"-e"}, MODE_IIE, "Kalvoran Version 0.20SA(G)", false, 1},
        {{"-E"}, MODE_IIE, "Kalvoran Version 0.20SA(G)", false, 1},
        {{"-eF"}, MODE_FULL, "Kalvoran Version 0.20SA(G) with ZELM 0.07.1", false, 0},
    };
    for (const Expect& e : cases) {
        const ChildResult r = start_and_check(e);
        const std::string label = e.args.empty() ? "(none)" : e.args[0];
        EXPECT_EQ(r.status, 0) << label << ": " << r.err;
        EXPECT_EQ(r.out, "") << label;
    }
}

TEST(EntryStartup, SwitchesSetTheirFields)
{
    TempWorkDir dir;
    // Parsing finishes before anything starts, so the ROM report proves the
    // fields were set by the time start-up begins; read them from the child.
    const auto fields = [](std::vector<std::string> args) {
        return run_in_child([args] {
            test_reset_machine();
            std::atexit([] {
                const FrontendState& fe = machine.fe;
                std::printf("%d %d %d %u", fe.machine_mode, fe.iie_64k, fe.rgb_palette, fe.full_screen);
                std::fflush(stdout);
            });
            test_startup(args);
        });
    };
    EXPECT_EQ(fields({"-sr"}).out, "2 0 1 1");
    EXPECT_EQ(fields({"-eF"}).out, "0 1 0 0");
    EXPECT_EQ(fields({"-e", "-E"}).out, "3 0 0 0");
    EXPECT_EQ(fields({"-E", "-e"}).out, "3 1 0 0");
    EXPECT_EQ(fields({"-FH"}).out, "1 0 0 0");
    EXPECT_EQ(fields({"-HF", "-"}).out, "0 0 0 0");
    const ChildResult r = fields({"-s?"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(r.out.size() - 7), "2 0 0 1"); // usage text, then the fields
}

TEST(EntryStartup, ImageHeldByAnotherProcessIsAnnouncedLast)
{
    TempWorkDir dir;
    write_file("apple2.rom", std::vector<uint8_t>(12288, 0));
    write_file("apple2e.rom", std::vector<uint8_t>(16128, 0));
    write_file("hdv1.hdv", std::vector<uint8_t>(1024, 0));
    write_file("disk6a.dsk", std::vector<uint8_t>(143360, 0));
    const auto status_after_startup = [](std::vector<std::string> args) {
        return run_in_child([args] {
            test_reset_machine();
            test_startup(args);
            std::printf("%s|%d%d", machine.fe.status_text, machine.ms.units[0].write_protected,
                        machine.disk.drive[0].write_protected);
        }).out;
    };
    const std::string free_run = status_after_startup({});
    EXPECT_EQ(free_run.substr(0, 19), "Welcome to Kalvoran");
    EXPECT_EQ(free_run.substr(80), "|00");
    for (const char* held : {"hdv1.hdv", "disk6a.dsk"}) {
        const int other = ::open(held, O_RDWR);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX), 0);
        const std::string in_use = "Disk is in use: mounted write-protected";
        const std::string padded = in_use + std::string(80 - in_use.size(), ' ');
        const std::string flags = held[0] == 'h' ? "|10" : "|01";
        EXPECT_EQ(status_after_startup({}), padded + flags) << held;
        // Also over the //e warning.
        EXPECT_EQ(status_after_startup({"-e"}), padded + flags) << held;
        ::close(other);
    }
}
