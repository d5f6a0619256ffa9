#include "e2e/e2e_support.h"

#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "video/font.h"

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

static std::string run_capture(const std::string& cmd)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

// -noreset: a server without -noreset resets whenever its last client
// leaves, and drops the connections that arrive meanwhile; SDL opens and
// closes a probe connection before its real one and then fails at random.
//
// A display number that no server holds: neither its lock file, its socket
// file nor its abstract socket exists. Numbers are drawn at random from a
// high range so that parallel test runs (which may clean up each other's
// lock files) do not meet on one display.
static bool display_in_use(int n)
{
    const std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
    if (std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") ||
        std::filesystem::exists(sock))
        return true;
    FILE* f = std::fopen("/proc/net/unix", "r");
    if (!f) return false;
    char line[512];
    bool used = false;
    const std::string abstract = "@" + sock;
    while (!used && std::fgets(line, sizeof line, f)) {
        std::string l(line);
        while (!l.empty() && (l.back() == '\n' || l.back() == ' ')) l.pop_back();
        used = l.size() >= abstract.size() &&
               l.compare(l.size() - abstract.size(), abstract.size(), abstract) == 0;
    }
    std::fclose(f);
    return used;
}

static int start_xvfb(int n)
{
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    pid_t p = ::fork();
    if (p == 0) {
        ::close(fds[0]);
        ::setpgid(0, 0);
        std::string fd = std::to_string(fds[1]);
        std::string disp = ":" + std::to_string(n);
        int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execlp("Xvfb", "Xvfb", disp.c_str(), "-displayfd", fd.c_str(), "-screen", "0",
                 "800x600x24", "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    // The server writes the number and the newline separately and dies when
    // the second write fails, so read up to the end, when it closes the fd.
    std::string got;
    char buf[32];
    ssize_t r;
    while ((r = ::read(fds[0], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(r));
    ::close(fds[0]);
    if (got.empty() || std::atoi(got.c_str()) != n) {
        ::kill(p, SIGKILL);
        ::waitpid(p, nullptr, 0);
        return -1;
    }
    return p;
}

XServer::XServer()
{
    std::srand(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr)));
    for (int attempt = 0; attempt < 20 && pid < 0; ++attempt) {
        const int n = 300 + std::rand() % 3000;
        if (display_in_use(n)) continue;
        pid = start_xvfb(n);
        if (pid > 0) display = ":" + std::to_string(n);
    }
}

XServer::~XServer()
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

bool app_start(App& app, const XServer& x, const std::string& workdir,
               const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    app.workdir = workdir;
    app.display = x.display;
    pid_t p = ::fork();
    if (p == 0) {
        if (::chdir(workdir.c_str()) != 0) ::_exit(126);
        ::setenv("DISPLAY", x.display.c_str(), 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1); // never fall back to a text-terminal driver
        for (const auto& e : env) ::putenv(strdup(e.c_str()));
        std::string log = workdir + "/kalvoran.log";
        FILE* f = std::freopen(log.c_str(), "w", stderr);
        (void)f;
        std::vector<char*> argv;
        std::string bin = std::string(KALVORAN_BINARY_DIR) + "/src/kalvoran";
        argv.push_back(const_cast<char*>(bin.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(bin.c_str(), argv.data());
        ::_exit(127);
    }
    app.pid = p;
    std::string cmd = "DISPLAY=" + x.display + " timeout 20 xdotool search --sync --pid " +
                      std::to_string(p) + " --name Kalvoran 2>>" + workdir + "/xdotool.log | head -n1";
    app.window = run_capture(cmd);
    if (app.window.empty()) {
        int st = 0;
        if (::waitpid(p, &st, WNOHANG) == p) {
            app.pid = -1;
            std::fprintf(stderr, "kalvoran ended before its window was seen (%s %d)\n",
                         WIFEXITED(st) ? "status" : "signal",
                         WIFEXITED(st) ? WEXITSTATUS(st) : WTERMSIG(st));
        }
        std::fprintf(stderr, "no window on display %s (X server %s)\n", x.display.c_str(),
                     ::kill(x.pid, 0) == 0 ? "running" : "gone");
        return false;
    }
    // Give SDL a moment to map the window and draw.
    sleep_ms(300);
    return true;
}

int app_wait(App& app, int timeout_ms)
{
    for (int waited = 0; waited <= timeout_ms; waited += 50) {
        int st = 0;
        pid_t r = ::waitpid(app.pid, &st, WNOHANG);
        if (r == app.pid) {
            app.pid = -1;
            return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        }
        sleep_ms(50);
    }
    app_kill(app);
    return -1;
}

void app_kill(App& app)
{
    if (app.pid > 0) {
        ::kill(app.pid, SIGKILL);
        ::waitpid(app.pid, nullptr, 0);
        app.pid = -1;
    }
}

static void xdo(const App& app, const std::string& args)
{
    std::string cmd = "DISPLAY=" + app.display + " xdotool " + args + " >/dev/null 2>&1";
    int rc = std::system(cmd.c_str());
    (void)rc;
}

static void focus(const App& app) { xdo(app, "windowfocus --sync " + app.window); }

static std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

void x_type(const App& app, const std::string& text)
{
    focus(app);
    // Slow enough that the machine, which keeps one key only, takes each
    // key before the next arrives even on a busy host.
    xdo(app, "type --delay 120 " + quote(text));
}

void x_key(const App& app, const std::string& keys)
{
    focus(app);
    xdo(app, "key --delay 60 " + keys);
}

void x_keydown(const App& app, const std::string& key)
{
    focus(app);
    xdo(app, "keydown " + key);
}

void x_keyup(const App& app, const std::string& key) { xdo(app, "keyup " + key); }

void x_line(const App& app, const std::string& text)
{
    x_type(app, text);
    xdo(app, "key Return");
}

static std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The last rows that the prompt and the text would fill, joined without
// their line breaks and trailing blanks.
static std::string input_tail(const std::string& screen, size_t chars, int columns)
{
    std::vector<std::string> rows;
    size_t start = 0;
    while (start < screen.size()) {
        size_t end = screen.find('\n', start);
        if (end == std::string::npos) end = screen.size();
        rows.push_back(screen.substr(start, end - start));
        start = end + 1;
    }
    while (!rows.empty() && rows.back().find_first_not_of(' ') == std::string::npos) rows.pop_back();
    const size_t k = std::min(rows.size(), chars / columns + 1);
    std::string joined;
    for (size_t i = rows.size() - k; i < rows.size(); ++i) joined += rows[i];
    while (!joined.empty() && joined.back() == ' ') joined.pop_back();
    return joined;
}

bool x_command(const App& app, const std::string& text, const std::string& prompt, bool eighty)
{
    const std::string echo = upper(text);
    const int columns = eighty ? 80 : 40;
    for (int attempt = 0; attempt < 4; ++attempt) {
        x_type(app, text);
        const bool typed = wait_for_image(
            app,
            [&](const Image& img) {
                const std::string tail = input_tail(eighty ? image_text80(img) : image_text40(img),
                                                    prompt.size() + echo.size(), columns);
                return tail.size() >= echo.size() &&
                       tail.compare(tail.size() - echo.size(), echo.size(), echo) == 0;
            },
            5000, e2e_output_dir() + "/command-" + std::to_string(::getpid()) + ".png");
        if (typed) {
            xdo(app, "key Return");
            return true;
        }
        // A key went missing (the machine has no type-ahead): cancel the
        // line with Ctrl+X, which BASIC answers with a backslash and a new
        // prompt and the ZELM line input with ^X, and type it again.
        for (int cancel = 0; cancel < 3; ++cancel) {
            x_key_with(app, "Control_L", "x");
            const bool cancelled = wait_for_image(
                app,
                [&](const Image& img) {
                    const std::string last =
                        last_line(eighty ? image_text80(img) : image_text40(img));
                    return last == prompt ||
                           (last.size() >= 2 && last.compare(last.size() - 2, 2, "^X") == 0);
                },
                3000, e2e_output_dir() + "/cancel-" + std::to_string(::getpid()) + ".png");
            if (cancelled) break;
        }
    }
    return false;
}

void x_key_with(const App& app, const std::string& modifier, const std::string& key)
{
    x_keydown(app, modifier);
    sleep_ms(150);
    xdo(app, "key " + key);
    sleep_ms(150);
    x_keyup(app, modifier);
}

uint32_t Image::at(int x, int y) const
{
    size_t i = (static_cast<size_t>(y) * w + x) * 3;
    return uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
}

bool Image::all(int x, int y, int w, int h, uint32_t rgb) const
{
    if (x < 0 || y < 0 || x + w > this->w || y + h > this->h) return false;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            if (at(i, j) != rgb) return false;
    return true;
}

// One capture as raw RGB: import writes a PPM straight away.
static bool grab(const App& app, const std::string& window, Image& img)
{
    static int counter = 0;
    const std::string ppm = e2e_output_dir() + "/grab-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter++) + ".ppm";
    std::string cmd = "DISPLAY=" + app.display + " import -window " + window + " -depth 8 ppm:" +
                      ppm + " >/dev/null 2>&1";
    bool ok = std::system(cmd.c_str()) == 0;
    FILE* f = ok ? std::fopen(ppm.c_str(), "rb") : nullptr;
    ok = f != nullptr;
    if (f) {
        int w = 0, h = 0, maxv = 0;
        ok = std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) == 3 && maxv == 255 && w > 0 && h > 0;
        std::fgetc(f);
        if (ok) {
            img.w = w;
            img.h = h;
            img.rgb.assign(static_cast<size_t>(w) * h * 3, 0);
            ok = std::fread(img.rgb.data(), 1, img.rgb.size(), f) == img.rgb.size();
        }
        std::fclose(f);
    }
    std::remove(ppm.c_str());
    return ok;
}

// Full screen: SDL shows the surface centred in a window of its own.
static bool grab_full_screen(const App& app, Image& img)
{
    Image root;
    if (!grab(app, "root", root) || root.w < 560 || root.h < 392) return false;
    const int left = (root.w - 560) / 2, top = (root.h - 392) / 2;
    img.w = 560;
    img.h = 392;
    img.rgb.resize(560 * 392 * 3);
    for (int y = 0; y < 392; ++y)
        std::memcpy(&img.rgb[static_cast<size_t>(y) * 560 * 3],
                    &root.rgb[(static_cast<size_t>(y + top) * root.w + left) * 3], 560 * 3);
    return true;
}

bool save_png(const Image& img, const std::string& png_path)
{
    const std::string ppm = png_path + ".ppm";
    FILE* f = std::fopen(ppm.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", img.w, img.h);
    bool ok = std::fwrite(img.rgb.data(), 1, img.rgb.size(), f) == img.rgb.size();
    std::fclose(f);
    const std::string cmd = "convert " + ppm + " " + png_path + " >/dev/null 2>&1";
    ok = ok && std::system(cmd.c_str()) == 0;
    std::remove(ppm.c_str());
    return ok;
}

bool capture(const App& app, const std::string& png_path, Image& img)
{
    return grab(app, app.window, img) && save_png(img, png_path);
}

bool capture_full_screen(const App& app, const std::string& png_path, Image& img)
{
    return grab_full_screen(app, img) && save_png(img, png_path);
}

static bool bright(uint32_t rgb)
{
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r * 3 + g * 6 + b > 128 * 10;
}

// Matches a cell of 7 x 8 dots against glyphs $20-$7F, plain or inverse.
static char match_cell(const uint8_t rows[8])
{
    for (int pass = 0; pass < 2; ++pass) {
        for (int g = 0x20; g < 0x80; ++g) {
            bool same = true;
            for (int i = 0; i < 8 && same; ++i) {
                uint8_t want = builtin_font[g * 8 + i] & 0xFE;
                if (pass) want = static_cast<uint8_t>(~want & 0xFE);
                same = (rows[i] & 0xFE) == want;
            }
            if (same) return static_cast<char>(g);
        }
    }
    return '?';
}

static std::string read_cells(const Image& img, int columns, int dot_w, int dot_h, int top,
                              int rows_n, bool dark_ink)
{
    std::string out;
    const int cell_w = 7 * dot_w;
    for (int r = 0; r < rows_n; ++r) {
        for (int c = 0; c < columns; ++c) {
            uint8_t rows[8] = {};
            for (int i = 0; i < 8; ++i)
                for (int j = 0; j < 7; ++j) {
                    int x = c * cell_w + j * dot_w, y = top + (r * 8 + i) * dot_h;
                    if (x >= img.w || y >= img.h) continue;
                    bool on = bright(img.at(x, y));
                    if (dark_ink) on = !on;
                    if (on) rows[i] |= static_cast<uint8_t>(0x80 >> j);
                }
            out.push_back(match_cell(rows));
        }
        if (rows_n > 1) out.push_back('\n');
    }
    return out;
}

std::string image_text40(const Image& img) { return read_cells(img, 40, 2, 2, 0, 24, false); }
std::string image_text80(const Image& img) { return read_cells(img, 80, 1, 2, 0, 24, false); }
std::string image_status(const Image& img) { return read_cells(img, 80, 1, 1, 384, 1, true); }

bool wait_for_image(const App& app, const std::function<bool(const Image&)>& test,
                    int timeout_ms, const std::string& png_path, bool full_screen)
{
    const auto start = std::chrono::steady_clock::now();
    Image img;
    for (;;) {
        const bool got = full_screen ? grab_full_screen(app, img) : grab(app, app.window, img);
        if (got && test(img)) return true;
        const auto spent = std::chrono::steady_clock::now() - start;
        if (spent >= std::chrono::milliseconds(timeout_ms)) break;
        sleep_ms(100);
    }
    if (img.w > 0) save_png(img, png_path);
    return false;
}

bool wait_for_text(const App& app, const std::string& text, int timeout_ms,
                   const std::string& png_path, bool eighty)
{
    return wait_for_image(
        app,
        [&](const Image& img) {
            std::string s = eighty ? image_text80(img) : image_text40(img);
            return s.find(text) != std::string::npos;
        },
        timeout_ms, png_path);
}

std::string last_line(const std::string& screen)
{
    std::string last;
    size_t start = 0;
    while (start < screen.size()) {
        size_t end = screen.find('\n', start);
        if (end == std::string::npos) end = screen.size();
        std::string row = screen.substr(start, end - start);
        while (!row.empty() && row.back() == ' ') row.pop_back();
        if (!row.empty()) last = row;
        start = end + 1;
    }
    return last;
}

bool wait_for_prompt(const App& app, const std::string& prompt, int timeout_ms,
                     const std::string& png_path, bool eighty)
{
    return wait_for_image(
        app,
        [&](const Image& img) {
            return last_line(eighty ? image_text80(img) : image_text40(img)) == prompt;
        },
        timeout_ms, png_path);
}

bool wait_for_status(const App& app, const std::string& text, int timeout_ms,
                     const std::string& png_path, bool full_screen)
{
    return wait_for_image(
        app, [&](const Image& img) { return image_status(img).find(text) != std::string::npos; },
        timeout_ms, png_path, full_screen);
}

std::string e2e_output_dir()
{
    std::string d = std::string(KALVORAN_BINARY_DIR) + "/e2e-output";
    std::filesystem::create_directories(d);
    return d;
}
