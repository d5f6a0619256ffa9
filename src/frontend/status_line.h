// Status-line pieces shared by the messages and the event routine.
#pragma once
#include <cstdint>

inline constexpr int STATUS_COLUMNS = 80;
inline constexpr int STATUS_TOP = 384;      // surface rows 384-391
// Typed characters a prompt keeps; status_prompt's out must hold one more.
inline constexpr int PROMPT_TEXT_MAX = 1023;
inline constexpr uint8_t PROMPT_CURSOR = 0xDB;

// Frame end: ages the message (held at 999 while a prompt is open).
void status_frame_end();
// Every poll: clears an expired message once.
void status_expiry_check();

// The 80 characters a prompt shows for label and the n typed characters
// (no terminator written; line holds 80 bytes).
void status_prompt_line(const char* label, const char* text, int n, char* line);
// Keyboard byte (bit 7 set) to the character the prompt works with: letter
// case is swapped so that plain typing gives lower case.
uint8_t status_prompt_char(uint8_t k);
