// Status line: messages, padding, the 300-frame expiry, fatal_error, and the
// prompt's line layout and key mapping.
#include <chrono>
#include <cstring>
#include "events_support.h"
#include "frontend/status_line.h"

using StatusLineTest = FrontendEventTest;

TEST_F(StatusLineTest, MessagesArePaddedOrCutToEightyColumns)
{
    status_message("Disk type: Nibble");
    EXPECT_EQ(status_text(), padded("Disk type: Nibble"));
    EXPECT_EQ(machine.fe.status_age, 1);
    EXPECT_EQ(machine.fe.status_blank, 0u);

    const std::string longer(79, 'x');
    status_message((longer + "YZ-tail").c_str());
    EXPECT_EQ(status_text(), longer + "Y");

    // An empty text draws 80 blanks and restarts the timer.
    machine.fe.status_age = 120;
    status_message("");
    EXPECT_EQ(status_text(), std::string(80, ' '));
    EXPECT_EQ(machine.fe.status_age, 1);
}

// At real time the 300 frames take about five seconds of the host's.
TEST_F(StatusLineTest, MessageExpiresInTheCallThatEndsItsThreeHundredthFrame)
{
    machine.cpu.speed_unlimited = 0;
    const auto t0 = std::chrono::steady_clock::now();
    status_message("hello");
    // Frames end when scan_line wraps from 265 to 0, once per 266 calls.
    for (int i = 0; i < 266 * 300 - 1; ++i) poll_events();
    EXPECT_EQ(machine.fe.scan_line, 265);
    EXPECT_EQ(machine.fe.status_age, 300);
    EXPECT_EQ(status_text(), padded("hello"));
    EXPECT_EQ(machine.fe.status_blank, 0u);

    poll_events();
    EXPECT_EQ(machine.fe.scan_line, 0);
    EXPECT_EQ(machine.fe.status_age, 0);
    EXPECT_EQ(machine.fe.status_blank, 1u);
    EXPECT_EQ(status_text(), "");
    EXPECT_GT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 4.8);
}

// Unpaced, frames fly by: a frame ages the message only once a real
// frame's time (17 ms) has passed, so it can still be read.
TEST_F(StatusLineTest, UnpacedFramesAgeAMessageByTheHostClock)
{
    status_message("Speed: unlimited");
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 266 * 300; ++i) poll_events();
    const double host = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LE(machine.fe.status_age, 3 + static_cast<int>(host / 0.016));
    EXPECT_EQ(status_text(), padded("Speed: unlimited"));
}

TEST_F(StatusLineTest, OpenPromptHoldsTheLineAndItClearsAtTheNextFrameEndAfter)
{
    status_message("Disk for S6,D1:");
    machine.fe.prompt_active = 1;
    for (int i = 0; i < 266 * 400; ++i) poll_events();
    EXPECT_EQ(machine.fe.status_age, 999);
    EXPECT_EQ(machine.fe.status_blank, 0u);

    machine.fe.prompt_active = 0;
    while (machine.fe.scan_line != 265) poll_events();
    EXPECT_EQ(machine.fe.status_blank, 0u);
    poll_events();
    EXPECT_EQ(machine.fe.status_blank, 1u);
    EXPECT_EQ(status_text(), "");
}

TEST_F(StatusLineTest, NothingIsClearedBeforeTheFirstMessage)
{
    EXPECT_EQ(machine.fe.status_age, 1);
    EXPECT_EQ(machine.fe.status_blank, 1u);
    machine.fe.status_age = 300;
    machine.fe.status_tick = SDL_GetTicks() - 17; // the last ageing was a real frame ago
    for (int i = 0; i < 266; ++i) poll_events();
    EXPECT_EQ(machine.fe.status_age, 0);
    EXPECT_EQ(machine.fe.status_blank, 1u);
}

TEST_F(StatusLineTest, SurfaceShowsTheMessageAndTheExpiryFill)
{
    SKIP_WITHOUT_STATUS_DRAWING();
    status_message("Loaded: quikload.pg2");
    EXPECT_EQ(surface_status_line(), padded("Loaded: quikload.pg2"));

    char line[81] = {};
    status_prompt_line("BLOAD file:", "abc", 3, line);
    status_message(line);
    // The cursor is the solid block: every dot of cell 15 is black.
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 7; ++j) EXPECT_EQ(surface_pixel(7 * 15 + j, 384 + i), 0) << i << "," << j;
    EXPECT_EQ(surface_status_line().substr(0, 15), "BLOAD file: abc");

    // Mark the rows so that the fill is seen, then let the message expire.
    SDL_Surface* s = machine.fe.screen_surface;
    for (int y = 384; y < 392; ++y) std::memset(static_cast<uint8_t*>(s->pixels) + y * s->pitch, 7, 560);
    machine.fe.status_age = 300;
    while (machine.fe.status_blank == 0) poll_events();
    for (int y = 384; y < 392; ++y)
        for (int x = 0; x < 560; ++x) ASSERT_EQ(surface_pixel(x, y), 15) << x << "," << y;
}

TEST_F(StatusLineTest, PromptLineFollowsTheTextAndScrollsWhenLong)
{
    char line[80];
    status_prompt_line("BLOAD file:", "", 0, line);
    std::string shown(line, 80);
    EXPECT_EQ(shown.substr(0, 12), "BLOAD file: ");
    EXPECT_EQ(static_cast<uint8_t>(shown[12]), 0xDB);
    EXPECT_EQ(shown.substr(13), std::string(67, ' '));

    // 15-character label and 70 typed characters: the last 79 characters of
    // label, blank and text, then the cursor in the last cell.
    const std::string label = "Disk for S6,D1:";
    std::string text;
    for (int i = 0; i < 70; ++i) text += static_cast<char>('a' + i % 26);
    status_prompt_line(label.c_str(), text.c_str(), 70, line);
    shown.assign(line, 80);
    const std::string whole = label + " " + text;
    EXPECT_EQ(shown.substr(0, 79), whole.substr(whole.size() - 79));
    EXPECT_EQ(static_cast<uint8_t>(shown[79]), 0xDB);

    // Exactly filling: label + blank + text = 79 characters, cursor in cell 79.
    status_prompt_line(label.c_str(), text.c_str(), 63, line);
    shown.assign(line, 80);
    EXPECT_EQ(shown.substr(0, 79), (label + " " + text.substr(0, 63)));
    EXPECT_EQ(static_cast<uint8_t>(shown[79]), 0xDB);
}

TEST_F(StatusLineTest, PromptSwapsLetterCaseAndStripsTheHighBit)
{
    EXPECT_EQ(status_prompt_char(0xC1), 'a');
    EXPECT_EQ(status_prompt_char(0xDA), 'z');
    EXPECT_EQ(status_prompt_char(0xE1), 'A');
    EXPECT_EQ(status_prompt_char(0xFA), 'Z');
    EXPECT_EQ(status_prompt_char(0xC0), '@');
    EXPECT_EQ(status_prompt_char(0xDB), '[');
    EXPECT_EQ(status_prompt_char(0xE0), '`');
    EXPECT_EQ(status_prompt_char(0xFB), '{');
    EXPECT_EQ(status_prompt_char(0x8D), 0x0D);
    EXPECT_EQ(status_prompt_char(0xFF), 0x7F);
    EXPECT_EQ(status_prompt_char(0xB1), '1');
}

TEST_F(StatusLineTest, FatalErrorReportsAndEndsWithStatusMinusOne)
{
    const ChildResult r = run_in_child([] { fatal_error("Invalid COP trap at $FD0C"); });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "Error: ERROR: Invalid COP trap at $FD0C\n");
}
