// romsplit run as a program in a scratch directory: the split itself, its
// messages and exit statuses, and that failures leave existing files alone.
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
