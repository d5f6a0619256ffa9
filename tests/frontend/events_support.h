// Helpers for the event-routine, status-line and BLOAD tests: real SDL events
// under the dummy driver, the status line read back, and a key feeder for the
// prompt, which takes its keys one at a time through the keyboard latch.
#pragma once
#include <SDL/SDL.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include "frontend/frontend.h"
#include "memory/memory.h"
#include "support/test_support.h"
#include "video/video.h"

inline void push_key(int sym, Uint8 type = SDL_KEYDOWN)
{
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = static_cast<SDLKey>(sym);
    SDL_PushEvent(&e);
}

inline void push_quit()
{
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

inline void drain_events()
{
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
}

inline int queued_events()
{
    SDL_Event e[8];
    return SDL_PeepEvents(e, 8, SDL_PEEKEVENT, SDL_ALLEVENTS);
}

// One key press handled by one poll_events call, with these modifiers.
inline void press(int sym, int mods = KMOD_NONE)
{
    SDL_SetModState(static_cast<SDLMod>(mods));
    push_key(sym);
    poll_events();
}

inline std::string status_text() { return machine.fe.status_text; }

inline std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

// The memory map answers $C000 from the keyboard latch (the real map does;
// the early stand-in reads plain RAM there).
inline bool keyboard_latch_wired()
{
    FrontendState& fe = machine.fe;
    const uint32_t latch = fe.key_latch, strobe = fe.key_strobe;
    fe.key_latch = 0x41;
    fe.key_strobe = 1;
    const bool wired = read_byte(0xC000) == 0xC1;
    fe.key_latch = latch;
    fe.key_strobe = strobe;
    return wired;
}

#define SKIP_WITHOUT_KEYBOARD_LATCH()                                                              \
    do {                                                                                           \
        if (!keyboard_latch_wired())                                                               \
            GTEST_SKIP() << "read_byte($C000) does not answer from the keyboard latch yet (memory " \
                            "map not in place); skipping";                                         \
    } while (0)

// put_pixel writes the surface and the font has its shapes.
inline bool status_drawing_wired()
{
    SDL_Surface* s = machine.fe.screen_surface;
    if (!s) return false;
    uint8_t* p = static_cast<uint8_t*>(s->pixels) + 391 * s->pitch + 559;
    const uint8_t old = *p;
    *p = 7;
    put_pixel(s, 559, 391, 15);
    const bool pixel_ok = *p == 15;
    *p = old;
    bool font_ok = false;
    for (int i = 0; i < 8; ++i) font_ok |= machine.video.glyph_font[0x41 * 8 + i] != 0;
    return pixel_ok && font_ok;
}

#define SKIP_WITHOUT_STATUS_DRAWING()                                                             \
    do {                                                                                          \
        if (!status_drawing_wired())                                                              \
            GTEST_SKIP() << "put_pixel or the font is not in place yet; skipping the surface check"; \
    } while (0)

// Status-line cell c (0-79) read back from surface rows 384-391 as the glyph
// it shows: black dots (0) on white (15). Printable glyphs are tried first.
inline int surface_status_glyph(int c)
{
    const auto& font = machine.video.glyph_font;
    auto matches = [&](int g) {
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 7; ++j) {
                const bool dot = (font[g * 8 + i] >> (7 - j)) & 1;
                if (surface_pixel(7 * c + j, 384 + i) != (dot ? 0 : 15)) return false;
            }
        return true;
    };
    for (int g = 0x20; g < 0x80; ++g)
        if (matches(g)) return g;
    for (int g = 0; g < 0x100; ++g)
        if (matches(g)) return g;
    return -1;
}

inline std::string surface_status_line()
{
    std::string s;
    for (int c = 0; c < 80; ++c) {
        const int g = surface_status_glyph(c);
        s += g < 0 ? '?' : static_cast<char>(g);
    }
    return s;
}

// Feeds keys to a waiting prompt from a second thread, one at a time, since
// the latch keeps only the last key. A key is taken once the queue is empty
// and two more poll_events calls have begun: the prompt reads the latch
// before it polls again.
struct KeyFeeder {
    explicit KeyFeeder(std::vector<int> syms)
        : thread([this, syms = std::move(syms)] {
              for (int sym : syms) {
                  push_key(sym);
                  wait_taken();
              }
              done = true;
          })
    {
    }
    ~KeyFeeder()
    {
        if (thread.joinable()) thread.join();
    }
    static uint16_t line() { return std::atomic_ref<uint16_t>(machine.fe.scan_line).load(); }
    void wait_taken()
    {
        using clock = std::chrono::steady_clock;
        auto limit = clock::now() + std::chrono::seconds(10);
        while (queued_events() != 0) {
            if (clock::now() > limit) {
                failed = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        // The last key of a prompt ends it and nothing polls any more.
        limit = clock::now() + std::chrono::milliseconds(200);
        const uint16_t first = line();
        int seen = 0;
        uint16_t last = first;
        while (seen < 2 && clock::now() < limit) {
            const uint16_t now = line();
            if (now != last) {
                ++seen;
                last = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    std::atomic<bool> failed{false};
    std::atomic<bool> done{false};
    std::thread thread;
};

// Polls as the run loop would until every key has been fed and taken.
// Returns false when a key was never taken.
inline bool feed_keys(const std::vector<int>& syms)
{
    KeyFeeder feeder(syms);
    while (!feeder.done) {
        poll_events();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !feeder.failed;
}

inline std::vector<int> keys_of(const std::string& text)
{
    std::vector<int> v;
    for (char c : text) v.push_back(static_cast<unsigned char>(c));
    return v;
}

class FrontendEventTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_machine();
        ASSERT_TRUE(test_open_surface());
        SDL_SetModState(KMOD_NONE);
        drain_events();
    }
    void TearDown() override
    {
        SDL_SetModState(KMOD_NONE);
        drain_events();
    }
};
