// The sample ring between the emulation thread and the audio callback: the
// callback's buffer, underruns, a full ring, and the two threads together.
#include <atomic>
#include <thread>

#include "sound_test_util.h"

TEST(SoundCallback, FillsBufferAndRepeatsOnUnderrun)
{
    sound_test_begin();
    machine.sound.speaker_state = 1;
    flush_at(325); // 14 samples of 48768 = $BE80
    sound_set_volume(100);
    click_at(400);
    flush_at(1000); // 43 - 14 = 29 more: high until sample 17.3, then low
    const uint32_t queued = machine.sound.ring_write;
    ASSERT_EQ(queued, static_cast<uint32_t>(1000 * SPC));

    std::vector<uint8_t> buf(4096 + 16, 0xAA);
    audio_callback(nullptr, buf.data(), 4096);
    EXPECT_EQ(buf[0], 0x80);
    EXPECT_EQ(buf[1], 0xBE);
    EXPECT_EQ(buf[4096], 0xAA) << "wrote past the buffer";
    std::vector<uint32_t> v;
    for (int i = 0; i < 4096; i += 2) v.push_back(buf[i] | buf[i + 1] << 8);
    for (uint32_t i = 0; i < 14; ++i) EXPECT_EQ(v[i], 48768u) << i;
    EXPECT_EQ(v[14], 64768u);
    EXPECT_EQ(v[queued - 1], 32768u);
    // The ring ran dry: the last value holds.
    for (size_t i = queued; i < v.size(); ++i) ASSERT_EQ(v[i], 32768u) << i;
    EXPECT_EQ(machine.sound.ring_read, machine.sound.ring_write);
    EXPECT_EQ(machine.sound.last_sample, 32768u);

    // An underrun repeats the last value played, not silence.
    sound_test_begin();
    machine.sound.speaker_state = 1;
    flush_at(325);
    std::vector<uint32_t> a = callback_take();
    EXPECT_EQ(a[13], 48768u);
    EXPECT_EQ(a[2047], 48768u);
    std::vector<uint32_t> b = callback_take();
    for (uint32_t x : b) ASSERT_EQ(x, 48768u);
    EXPECT_EQ(machine.sound.last_sample, 48768u);

    // A shorter buffer than asked for at open is not overrun.
    std::vector<uint8_t> small(100 + 4, 0xAA);
    audio_callback(nullptr, small.data(), 100);
    EXPECT_EQ(small[99], 0xBE);
    EXPECT_EQ(small[100], 0xAA);
}

namespace {

// A square wave with a flip every 100 cycles, in lines of 325 cycles.
void wave_lines(uint32_t& c, int lines, std::vector<int32_t>* drain = nullptr)
{
    for (int l = 0; l < lines; ++l) {
        for (uint32_t k = 0; k < 325; ++k, ++c)
            if (c % 100 == 50) click_at(c);
        flush_at(c);
        if (drain) {
            std::vector<int32_t> v = ring_take();
            drain->insert(drain->end(), v.begin(), v.end());
        }
    }
}

} // namespace

TEST(SoundRing, FullRingDropsNewSamples)
{
    // Reference: 1500 lines with the ring drained after each.
    sound_test_begin();
    uint32_t c = 0;
    std::vector<int32_t> ref;
    wave_lines(c, 1300, &ref);
    const uint8_t state_1300 = machine.sound.speaker_state;
    wave_lines(c, 200, &ref);
    const uint8_t state_1500 = machine.sound.speaker_state;
    ASSERT_EQ(ref.size(), static_cast<size_t>(c * SPC));

    // Nobody drains: the ring fills up to one slot short of the reader.
    sound_test_begin();
    c = 0;
    SoundState& s = machine.sound;
    wave_lines(c, 1300); // 18321 samples
    const uint32_t produced = static_cast<uint32_t>(c * SPC);
    EXPECT_EQ(s.ring_write, SOUND_RING - 1) << "one slot stays free to tell full from empty";
    EXPECT_EQ(s.ring_read, 0u);
    EXPECT_EQ(s.dropped_samples, produced - (SOUND_RING - 1));
    EXPECT_EQ(s.speaker_state, state_1300);
    // What was queued is kept, untouched by the samples that did not fit.
    for (uint32_t i = 0; i < SOUND_RING - 1; ++i) ASSERT_EQ(s.sample_ring[i], ref[i]) << i;

    // The callback plays the oldest 2048 and makes room for as many.
    std::vector<uint32_t> played = callback_take();
    for (uint32_t i = 0; i < 2048; ++i) ASSERT_EQ(played[i], static_cast<uint32_t>(ref[i])) << i;
    EXPECT_EQ(s.ring_read, 2048u);
    const uint64_t d0 = s.dropped_samples;
    wave_lines(c, 200);
    EXPECT_EQ(s.ring_write, 2047u);
    EXPECT_EQ(s.dropped_samples - d0, ref.size() - produced - 2048);
    EXPECT_EQ(s.speaker_state, state_1500);
    // The new samples carry on from the present, in phase with the wave: the
    // levels were tracked through the drops.
    for (uint32_t i = 0; i < 2048; ++i)
        ASSERT_EQ(s.sample_ring[(SOUND_RING - 1 + i) % SOUND_RING], ref[produced + i]) << i;
}

TEST(SoundRing, IndicesWrap)
{
    sound_test_begin();
    machine.sound.ring_write = machine.sound.ring_read = SOUND_RING - 5;
    machine.sound.speaker_state = 1;
    flush_at(325);
    EXPECT_EQ(machine.sound.ring_write, 9u);
    std::vector<uint32_t> v = callback_take();
    EXPECT_EQ(v[0], 48768u);
    EXPECT_EQ(v[13], 48768u);
    EXPECT_EQ(machine.sound.ring_read, 9u);
}

// Run once under ThreadSanitizer (-fsanitize=thread): the producer renders a
// wave while the real callback drains on another thread; what the callback
// plays must be exactly the single-threaded render, with only repeats of the
// last value added where the ring ran dry.
TEST(SoundRing, TwoThreads)
{
    constexpr int LINES = 6000;
    auto script_line = [](int line) {
        const uint32_t base = static_cast<uint32_t>(line) * 325;
        sound_set_volume(static_cast<uint32_t>(line % 100) + 1);
        for (uint32_t k = 0; k < 325; ++k)
            if ((base + k) % 137 == 0) click_at(base + k);
        flush_at(base + 325);
    };

    sound_test_begin();
    std::vector<int32_t> ref;
    for (int l = 0; l < LINES; ++l) {
        script_line(l);
        std::vector<int32_t> v = ring_take();
        ref.insert(ref.end(), v.begin(), v.end());
    }

    sound_test_begin();
    std::atomic<bool> done{false};
    std::vector<uint32_t> heard;
    std::thread consumer([&] {
        std::vector<uint8_t> buf(4096);
        for (;;) {
            const bool last = done.load(std::memory_order_acquire);
            audio_callback(nullptr, buf.data(), 4096);
            for (int i = 0; i < 4096; i += 2) heard.push_back(buf[i] | buf[i + 1] << 8);
            if (last) break;
            std::this_thread::yield();
        }
    });
    std::thread producer([&] {
        for (int l = 0; l < LINES; ++l) {
            // Wait for room, as a paced producer would, so nothing is dropped.
            for (;;) {
                const uint32_t r = std::atomic_ref<uint32_t>(machine.sound.ring_read).load(std::memory_order_acquire);
                if (((r - machine.sound.ring_write - 1) & (SOUND_RING - 1)) >= 64) break;
                std::this_thread::yield();
            }
            script_line(l);
        }
    });
    producer.join();
    // Let the consumer drain what is left, then one more buffer.
    while (std::atomic_ref<uint32_t>(machine.sound.ring_read).load(std::memory_order_acquire) !=
           machine.sound.ring_write)
        std::this_thread::yield();
    done.store(true, std::memory_order_release);
    consumer.join();

    EXPECT_EQ(machine.sound.dropped_samples, 0u);
    size_t j = 0;
    uint32_t prev = 32768;
    for (size_t i = 0; i < heard.size(); ++i) {
        if (j < ref.size() && heard[i] == static_cast<uint32_t>(ref[j])) {
            prev = heard[i];
            ++j;
        } else {
            ASSERT_EQ(heard[i], prev) << "sample " << i << " is neither the next one nor a repeat";
        }
    }
    EXPECT_EQ(j, ref.size());
    EXPECT_GT(ref.size(), 80000u);
}
