// Files a user hands the program that are no regular files: FIFOs (which
// block an open until a writer comes), devices that never end (/dev/zero)
// and folders. Each case runs in a child under an alarm, so a hang fails the
// test instead of stopping it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "frontend/frontend.h"
#include "memory/memory.h"
#include "storage/disk.h"
#include "storage/massstor.h"
#include "support/test_support.h"
#include "video/font.h"

namespace {

constexpr unsigned ALARM_SECONDS = 10;

// Runs fn in a child that the alarm ends if it blocks; its standard output
// carries what it found.
ChildResult within_alarm(const std::function<void()>& fn)
{
    return run_in_child([&] {
        // SDL, started by earlier tests of this program, ignores SIGALRM;
        // the child (and a program it runs) must not.
        std::signal(SIGALRM, SIG_DFL);
        ::alarm(ALARM_SECONDS);
        fn();
    });
}

// The same for the real program, which (starting SDL) ignores SIGALRM itself:
// it runs as a grandchild that the child kills when its time is up.
ChildResult kalvoran_within_alarm(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    const std::string program = kalvoran_binary();
    return run_in_child([&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        for (unsigned i = 0; i < ALARM_SECONDS * 100; ++i) {
            int st = 0;
            if (::waitpid(pid, &st, WNOHANG) == pid) ::_exit(WIFEXITED(st) ? WEXITSTATUS(st) : 126);
            ::usleep(10000);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::_exit(125);
    });
}

void fifo(const char* name) { ASSERT_EQ(::mkfifo(name, 0600), 0) << name; }
void link_to(const char* target, const char* name) { std::filesystem::create_symlink(target, name); }

// load_roms in a fresh machine, in a child; prints the code.
std::string rom_code(int mode)
{
    const ChildResult r = within_alarm([mode] {
        test_reset_machine();
        std::printf("%d", load_roms(mode));
    });
    return r.status == 0 ? r.out : "hung or died";
}

} // namespace

TEST(SpecialFiles, RomsThatAreNoRegularFilesAreInvalid)
{
    TempWorkDir dir;
    fifo("msbasic.rom");
    EXPECT_EQ(rom_code(MODE_FULL), "-2");
    std::remove("msbasic.rom");
    std::filesystem::create_directory("msbasic.rom");
    EXPECT_EQ(rom_code(MODE_FULL), "-2");
    std::filesystem::remove("msbasic.rom");

    write_file("msbasic.rom", std::vector<uint8_t>(10240, 0));
    fifo("monitor.rom");
    EXPECT_EQ(rom_code(MODE_HYBRID), "-4");
    // A FIFO apple2.rom is not a missing one: no fallback to the pair.
    std::remove("monitor.rom");
    write_file("monitor.rom", std::vector<uint8_t>(2048, 0));
    fifo("apple2.rom");
    EXPECT_EQ(rom_code(MODE_IIPLUS), "-5");
    std::remove("apple2.rom");
    link_to("/dev/zero", "apple2.rom");
    EXPECT_EQ(rom_code(MODE_IIPLUS), "-5");
    fifo("apple2e.rom");
    EXPECT_EQ(rom_code(MODE_IIE), "-7");

    // The optional images are ignored as a missing one is.
    fifo("disk.rom");
    link_to("/dev/zero", "massstor.rom");
    fifo("kalvoran.fnt");
    const ChildResult r = within_alarm([] {
        test_reset_machine();
        const int code = load_roms(MODE_FULL);
        bool empty_slots = true;
        for (int i = 0; i < 256; ++i)
            empty_slots &= machine.mem.rom_slot5[i] == 0xFF && machine.mem.rom_slot6[i] == 0xFF;
        std::printf("%d %d %d", code, empty_slots, machine.video.glyph_font == builtin_font);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0 1 1");

    // The real program makes its report and ends.
    std::remove("msbasic.rom");
    fifo("msbasic.rom");
    const ChildResult p = kalvoran_within_alarm({"-F"});
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.err, "ROM Invalid!: FATAL: Invalid msbasic.rom\n(Make sure it is exactly 10,240 bytes.)\n");
}

TEST(SpecialFiles, SettingsFileIsIgnoredUnlessRegularAndReadOnlyInPart)
{
    TempWorkDir dir;
    auto load = [] {
        return within_alarm([] {
            test_reset_machine();
            settings_load();
            std::printf("%u", static_cast<unsigned>(machine.cpu.cpu_multiplier));
        });
    };
    fifo("kalvoran.rc");
    ChildResult r = load();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1"); // the default
    std::remove("kalvoran.rc");
    link_to("/dev/zero", "kalvoran.rc");
    r = load();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "1"); // the default

    // Only the start of a huge file is read: a line 20 KiB in is not.
    std::remove("kalvoran.rc");
    std::string text;
    while (text.size() < 20000) text += "# padding padding padding padding padding padding\n";
    text += "set multiplier 7\n";
    write_file("kalvoran.rc", std::vector<uint8_t>(text.begin(), text.end()));
    r = load();
    EXPECT_EQ(r.out, "1"); // the default
    write_file("kalvoran.rc", {'s', 'e', 't', ' ', 'm', 'u', 'l', 't', 'i', 'p', 'l', 'i', 'e', 'r', ' ', '7', '\n'});
    r = load();
    EXPECT_EQ(r.out, "7");

    // At exit a FIFO in its place is left alone instead of waited on.
    std::remove("kalvoran.rc");
    fifo("kalvoran.rc");
    r = within_alarm([] {
        test_reset_machine();
        emulator_exit();
    });
    EXPECT_EQ(r.status, 0);
    struct stat st;
    ASSERT_EQ(::stat("kalvoran.rc", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(SpecialFiles, BloadAndQuickLoadHeaderRefuseThem)
{
    TempWorkDir dir;
    fifo("pipe.bin");
    link_to("/dev/zero", "zero.bin");
    std::filesystem::create_directory("folder.bin");
    for (const char* name : {"pipe.bin", "zero.bin", "folder.bin", "/dev/zero"}) {
        const ChildResult r = within_alarm([name] {
            test_reset_machine();
            bload(name);
            bool untouched = true;
            for (uint32_t a = 0; a < 0xC000; ++a) untouched &= machine.mem.ram[a] == 0;
            std::printf("%s|%d", machine.fe.status_text, untouched);
        });
        EXPECT_EQ(r.status, 0) << name;
        const std::string shown = "Cannot open file " + std::string(name) + "!";
        EXPECT_EQ(r.out, shown + std::string(80 - shown.size(), ' ') + "|1") << name;
    }

    fifo("quikload.pg2");
    const ChildResult p = kalvoran_within_alarm({"-h"});
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.err, "Header Info: INFO:  quikload.pg2 cannot be opened.\n");
}

TEST(SpecialFiles, DiskAndUnitImagesAreNotMounted)
{
    TempWorkDir dir;
    fifo("pipe.dsk");
    link_to("/dev/zero", "zero.dsk");
    std::filesystem::create_directory("folder.dsk");
    fifo("hdv1.hdv");
    link_to("/dev/zero", "hdv2.hdv");
    const ChildResult r = within_alarm([] {
        test_reset_machine();
        for (const char* name : {"pipe.dsk", "zero.dsk", "folder.dsk", "/dev/null"}) {
            DiskDrive& d = machine.disk.drive[0];
            d.name.fill('\0');
            std::snprintf(d.name.data(), d.name.size(), "%s", name);
            d.kind = DISK_UNKNOWN;
            disk_mount(0);
            std::printf("%s:%d ", name, d.fd >= 0);
            disk_unmount(0);
        }
        ms_mount_defaults();
        for (uint8_t unit : {0, 1}) {
            ms_io_write(0xC0D1, unit);
            ms_io_write(0xC0D0, 1); // read block 0
            std::printf("unit%d:%02X ", unit, ms_io_read(0xC0D7));
        }
        ms_close_all();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "pipe.dsk:0 zero.dsk:0 folder.dsk:0 /dev/null:0 unit0:28 unit1:28 ");
    // Nothing was deleted as an empty image.
    EXPECT_TRUE(file_exists("pipe.dsk"));
    EXPECT_TRUE(file_exists("hdv1.hdv"));
    EXPECT_TRUE(file_exists("/dev/null"));
}
