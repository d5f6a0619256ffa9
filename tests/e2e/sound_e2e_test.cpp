// The real program plays a tone through SDL's disk audio driver: ][+ mode
// boots a disk whose boot sector toggles the speaker at a known rate, and the
// raw samples the driver wrote are checked for that pitch. No X server.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

constexpr int TOGGLE_DELAY = 150;
// One pass: LDA abs 4 + LDX # 2 + (DEX 2 + BNE 3) x 150 - 1 + JMP 3.
constexpr double TOGGLE_CYCLES = 4 + 2 + TOGGLE_DELAY * 5 - 1 + 3;
constexpr double TONE_HZ = 1017000.0 / (2 * TOGGLE_CYCLES); // 670.8 Hz
constexpr double RATE = 44100.0;

// A DOS-order image whose track 0 sector 0 is the boot sector: the slot-6
// boot ROM reads it to $0800, takes byte 0 as the sector count and enters
// at $0801.
std::vector<uint8_t> toggle_disk()
{
    std::vector<uint8_t> img(143360, 0);
    const uint8_t boot[] = {
        0x01,                   // $0800 one sector
        0xAD, 0x30, 0xC0,       // $0801 LDA $C030
        0xA2, TOGGLE_DELAY,     // $0804 LDX #150
        0xCA,                   // $0806 DEX
        0xD0, 0xFD,             // $0807 BNE $0806
        0x4C, 0x01, 0x08,       // $0809 JMP $0801
    };
    std::copy(std::begin(boot), std::end(boot), img.begin());
    return img;
}

// Runs the program in dir with the disk audio driver for run_ms, then stops
// it (SIGTERM, SIGKILL if that does not end it). Returns false when the
// program ended by itself.
bool run_with_disk_audio(const std::string& dir, const std::string& raw, int run_ms)
{
    const std::string bin = kalvoran_binary();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        // The driver sleeps this long between buffers of 2048 samples
        // (46 ms at 44100 Hz): about real time, so the unthrottled machine
        // stays ahead and the device never runs dry.
        ::setenv("SDL_DISKAUDIODELAY", "46", 1);
        ::setenv("KALVORAN_DATADIR", "", 1);
        if (!std::freopen("kalvoran.log", "w", stderr) || !std::freopen("kalvoran.out", "w", stdout))
            ::_exit(125);
        ::execl(bin.c_str(), bin.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0) return false;
    int st = 0;
    for (int waited = 0; waited < run_ms; waited += 50) {
        if (::waitpid(pid, &st, WNOHANG) == pid) return false;
        ::usleep(50000);
    }
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < 3000; waited += 50) {
        if (::waitpid(pid, &st, WNOHANG) == pid) return true;
        ::usleep(50000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &st, 0);
    return true;
}

// Rising crossings of the midpoint, interpolated within the sample, and the
// distances between them in samples.
std::vector<double> crossing_intervals(const std::vector<int32_t>& v, double mid)
{
    std::vector<double> out;
    double prev = -1;
    for (size_t i = 1; i < v.size(); ++i) {
        if (v[i - 1] < mid && v[i] >= mid) {
            const double at = static_cast<double>(i - 1) + (mid - v[i - 1]) / (v[i] - v[i - 1]);
            if (prev >= 0) out.push_back(at - prev);
            prev = at;
        }
    }
    return out;
}

} // namespace

TEST(SoundE2E, BootSectorToneReachesTheAudioDevice)
{
    SKIP_WITHOUT_TESTDATA("roms/apple2.rom");
    SKIP_WITHOUT_TESTDATA("roms/disk.rom");
    TempWorkDir dir;
    copy_file(testdata("roms/apple2.rom"), "apple2.rom");
    copy_file(testdata("roms/disk.rom"), "disk.rom");
    write_file("disk6a.dsk", toggle_disk());
    const std::string raw = dir.path + "/audio.raw";

    if (!run_with_disk_audio(dir.path, raw, 3000)) {
        const std::vector<uint8_t> log = read_file(dir.path + "/kalvoran.log");
        FAIL() << "the program ended by itself:\n" << std::string(log.begin(), log.end());
    }
    ASSERT_TRUE(file_exists(raw)) << "the disk audio driver wrote nothing";

    // Raw unsigned 16-bit little-endian mono. SDL fills with its silence
    // for this format, 0, while the device is paused: before the program
    // starts playback and after it stops it.
    const std::vector<uint8_t> bytes = read_file(raw);
    std::vector<int32_t> s;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) s.push_back(bytes[i] | bytes[i + 1] << 8);
    while (!s.empty() && s.back() == 0) s.pop_back();
    const auto first = std::find_if(s.begin(), s.end(), [](int32_t v) { return v != 0; });
    s.erase(s.begin(), first);
    ASSERT_GE(s.size(), 44100u) << "less than a second of sound reached the device";

    // The default volume of 50 % swings between 32768 and 48768.
    size_t low = 0, high = 0;
    for (int32_t v : s) {
        ASSERT_GE(v, 32768);
        ASSERT_LE(v, 48768);
        low += v == 32768;
        high += v == 48768;
    }
    // Start-up before the disk boots is silent, longer in a slow build.
    EXPECT_GT(low, s.size() / 8);
    EXPECT_GT(high, s.size() / 8);

    // The device plays emulated time with gaps where the full ring dropped
    // samples, and the start-up bell of the monitor comes first: the tone is
    // what most periods show. The median period finds it, the mean of the
    // periods near it measures it.
    std::vector<double> iv = crossing_intervals(s, 40768.0);
    ASSERT_GT(iv.size(), 300u);
    std::vector<double> sorted = iv;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    size_t near = 0;
    for (double d : iv) {
        if (d > median * 0.97 && d < median * 1.03) {
            sum += d;
            ++near;
        }
    }
    const double hz = RATE / (sum / near);
    std::printf("disk audio: %zu samples, %zu of %zu periods on the tone, %.3f Hz measured, %.3f Hz expected\n",
                s.size(), near, iv.size(), hz, TONE_HZ);
    EXPECT_NEAR(RATE / median, TONE_HZ, TONE_HZ * 0.01);
    EXPECT_NEAR(hz, TONE_HZ, TONE_HZ * 0.01);
    EXPECT_GT(near, iv.size() * 8 / 10) << "the tone is not steady";
    RecordProperty("measured_hz", std::to_string(hz));
}
