// Real-time pacing, one check per scan line: the line rate follows the host
// clock at 1,017,000 / 65 lines a second, whatever the multiplier, and sleeps
// when the machine is ahead. While sound plays, the sound device's own clock
// wins in the long run: the ring's fill, measured just after the device took
// a buffer, trims the line length so the ring neither overflows nor runs dry.
// A turning disk or a working block device runs unpaced, and silent.
#include <time.h>

#include <cerrno>
#include <cmath>

#include "cpu/cpu.h"
#include "sound/sound.h"

namespace {

constexpr double PACE_LINE_NS = 65.0 * 1e9 / 1017000.0; // 63,913 ns
// Shorter waits are folded into the next one: fewer wake-ups, same rate.
constexpr int64_t PACE_SLEEP_MIN_NS = 2'000'000;
// Further behind than this the host was held up (a stalled window, a slow
// machine at a high multiplier): start afresh rather than race to catch up.
constexpr int64_t PACE_MAX_LAG_NS = 100'000'000;
// Trim controller: proportional and integral on the trough error in
// seconds of sound, limited to a few percent either way.
constexpr double PACE_KP = 1.0;
constexpr double PACE_KI = 0.25;
constexpr double PACE_TRIM_LIMIT = 0.04;

int64_t pace_clock_ns()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double clamp(double v, double limit) { return v < -limit ? -limit : (v > limit ? limit : v); }

// Called every line: when the device has taken a buffer since the last
// line, the ring is at its lowest now and that level steers the trim.
void pace_follow_sound(PaceState& p, int64_t now)
{
    uint32_t fill = 0, read = 0;
    if (!sound_ring_levels(fill, read)) {
        p.trim = 1.0;
        return;
    }
    if (read == p.seen_read) return;
    p.seen_read = read;
    const double err = (static_cast<double>(fill) - SOUND_TROUGH_TARGET) / SOUND_RATE;
    if (p.callback_ns != 0) {
        const double dt = clamp(static_cast<double>(now - p.callback_ns) / 1e9, 0.25);
        p.trim_integral = clamp(p.trim_integral + PACE_KI * err * dt, PACE_TRIM_LIMIT);
    }
    p.callback_ns = now;
    p.trim = 1.0 + clamp(PACE_KP * err + p.trim_integral, PACE_TRIM_LIMIT);
}

} // namespace

void cpu_pace(bool busy)
{
    PaceState& p = machine.cpu.pace;
    if (busy) {
        if (!p.fast) sound_mute(true);
        p.fast = 1;
        p.anchored = 0;
        return;
    }
    const int64_t now = pace_clock_ns();
    if (p.fast || !p.anchored) {
        if (p.fast) sound_mute(false);
        p.fast = 0;
        p.anchored = 1;
        p.due_ns = now;
        p.callback_ns = 0;
        sound_resync();
    }
    pace_follow_sound(p, now);
    p.due_ns += std::llround(PACE_LINE_NS * p.trim);
    const int64_t ahead = p.due_ns - now;
    if (ahead >= PACE_SLEEP_MIN_NS) {
        const timespec due{static_cast<time_t>(p.due_ns / 1'000'000'000), static_cast<long>(p.due_ns % 1'000'000'000)};
        // A signal cuts the wait short; the deadline is absolute, so waiting
        // again loses nothing.
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        p.slept_ns += static_cast<uint64_t>(ahead);
    } else if (ahead < -PACE_MAX_LAG_NS) {
        p.due_ns = now;
        sound_resync();
    }
}

void cpu_speed_apply()
{
    CpuState& c = machine.cpu;
    c.poll_interval = c.cpu_multiplier * 65;
    // At real time the machine runs multiplier times faster than the real
    // one and the speaker follows its time; unpaced, the pitch would be
    // noise and the ring would overflow, so it is muted.
    sound_set_time_scale(c.speed_unlimited ? 1 : c.cpu_multiplier);
    sound_mute(cpu_unpaced());
    c.pace.anchored = 0;
}

bool cpu_unpaced() { return machine.cpu.speed_unlimited != 0 || machine.cpu.pace.fast != 0; }
