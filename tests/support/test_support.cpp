#include "support/test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cpu/cpu.h"
#include "frontend/frontend.h"

// Every test program runs headless, and sees only the ROMs its test puts in
// the working directory (not the firmware folder beside the program).
// Set before main; a variable already in the environment wins.
static const bool environment_defaults = [] {
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::setenv("KALVORAN_DATADIR", "/nonexistent-kalvoran-data", 0);
    return true;
}();

// Tests run the machine unpaced, as fast as the host allows; those about
// real time ask for it.
void test_reset_machine()
{
    static const MachineState fresh{};
    machine = fresh;
    machine.cpu.speed_unlimited = 1;
}

std::string testdata(const std::string& relative)
{
    return std::string(KALVORAN_TESTDATA) + "/" + relative;
}

bool have_testdata(const std::string& relative) { return file_exists(testdata(relative)); }

std::vector<uint8_t> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void copy_file(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    // Shared test data is read-only; the copies must be writable.
    std::filesystem::permissions(to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

bool file_exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

TempWorkDir::TempWorkDir()
{
    char tmpl[] = "/tmp/kalvoran-test-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    if (!made) std::abort();
    path = made;
    old_cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(path);
}

TempWorkDir::~TempWorkDir()
{
    std::filesystem::current_path(old_cwd);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

EnvSetting::EnvSetting(const char* n, const std::string& value) : name(n)
{
    const char* o = std::getenv(n);
    had = o != nullptr;
    if (had) old = o;
    ::setenv(n, value.c_str(), 1);
}

EnvSetting::~EnvSetting()
{
    if (had) ::setenv(name.c_str(), old.c_str(), 1);
    else ::unsetenv(name.c_str());
}

static std::string slurp_fd(int fd)
{
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    return s;
}

ChildResult run_in_child(const std::function<void()>& fn)
{
    std::fflush(stdout);
    std::fflush(stderr);
    char out_name[] = "/tmp/kalvoran-out-XXXXXX";
    char err_name[] = "/tmp/kalvoran-err-XXXXXX";
    int out_fd = ::mkstemp(out_name);
    int err_fd = ::mkstemp(err_name);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        fn();
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(0);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    ChildResult r;
    ::lseek(out_fd, 0, SEEK_SET);
    ::lseek(err_fd, 0, SEEK_SET);
    r.out = slurp_fd(out_fd);
    r.err = slurp_fd(err_fd);
    ::close(out_fd);
    ::close(err_fd);
    ::unlink(out_name);
    ::unlink(err_name);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

ChildResult run_program(const std::string& program, const std::vector<std::string>& args,
                        const std::vector<std::string>& env)
{
    return run_in_child([&] {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    });
}

std::string kalvoran_binary() { return std::string(KALVORAN_BINARY_DIR) + "/src/kalvoran"; }
std::string romsplit_binary() { return std::string(KALVORAN_BINARY_DIR) + "/tools/romsplit/romsplit"; }

void test_startup(const std::vector<std::string>& args)
{
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::vector<std::string> all{"kalvoran"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    kalvoran_startup(static_cast<int>(all.size()), argv.data());
    machine.cpu.speed_unlimited = test_keep_speed_setting ? machine.cpu.speed_unlimited : 1;
}

bool test_keep_speed_setting = false;

void run_cycles(uint64_t n)
{
    const uint32_t start = machine.cpu.reg.cycles;
    while (static_cast<uint32_t>(machine.cpu.reg.cycles - start) < n) cpu_step();
}

bool type_key(uint8_t code, uint64_t budget)
{
    uint64_t spent = 0;
    while (machine.fe.key_strobe && spent < budget) {
        run_cycles(1000);
        spent += 1000;
    }
    if (machine.fe.key_strobe) return false;
    machine.fe.key_latch = code & 0x7F;
    machine.fe.key_strobe = 1;
    while (machine.fe.key_strobe && spent < budget) {
        run_cycles(1000);
        spent += 1000;
    }
    return machine.fe.key_strobe == 0;
}

bool type_text(const std::string& text, uint64_t budget)
{
    for (char ch : text) {
        uint8_t code = static_cast<uint8_t>(ch == '\n' ? 0x0D : ch);
        if (!type_key(code, budget)) return false;
    }
    return true;
}

std::string screen_row(int row)
{
    static constexpr uint16_t base[8] = {0x400, 0x480, 0x500, 0x580, 0x600, 0x680, 0x700, 0x780};
    const uint16_t start = static_cast<uint16_t>(base[row % 8] + 0x28 * (row / 8));
    std::string s;
    for (int c = 0; c < 40; ++c) {
        uint8_t v = machine.mem.ram[start + c];
        uint8_t ch = v >= 0x80 ? (v & 0x7F) : (v & 0x3F);
        if (ch < 0x20) ch = static_cast<uint8_t>(ch + 0x40);
        s.push_back(static_cast<char>(ch));
    }
    return s;
}

std::string screen_text()
{
    std::string s;
    for (int r = 0; r < 24; ++r) {
        s += screen_row(r);
        s += '\n';
    }
    return s;
}

bool run_until_screen_contains(const std::string& text, uint64_t budget)
{
    for (uint64_t spent = 0; spent < budget; spent += 100000) {
        if (screen_text().find(text) != std::string::npos) return true;
        run_cycles(100000);
    }
    return screen_text().find(text) != std::string::npos;
}

#include <SDL.h>
#include "video/video.h"

bool test_open_surface()
{
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_Init(SDL_INIT_VIDEO) < 0) return false;
    machine.fe.screen_bpp = 8;
    machine.fe.screen_surface = SDL_SetVideoMode(560, 392, 8, SDL_HWPALETTE);
    if (!machine.fe.screen_surface) return false;
    set_palette();
    return true;
}

uint8_t surface_pixel(int x, int y)
{
    SDL_Surface* s = machine.fe.screen_surface;
    return static_cast<const uint8_t*>(s->pixels)[y * s->pitch + x];
}

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::thread machine_thread;
std::atomic<bool> machine_thread_stopping{false};

uint32_t strobe_now() { return std::atomic_ref<uint32_t>(machine.fe.key_strobe).load(); }

bool feed_key(uint8_t code, int timeout_ms)
{
    using clock = std::chrono::steady_clock;
    const auto until = clock::now() + std::chrono::milliseconds(timeout_ms);
    while (strobe_now() != 0)
        if (clock::now() > until) return false;
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::atomic_ref<uint32_t>(machine.fe.key_latch).store(code & 0x7F);
    std::atomic_ref<uint32_t>(machine.fe.key_strobe).store(1);
    while (strobe_now() != 0)
        if (clock::now() > until) return false;
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
    return true;
}
} // namespace

void machine_thread_start()
{
    machine_thread_stopping = false;
    machine_thread = std::thread([] {
        while (!machine_thread_stopping.load()) cpu_step();
    });
}

void machine_thread_stop()
{
    machine_thread_stopping = true;
    // A key wait inside a service returns on a key; Return is harmless at a prompt.
    while (machine_thread.joinable()) {
        feed_key(0x0D, 50);
        if (machine_thread.joinable()) {
            // Joined only once the loop has seen the flag.
            machine_thread.join();
        }
    }
}

bool machine_thread_wait_screen(const std::string& text, int timeout_ms)
{
    for (int waited = 0; waited <= timeout_ms; waited += 10) {
        if (screen_text().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool machine_thread_type(const std::string& text, int timeout_ms)
{
    for (char ch : text)
        if (!feed_key(static_cast<uint8_t>(ch == '\n' ? 0x0D : ch), timeout_ms)) return false;
    return true;
}
