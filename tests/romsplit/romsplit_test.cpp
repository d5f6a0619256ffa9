// romsplit run as a program in a scratch directory: the split itself, its
// messages and exit statuses, and that failures leave existing files alone.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

ChildResult romsplit(const std::vector<std::string>& args = {}) { return run_program(romsplit_binary(), args); }

std::vector<std::string> names_in_cwd()
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes pattern(size_t n, unsigned seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 31 + seed + (i >> 8));
    return b;
}

const char* const all_opened = "Source file apple.rom opened\n"
                               "Target file msbasic.rom opened\n"
                               "Target file monitor.rom opened\n";

} // namespace

TEST(Romsplit, SplitsTheRealRomIntoTheTwoImages)
{
    SKIP_WITHOUT_TESTDATA("roms/apple2.rom");
    SKIP_WITHOUT_TESTDATA("roms/msbasic.rom");
    SKIP_WITHOUT_TESTDATA("roms/monitor.rom");
    TempWorkDir dir;
    copy_file(testdata("roms/apple2.rom"), "apple.rom");
    const ChildResult r = romsplit({"ignored", "-x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(all_opened) + "ROM generation complete\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file("msbasic.rom"), read_file(testdata("roms/msbasic.rom")));
    EXPECT_EQ(read_file("monitor.rom"), read_file(testdata("roms/monitor.rom")));
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom", "msbasic.rom"}));
}

TEST(Romsplit, OverwritesExistingOutputs)
{
    TempWorkDir dir;
    const Bytes src = pattern(12288, 3);
    write_file("apple.rom", src);
    write_file("msbasic.rom", pattern(20000, 1));
    write_file("monitor.rom", pattern(5, 2));
    const ChildResult r = romsplit();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read_file("msbasic.rom"), Bytes(src.begin(), src.begin() + 10240));
    EXPECT_EQ(read_file("monitor.rom"), Bytes(src.begin() + 10240, src.end()));
    EXPECT_EQ(names_in_cwd().size(), 3u);
}

TEST(Romsplit, BadSourceCreatesNothing)
{
    TempWorkDir dir;
    ChildResult r = romsplit();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Cannot open apple.rom for reading: No such file or directory\n");
    EXPECT_TRUE(names_in_cwd().empty());

    for (size_t size : {12287u, 12289u, 0u}) {
        write_file("apple.rom", pattern(size, 0));
        r = romsplit();
        EXPECT_EQ(r.status, 1) << size;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "File apple.rom is wrong size (must be 12288 bytes)\n");
        EXPECT_EQ(names_in_cwd(), std::vector<std::string>{"apple.rom"});
    }
}

TEST(Romsplit, FailureLeavesExistingOutputsUntouched)
{
    TempWorkDir dir;
    write_file("apple.rom", pattern(12288, 9));
    const Bytes old_basic = pattern(10240, 4);
    write_file("msbasic.rom", old_basic);
    std::filesystem::create_directory("monitor.rom");
    ChildResult r = romsplit();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Source file apple.rom opened\nTarget file msbasic.rom opened\n");
    EXPECT_EQ(r.err.rfind("Cannot open monitor.rom for writing: ", 0), 0u) << r.err;
    EXPECT_EQ(read_file("msbasic.rom"), old_basic);
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom", "msbasic.rom"}));

    // And with no msbasic.rom before, none is left behind.
    std::filesystem::remove("msbasic.rom");
    r = romsplit();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom"}));

    // msbasic.rom unusable: monitor.rom is not touched either.
    std::filesystem::remove("monitor.rom");
    const Bytes old_monitor = pattern(2048, 6);
    write_file("monitor.rom", old_monitor);
    std::filesystem::create_directory("msbasic.rom");
    r = romsplit();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Source file apple.rom opened\n");
    EXPECT_EQ(r.err.rfind("Cannot open msbasic.rom for writing: ", 0), 0u) << r.err;
    EXPECT_EQ(read_file("monitor.rom"), old_monitor);
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom", "msbasic.rom"}));
}

TEST(Romsplit, WritesThroughSymlinkedOutputs)
{
    TempWorkDir dir;
    const Bytes src = pattern(12288, 5);
    write_file("apple.rom", src);
    std::filesystem::create_directory("roms");
    write_file("roms/basic.bin", pattern(10240, 1));
    std::filesystem::create_symlink("roms/basic.bin", "msbasic.rom");
    // A link to a link, and one to a file that does not exist yet.
    std::filesystem::create_symlink("roms/monitor-link", "monitor.rom");
    std::filesystem::create_symlink("monitor.bin", "roms/monitor-link");
    const ChildResult r = romsplit();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink("msbasic.rom"));
    EXPECT_TRUE(std::filesystem::is_symlink("monitor.rom"));
    EXPECT_EQ(read_file("roms/basic.bin"), Bytes(src.begin(), src.begin() + 10240));
    EXPECT_EQ(read_file("roms/monitor.bin"), Bytes(src.begin() + 10240, src.end()));
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom", "msbasic.rom", "roms"}));
}

TEST(Romsplit, ReadOnlyFolderWithWritableOutputsIsWrittenInPlace)
{
    TempWorkDir dir;
    const Bytes src = pattern(12288, 7);
    write_file("apple.rom", src);
    write_file("msbasic.rom", pattern(20000, 1)); // longer: cut to size
    write_file("monitor.rom", pattern(5, 2));
    ASSERT_EQ(::chmod("msbasic.rom", 0666), 0);
    ASSERT_EQ(::chmod("monitor.rom", 0666), 0);
    ASSERT_EQ(::chmod("apple.rom", 0644), 0);
    ASSERT_EQ(::chmod(".", 0555), 0);
    // Root writes into any folder: the split then runs as nobody, for whom
    // the folder is read-only.
    const bool root = ::geteuid() == 0;
    const std::string program = romsplit_binary();
    auto run = [&] {
        return run_in_child([&] {
            if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
            char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
            ::execv(program.c_str(), argv);
            ::_exit(127);
        });
    };
    ChildResult r = run();
    if (r.status == 77) {
        ::chmod(".", 0700);
        GTEST_SKIP() << "cannot drop to an unprivileged user here; skipping";
    }
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(all_opened) + "ROM generation complete\n");
    EXPECT_EQ(read_file("msbasic.rom"), Bytes(src.begin(), src.begin() + 10240));
    EXPECT_EQ(read_file("monitor.rom"), Bytes(src.begin() + 10240, src.end()));
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "monitor.rom", "msbasic.rom"}));

    // Without an existing output there is nothing to write in place.
    ASSERT_EQ(::chmod(".", 0755), 0);
    std::filesystem::remove("monitor.rom");
    ASSERT_EQ(::chmod(".", 0555), 0);
    const Bytes basic_before = read_file("msbasic.rom");
    r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open monitor.rom for writing: Permission denied\n");
    EXPECT_EQ(read_file("msbasic.rom"), basic_before);
    EXPECT_EQ(names_in_cwd(), (std::vector<std::string>{"apple.rom", "msbasic.rom"}));
    ::chmod(".", 0700);
}

TEST(Romsplit, SourceThatIsNoRegularFileIsRefusedAtOnce)
{
    TempWorkDir dir;
    ASSERT_EQ(::mkfifo("apple.rom", 0600), 0);
    const std::string program = romsplit_binary();
    const ChildResult r = run_in_child([&program] {
        std::signal(SIGALRM, SIG_DFL);
        ::alarm(10); // a blocked open would otherwise hang the test
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        ::execv(argv[0], argv);
        ::_exit(127);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File apple.rom is wrong size (must be 12288 bytes)\n");
    EXPECT_EQ(names_in_cwd(), std::vector<std::string>{"apple.rom"});
}
