// Shared helpers for the tests: a fresh machine, test data, temporary
// working directories, child processes and reading the text screen.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "machine.h"

// Puts every field of the machine back to its power-on value, but for the
// speed mode: tests run unpaced unless they set real time themselves.
void test_reset_machine();

// Path of a file under ../shared/testdata, and whether it is there.
std::string testdata(const std::string& relative);
bool have_testdata(const std::string& relative);
#define SKIP_WITHOUT_TESTDATA(rel)                                                   \
    do {                                                                             \
        if (!have_testdata(rel))                                                     \
            GTEST_SKIP() << "test data " << testdata(rel) << " is absent; skipping"; \
    } while (0)

std::vector<uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
void copy_file(const std::string& from, const std::string& to);
bool file_exists(const std::string& path);

// A fresh temporary directory that becomes the working directory for the
// lifetime of the object, and is removed afterwards.
struct TempWorkDir {
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;
    std::string path;
    std::string old_cwd;
};

// Sets an environment variable for the lifetime of the object.
struct EnvSetting {
    EnvSetting(const char* name, const std::string& value);
    ~EnvSetting();
    EnvSetting(const EnvSetting&) = delete;
    EnvSetting& operator=(const EnvSetting&) = delete;
    std::string name;
    std::string old;
    bool had;
};

struct ChildResult {
    int status = -1;  // exit status, or -1 if killed by a signal
    std::string out;  // standard output
    std::string err;  // error stream
};
// Runs fn in a forked child and collects its exit status and output.
ChildResult run_in_child(const std::function<void()>& fn);
// Runs a program with arguments in the current directory.
ChildResult run_program(const std::string& program, const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {});

// Built programs.
std::string kalvoran_binary();
std::string romsplit_binary();

// Start-up as the program does it, in the current directory, with these args.
// The machine then runs unpaced, unless test_keep_speed_setting is set, which
// keeps what start-up chose (real time, or the settings file's line).
void test_startup(const std::vector<std::string>& args);
extern bool test_keep_speed_setting;
// Runs the processor for at least n cycles (cpu_step in a loop).
void run_cycles(uint64_t n);
// Types one character into the keyboard latch, waiting up to a budget of
// cycles for the program to take the previous key first.
bool type_key(uint8_t code, uint64_t budget = 20'000'000);
bool type_text(const std::string& text, uint64_t budget = 20'000'000);
// Text page 1 row (0-23) from main RAM, decoded to plain ASCII.
std::string screen_row(int row);
std::string screen_text(); // all 24 rows joined with '\n'
// Runs until the text appears on screen or the cycle budget is spent.
bool run_until_screen_contains(const std::string& text, uint64_t budget);

// SDL with the dummy video driver and the 560 x 392 x 8 window surface in
// machine.fe.screen_surface (palette installed). Returns false on failure.
bool test_open_surface();
// Pixel of the surface (palette index).
uint8_t surface_pixel(int x, int y);

// The machine on a thread of its own, for programs that wait for keys inside
// host services (the ZELM key wait holds the processor inside one
// instruction until a key comes). The test thread reads the screen and
// feeds keys while it runs.
void machine_thread_start();
void machine_thread_stop();
bool machine_thread_wait_screen(const std::string& text, int timeout_ms);
bool machine_thread_type(const std::string& text, int timeout_ms = 5000);
