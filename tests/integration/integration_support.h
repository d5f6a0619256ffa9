// Shared by the whole-machine tests: our own ROMs from the build's data
// folder, shared test data copied into the working directory, and waits on
// the text screen.
#pragma once
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include "storage/disk.h"
#include "storage/massstor.h"
#include "support/test_support.h"

inline const std::string firmware_dir = KALVORAN_BINARY_DIR "/share/kalvoran";

// Points the ROM loader at the firmware the build assembled, for the life of
// the object; afterwards the loader sees the folder it saw before.
struct UseBuiltFirmware {
    UseBuiltFirmware()
    {
        if (const char* v = std::getenv("KALVORAN_DATADIR")) saved = v;
        had = std::getenv("KALVORAN_DATADIR") != nullptr;
        ::setenv("KALVORAN_DATADIR", firmware_dir.c_str(), 1);
    }
    ~UseBuiltFirmware()
    {
        if (had) ::setenv("KALVORAN_DATADIR", saved.c_str(), 1);
        else ::unsetenv("KALVORAN_DATADIR");
    }
    std::string saved;
    bool had = false;
    UseBuiltFirmware(const UseBuiltFirmware&) = delete;
    UseBuiltFirmware& operator=(const UseBuiltFirmware&) = delete;
};

// Copies the named shared files into the working directory.
inline bool bring_testdata(std::initializer_list<std::pair<const char*, const char*>> files)
{
    for (auto [rel, as] : files) {
        if (!have_testdata(rel)) return false;
        copy_file(testdata(rel), as);
    }
    return true;
}

#define BRING_OR_SKIP(...)                                                              \
    do {                                                                                \
        if (!bring_testdata({__VA_ARGS__})) GTEST_SKIP() << "shared test data absent"; \
    } while (0)

// The build assembles the firmware always; its absence is a build fault.
#define ASSERT_FIRMWARE_BUILT() \
    ASSERT_TRUE(file_exists(firmware_dir + "/massstor.rom")) << "no firmware in " << firmware_dir

// A text row as the display shows it: with the //e's 80 columns on, the
// auxiliary half holds columns 1, 3, 5, ... and the main half 2, 4, 6, ...;
// otherwise text page 1 of main RAM.
inline std::string shown_row(int row)
{
    if (!machine.sw.col80) return screen_row(row);
    const uint16_t start = static_cast<uint16_t>(0x400 + 0x80 * (row % 8) + 0x28 * (row / 8));
    std::string s;
    for (int c = 0; c < 80; ++c) {
        const uint8_t v = machine.mem.ram[(c % 2 == 0 ? 0x10000 : 0) + start + c / 2];
        uint8_t ch = v >= 0x80 ? (v & 0x7F) : (v & 0x3F);
        if (ch < 0x20) ch = static_cast<uint8_t>(ch + 0x40);
        s.push_back(static_cast<char>(ch));
    }
    return s;
}

inline std::string shown_text()
{
    std::string s;
    for (int r = 0; r < 24; ++r) s += shown_row(r) + '\n';
    return s;
}

inline bool run_until_shown(const std::string& text, uint64_t budget)
{
    for (uint64_t spent = 0; spent < budget; spent += 100000) {
        if (shown_text().find(text) != std::string::npos) return true;
        run_cycles(100000);
    }
    return shown_text().find(text) != std::string::npos;
}

inline std::string screen_dump()
{
    char pc[32];
    std::snprintf(pc, sizeof pc, "pc=$%04X", machine.cpu.reg.pc);
    return std::string("\n") + pc + " screen:\n" + shown_text();
}

// Runs until the cursor row holds nothing but the prompt character (column 1
// is the cursor, whose look differs between the machines) with the disk
// drives stopped (their run-on over), and it stays so for two million
// cycles: the machine is waiting for a line (DOS shows a prompt briefly
// before it runs HELLO).
inline bool run_until_bare_prompt(char prompt, uint64_t budget)
{
    auto bare = [prompt](const std::string& row) {
        return row[0] == prompt && row.find_first_not_of(' ', 2) == std::string::npos;
    };
    int steady = 0;
    for (uint64_t spent = 0; spent <= budget; spent += 100000) {
        const int cv = machine.mem.ram[0x25];
        const bool quiet = !disk_motor_spinning();
        steady = (quiet && cv < 24 && bare(shown_row(cv))) ? steady + 1 : 0;
        if (steady == 20) return true;
        run_cycles(100000);
    }
    return false;
}

// Both kinds of unit files written back and closed, as at exit.
inline void close_storage()
{
    ms_close_all();
    disk_flush_all();
}
