// Window / full-screen toggle, including a mode switch that the video driver
// refuses. SDL_SetVideoMode is wrapped here for this test program: it passes
// every call through to SDL unless a test asks for failures.
#include <dlfcn.h>
#include "events_support.h"

namespace {
int refuse_next_modes = 0; // calls still to fail
int mode_calls = 0;
Uint32 last_flags = 0;
} // namespace

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    using SetVideoMode = SDL_Surface* (*)(int, int, int, Uint32);
    static const auto real = reinterpret_cast<SetVideoMode>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    ++mode_calls;
    last_flags = flags;
    if (refuse_next_modes > 0) {
        --refuse_next_modes;
        return nullptr;
    }
    return real(width, height, bpp, flags);
}

class EventToggleTest : public FrontendEventTest {
protected:
    void SetUp() override
    {
        FrontendEventTest::SetUp();
        refuse_next_modes = 0;
        mode_calls = 0;
    }
    void TearDown() override
    {
        refuse_next_modes = 0;
        FrontendEventTest::TearDown();
    }
};

TEST_F(EventToggleTest, FElevenAndFSixSwitchBetweenWindowAndFullScreen)
{
    press(SDLK_F11);
    EXPECT_EQ(machine.fe.full_screen, 1u);
    EXPECT_EQ(last_flags, 0xA0000001u);
    EXPECT_EQ(status_text(), padded("FullScreen mode!"));
    ASSERT_NE(machine.fe.screen_surface, nullptr);
    EXPECT_EQ(machine.fe.screen_surface, SDL_GetVideoSurface());
    EXPECT_EQ(machine.fe.screen_surface->w, 560);
    EXPECT_EQ(machine.fe.screen_surface->h, 392);

    press(SDLK_F6);
    EXPECT_EQ(machine.fe.full_screen, 0u);
    EXPECT_EQ(last_flags, 0x20000000u);
    EXPECT_EQ(status_text(), padded("Window mode!"));

    // Right Alt does not make F11 a quick-load, nor F6 a BLOAD prompt.
    press(SDLK_F11, KMOD_RALT);
    EXPECT_EQ(machine.fe.full_screen, 1u);
    press(SDLK_F6, KMOD_RALT);
    EXPECT_EQ(machine.fe.full_screen, 0u);
    EXPECT_EQ(mode_calls, 4);
    EXPECT_EQ(machine.fe.screen_surface, SDL_GetVideoSurface());
}

TEST_F(EventToggleTest, RefusedSwitchKeepsTheOldModeOnAFreshSurface)
{
    refuse_next_modes = 1;
    press(SDLK_F11);
    EXPECT_EQ(mode_calls, 2);
    EXPECT_EQ(last_flags, 0x20000000u); // the window set up again
    EXPECT_EQ(machine.fe.full_screen, 0u);
    ASSERT_NE(machine.fe.screen_surface, nullptr);
    EXPECT_EQ(machine.fe.screen_surface, SDL_GetVideoSurface());
    EXPECT_EQ(status_text(), padded("Cannot switch to full screen; staying in window mode"));
    // Messages still draw on the surface now held.
    status_message("still here");
    EXPECT_EQ(status_text(), padded("still here"));
}

TEST_F(EventToggleTest, NoDisplayAtAllIsFatal)
{
    const ChildResult r = run_in_child([] {
        refuse_next_modes = 2;
        press(SDLK_F11);
        std::_Exit(7);
    });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Error: ERROR: Cannot set up the display again after a failed mode switch\n");
}
