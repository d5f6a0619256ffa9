// Speaker sound: each flip of the one-bit speaker is stamped in processor
// cycles (1,017,000 a second), box-filtered once per scan line into 16-bit
// unsigned mono samples at 44100 Hz and played from a lock-free ring.
// When the ring is full, new samples are dropped and counted; the run loop's
// pacing keeps it from filling at real time, and mutes it when unpaced.
#include "sound/sound.h"

#include <SDL.h>

#include <atomic>
#include <new>

#include "cpu/cpu.h"
#include "frontend/frontend.h"

namespace {

constexpr double SOUND_CPU_HZ = 1017000.0;
// A line the processor did not run (a key wait holds it inside one
// instruction) still lasts 65 cycles of sound at the speaker's level.
constexpr double SOUND_SAMPLES_PER_LINE = 65.0 * SOUND_RATE / SOUND_CPU_HZ;
constexpr int32_t SOUND_SILENCE = 32768;
constexpr uint32_t RING_MASK = SOUND_RING - 1;
static_assert((SOUND_RING & RING_MASK) == 0, "ring size must be a power of two");

std::atomic_ref<uint32_t> ring_write_ref() { return std::atomic_ref<uint32_t>(machine.sound.ring_write); }
std::atomic_ref<uint32_t> ring_read_ref() { return std::atomic_ref<uint32_t>(machine.sound.ring_read); }

void sound_time_base()
{
    SoundState& s = machine.sound;
    s.samples_per_cycle = SOUND_RATE / (SOUND_CPU_HZ * s.time_scale);
}

// Nothing before now is rendered: the flips recorded so far are dropped.
void sound_restart(uint32_t now)
{
    SoundState& s = machine.sound;
    s.flush_stamp = now;
    s.sample_phase = 0.0;
    s.flip_count = 0;
}

void sound_levels(uint32_t percent)
{
    SoundState& s = machine.sound;
    s.level_low = SOUND_SILENCE;
    s.volume_percent = percent;
    sound_time_base();
    s.centre = 32768.0;
    s.amplitude = percent / 100.0 * 32000.0;
    s.level_high = static_cast<int32_t>(s.amplitude + 32768.0);
}

// Writes into the ring only while a slot is free; the slot the callback may be
// reading is never touched. Dropped samples still count as produced, so the
// speaker level and flip timing stay right.
struct RingWriter {
    uint32_t w;
    uint32_t free;
    uint32_t p = 0;
    void emit(int32_t v)
    {
        if (free > 0) {
            machine.sound.sample_ring[w] = v;
            w = (w + 1) & RING_MASK;
            --free;
        } else {
            ++machine.sound.dropped_samples;
        }
        ++p;
    }
};

} // namespace

int sound_open()
{
    SoundState& s = machine.sound;
    SDL_AudioSpec* spec = new (std::nothrow) SDL_AudioSpec{};
    if (!spec) {
        s.sound_enabled = 0;
        status_message("Sound could not be enabled");
        return 1;
    }
    s.audio_spec = spec;
    spec->freq = SOUND_RATE;
    spec->format = AUDIO_U16LSB;
    spec->channels = 1;
    spec->samples = SOUND_BUFFER;
    spec->callback = audio_callback;
    spec->userdata = nullptr;
    // SDL 1.2 starts its audio part itself when the device is opened.
    if (SDL_OpenAudio(spec, nullptr) < 0) {
        s.sound_enabled = 0;
        status_message("Sound could not be enabled");
        return 1;
    }
    s.sound_enabled = 1;
    sound_restart(0);
    s.speaker_state = 0;
    s.last_sample = SOUND_SILENCE;
    sound_levels(50);
    s.sample_ring.fill(SOUND_SILENCE);
    s.ring_write = 0;
    s.ring_read = 0;
    SDL_PauseAudio(0);
    return 0;
}

int sound_close()
{
    SoundState& s = machine.sound;
    if (s.audio_spec) {
        SDL_PauseAudio(1);
        SDL_CloseAudio();
        delete s.audio_spec;
        s.audio_spec = nullptr;
    }
    return 0;
}

// Called on every access to $C030-$C03F; kept to a subtract, multiply, store.
void speaker_click()
{
    SoundState& s = machine.sound;
    if (s.flip_count >= SOUND_MAX_FLIPS) return;
    const uint32_t elapsed = cpu_cycles() - s.flush_stamp;
    s.flip_times[s.flip_count++] = static_cast<float>(s.sample_phase + elapsed * s.samples_per_cycle);
}

// Renders the cycles since the last flush. Sample times carry their fraction
// from one flush to the next, so the pitch follows emulated time whatever the
// flush interval; flips in the sample that is still open wait for the next
// flush.
void sound_flush()
{
    SoundState& s = machine.sound;
    if (!s.sound_enabled) return;
    const uint32_t now = cpu_cycles();
    if (s.muted) {
        sound_restart(now);
        return;
    }
    const uint32_t elapsed = now - s.flush_stamp;
    const double total = s.sample_phase + (elapsed ? elapsed * s.samples_per_cycle : SOUND_SAMPLES_PER_LINE);
    const uint32_t n = total < SOUND_RING ? static_cast<uint32_t>(total) : SOUND_RING;
    if (n > SOUND_RING - 1) {
        // Over a third of a second without a flush (a huge multiplier): the
        // gap is not rendered, and its flips would land far in the future.
        sound_restart(now);
        return;
    }
    s.flush_stamp = now;
    s.sample_phase = total - n;
    if (n == 0) return;

    const uint32_t w0 = ring_write_ref().load(std::memory_order_relaxed);
    const uint32_t r = ring_read_ref().load(std::memory_order_acquire);
    RingWriter out{w0, (r - w0 - 1) & RING_MASK};
    uint8_t st = s.speaker_state;
    const uint32_t count = s.flip_count;
    uint32_t i = 0;
    while (i < count) {
        const float t = s.flip_times[i];
        const uint32_t k = static_cast<uint32_t>(t);
        if (k >= n) break; // falls in the open sample
        float f = st ? t - static_cast<float>(k) : 0.0f;
        const int32_t before = st ? s.level_high : s.level_low;
        while (out.p < k) out.emit(before);
        st ^= 1;
        float t_last = t;
        ++i;
        while (i < count && static_cast<uint32_t>(s.flip_times[i]) == k) {
            if (st) f += s.flip_times[i] - t_last;
            t_last = s.flip_times[i];
            st ^= 1;
            ++i;
        }
        if (st) f += static_cast<float>(k + 1) - t_last;
        if (f > 1.0f) f = 1.0f;
        out.emit(static_cast<int32_t>(f * s.amplitude + s.centre));
    }
    while (out.p < n) out.emit(st ? s.level_high : s.level_low);

    // Flips left over belong to the open sample, which becomes sample 0.
    uint32_t left = 0;
    for (; i < count; ++i) s.flip_times[left++] = s.flip_times[i] - static_cast<float>(n);
    s.flip_count = left;
    s.speaker_state = st;
    ring_write_ref().store(out.w, std::memory_order_release);
}

uint32_t sound_get_volume() { return machine.sound.volume_percent; }

void sound_set_time_scale(uint32_t scale)
{
    SoundState& s = machine.sound;
    s.time_scale = scale < 1 ? 1 : scale;
    sound_time_base();
}

void sound_mute(bool muted)
{
    SoundState& s = machine.sound;
    if (s.muted == muted) return;
    s.muted = muted;
    sound_restart(cpu_cycles());
}

bool sound_ring_levels(uint32_t& fill, uint32_t& read)
{
    const SoundState& s = machine.sound;
    if (!s.sound_enabled) return false;
    read = ring_read_ref().load(std::memory_order_acquire);
    fill = (ring_write_ref().load(std::memory_order_relaxed) - read) & RING_MASK;
    return true;
}

void sound_resync()
{
    SoundState& s = machine.sound;
    uint32_t fill = 0, read = 0;
    if (s.muted || !sound_ring_levels(fill, read)) return;
    // The steady-state average: the trough plus half a device buffer.
    const uint32_t target = SOUND_TROUGH_TARGET + SOUND_BUFFER / 2;
    if (fill >= target) return;
    const int32_t level = s.speaker_state ? s.level_high : s.level_low;
    uint32_t w = ring_write_ref().load(std::memory_order_relaxed);
    for (uint32_t i = fill; i < target; ++i) {
        s.sample_ring[w] = level;
        w = (w + 1) & RING_MASK;
    }
    ring_write_ref().store(w, std::memory_order_release);
}

void sound_set_volume(uint32_t percent)
{
    if (percent > 100) return;
    sound_levels(percent);
}

// Audio thread. SDL asks for the buffer size requested at open; the length is
// still honoured so nothing is written past the buffer handed over.
void audio_callback(void*, uint8_t* stream, int length)
{
    SoundState& s = machine.sound;
    const uint32_t w = ring_write_ref().load(std::memory_order_acquire);
    uint32_t r = ring_read_ref().load(std::memory_order_relaxed);
    uint32_t v = s.last_sample;
    const int samples = length < 2 * SOUND_BUFFER ? length / 2 : SOUND_BUFFER;
    uint32_t repeated = 0;
    for (int i = 0; i < samples; ++i) {
        if (r != w) {
            v = static_cast<uint32_t>(s.sample_ring[r]);
            r = (r + 1) & RING_MASK;
        } else {
            ++repeated;
        }
        stream[2 * i] = static_cast<uint8_t>(v & 0xFF);
        stream[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    s.last_sample = v;
    if (repeated) std::atomic_ref<uint64_t>(s.underrun_samples).fetch_add(repeated, std::memory_order_relaxed);
    ring_read_ref().store(r, std::memory_order_release);
}
