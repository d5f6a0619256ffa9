// The command line of kalvoran run as a program: usage text, rejected
// arguments, the quick-load header display and the start-up ROM reports.
#include <filesystem>
#include "support/test_support.h"

namespace {

const std::string usage_text =
    "Kalvoran v0.20SA(G) with ZELM v0.07.1\n"
    "\n"
    "usage:  kalvoran [-eEFhHr]\n"
    "        -e  //e mode, 64K (experimental)\n"
    "        -E  //e mode, 128K (experimental)\n"
    "        -F  Full mode (ZELM monitor)\n"
    "        -h  Headers (show header info for quickload file)\n"
    "        -H  Hybrid mode (Apple ][+ monitor with ZELM REE extensions)\n"
    "        -r  RGB palette\n"
    "        -s  Full Screen Mode\n";

ChildResult kalvoran(const std::vector<std::string>& args) { return run_program(kalvoran_binary(), args); }

size_t files_in_cwd()
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(".")) ++n;
    return n;
}

} // namespace

TEST(EntryArgs, QuestionMarkPrintsTheUsageText)
{
    TempWorkDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"-?"}, {"?anything"}, {"?"}, {"-s?"}, {"-F", "?"}, {"-", "-r?x"},
    };
    for (const auto& args : cases) {
        const ChildResult r = kalvoran(args);
        EXPECT_EQ(r.status, 0) << args.back();
        EXPECT_EQ(r.out, usage_text) << args.back();
        EXPECT_EQ(r.err, "") << args.back();
    }
    EXPECT_EQ(files_in_cwd(), 0u);
}

TEST(EntryArgs, RejectedArgumentsReportAndFail)
{
    TempWorkDir dir;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-x"}, "Error: ERROR: '-x' is not a valid switch.\n"},
        {{"-c"}, "Error: ERROR: '-c' is not a valid switch.\n"},
        {{"-C"}, "Error: ERROR: '-C' is not a valid switch.\n"},
        {{"-Fsz?"}, "Error: ERROR: '-z' is not a valid switch.\n"},
        {{"foo"}, "Error: ERROR: 'foo' is not a valid parameter.\n"},
        {{"-F", "foo bar", "-?"}, "Error: ERROR: 'foo bar' is not a valid parameter.\n"},
        {{""}, "Error: ERROR: '' is not a valid parameter.\n"},
        // x ends the program before -h is looked at.
        {{"-x", "-h"}, "Error: ERROR: '-x' is not a valid switch.\n"},
        // However long, the argument is shown whole.
        {{std::string(484, 'a')}, "Error: ERROR: '" + std::string(484, 'a') + "' is not a valid parameter.\n"},
        {{std::string(5000, 'b')}, "Error: ERROR: '" + std::string(5000, 'b') + "' is not a valid parameter.\n"},
    };
    for (const auto& [args, err] : cases) {
        const ChildResult r = kalvoran(args);
        EXPECT_EQ(r.status, 1) << args[0].substr(0, 20);
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(EntryArgs, QuickLoadHeaderDisplay)
{
    TempWorkDir dir;
    ChildResult r = kalvoran({"-h"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Header Info: INFO:  quikload.pg2 cannot be opened.\n");

    write_file("quikload.pg2", {0x00, 0x08, 0x34, 0x12, 0x99});
    r = kalvoran({"-h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Header Info: INFO:  quikload.pg2 header: A$0800, L$1234\n");
    EXPECT_EQ(r.out, "");

    // Bytes past the end read as $FF; the s after h is never examined.
    write_file("quikload.pg2", {0xCD, 0xAB});
    r = kalvoran({"-hs"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Header Info: INFO:  quikload.pg2 header: A$ABCD, L$FFFF\n");
    r = kalvoran({"-hx"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Header Info: INFO:  quikload.pg2 header: A$ABCD, L$FFFF\n");

    write_file("quikload.pg2", {});
    r = kalvoran({"-F", "-h"});
    EXPECT_EQ(r.err, "Header Info: INFO:  quikload.pg2 header: A$FFFF, L$FFFF\n");
}

TEST(EntryArgs, EmptyDirectoryReportsMissingBasicAndCreatesNothing)
{
    TempWorkDir dir;
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"-"}, {"-F"}, {"-sH"}}) {
        const ChildResult r = kalvoran(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ROM Missing!: FATAL: Can't find msbasic.rom\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(files_in_cwd(), 0u);
}

TEST(EntryArgs, EachRomFailureHasItsReport)
{
    TempWorkDir dir;
    const auto check = [](const std::vector<std::string>& args, const std::string& err) {
        const ChildResult r = kalvoran(args);
        EXPECT_EQ(r.status, 1) << err;
        EXPECT_EQ(r.err, err);
    };
    write_file("msbasic.rom", std::vector<uint8_t>(10239));
    check({"-F"}, "ROM Invalid!: FATAL: Invalid msbasic.rom\n(Make sure it is exactly 10,240 bytes.)\n");
    write_file("msbasic.rom", std::vector<uint8_t>(10240));
    check({"-H"}, "ROM Missing!: FATAL: Can't find monitor.rom\n(Use the -F switch to run without it.)\n");
    check({}, "ROM Missing!: FATAL: Can't find monitor.rom\n(Use the -F switch to run without it.)\n");
    write_file("monitor.rom", std::vector<uint8_t>(2049));
    check({"-H"}, "ROM Invalid!: FATAL: Invalid monitor.rom\n(Make sure it is exactly 2048 bytes.)\n"
                  "(Remove the -c or -C switch to run without it.)\n");
    write_file("apple2.rom", std::vector<uint8_t>(12287));
    check({}, "ROM Invalid!: FATAL: Invalid apple2.rom\n(Make sure it is exactly 12288 bytes.)\n"
              "(Remove the -c or -C switch to run without it.)\n");
    check({"-E"}, "ROM Missing!: FATAL: Can't find apple2e.rom\n"
                  "(Remove the -E switch to use ][+ mode instead.)\n");
    check({"-e"}, "ROM Missing!: FATAL: Can't find apple2e.rom\n"
                  "(Remove the -E switch to use ][+ mode instead.)\n");
    write_file("apple2e.rom", std::vector<uint8_t>(16000));
    check({"-E"}, "ROM Invalid!: FATAL: Invalid apple2e.rom\n(Make sure it is exactly 16128 bytes.)\n"
                  "(Remove the -c or -C switch to run without it.)\n");
}
