// Runs the real kalvoran binary in a real window under Xvfb, types with
// xdotool, captures the window with import and reads the text back by
// matching screen cells against the program's own glyphs.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One Xvfb server on a free display for the life of the object.
struct XServer {
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool ok() const { return pid > 0; }
    int pid = -1;
    std::string display; // ":N"
};

// kalvoran started in a working directory with arguments.
struct App {
    int pid = -1;
    std::string window; // X window id
    std::string workdir;
    std::string display;
};

bool app_start(App& app, const XServer& x, const std::string& workdir,
               const std::vector<std::string>& args,
               const std::vector<std::string>& env = {});
// Waits for the process to end (up to timeout_ms); returns its exit status,
// or -1 when it did not end (it is then killed).
int app_wait(App& app, int timeout_ms);
void app_kill(App& app);

// xdotool with the window focused first.
void x_type(const App& app, const std::string& text);
void x_key(const App& app, const std::string& keys);          // e.g. "Return", "F3"
void x_key_with(const App& app, const std::string& modifier, // X key names: "Alt_L", "Shift_L", "Control_L"
                const std::string& key);
void x_keydown(const App& app, const std::string& key);
void x_keyup(const App& app, const std::string& key);
// Types a line and presses Return. Plain letters reach the machine as upper
// case, so BASIC is typed in lower case.
void x_line(const App& app, const std::string& text);
// Types a line, checks that the whole line shows after the prompt (a key
// typed while the machine is busy can be lost, there is no type-ahead),
// cancels and retypes it if not, then presses Return.
bool x_command(const App& app, const std::string& text, const std::string& prompt = "]",
               bool eighty = false);

// An RGB capture of the window.
struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(int x, int y) const; // 0xRRGGBB
    // True when every pixel of the rectangle has this colour.
    bool all(int x, int y, int w, int h, uint32_t rgb) const;
};
// Captures the window and keeps it as a PNG.
bool capture(const App& app, const std::string& png_path, Image& img);
bool save_png(const Image& img, const std::string& png_path);
// Full screen: SDL draws into a window of its own centred on the screen;
// this captures the screen and cuts out the centred 560 x 392.
bool capture_full_screen(const App& app, const std::string& png_path, Image& img);

// Text recognised in a captured image.
std::string image_text40(const Image& img);   // 24 rows of 40, '\n' after each
std::string image_text80(const Image& img);   // 24 rows of 80
std::string image_status(const Image& img);   // the 80-character status line

// Polls: captures until the screen (40 or 80 columns) or the status line
// holds the text, or the timeout passes. On a timeout the last capture is
// kept in png_path.
bool wait_for_text(const App& app, const std::string& text, int timeout_ms,
                   const std::string& png_path, bool eighty = false);
bool wait_for_status(const App& app, const std::string& text, int timeout_ms,
                     const std::string& png_path, bool full_screen = false);
// The last row of recognised text that holds more than blanks, without its
// trailing blanks (a block cursor reads as a blank).
std::string last_line(const std::string& screen);
// Waits until the last line is the bare prompt, that is the machine has
// finished the command and waits for the next one.
bool wait_for_prompt(const App& app, const std::string& prompt, int timeout_ms,
                     const std::string& png_path, bool eighty = false);
// Captures until the test holds for the image or the timeout passes.
bool wait_for_image(const App& app, const std::function<bool(const Image&)>& test,
                    int timeout_ms, const std::string& png_path, bool full_screen = false);

// Folder for screenshots that a failing test leaves behind.
std::string e2e_output_dir();
void sleep_ms(int ms);
