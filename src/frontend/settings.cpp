// The settings file kalvoran.rc (scanlines, CPU multiplier, volume, speed
// mode) and the one normal way out of the program. Render mode, window mode
// and mounted disks are not saved. The speed line comes last, so a reader of
// the three-line format ignores it; a file without it means real time.
#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/frontend.h"
#include "host_file.h"
#include "sound/sound.h"
#include "storage/disk.h"
#include "storage/massstor.h"

namespace {

constexpr const char* SETTINGS_FILE = "kalvoran.rc";
constexpr int SETTINGS_LINE = 4000;
// The file we write holds four short lines; anything read past this is not
// ours, and a huge file must not hold up start-up.
constexpr long SETTINGS_READ_MAX = 16384;
// 65 x multiplier is the periodic interval in cycles: far beyond the keys'
// 1..50 it would hold off drawing and events for minutes, and below 0 it
// wraps to an unsigned interval of days.
constexpr int SETTINGS_MULTIPLIER_MAX = 10000;

// Matches as sscanf with "<words> %d" would, but reads the number with strtol
// so that one too long for an int is refused rather than undefined.
bool settings_number(const char* line, const char* words, long* value)
{
    int at = -1;
    std::sscanf(line, words, &at);
    if (at < 0) return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(line + at, &end, 10);
    return end != line + at && errno == 0;
}

void settings_apply(const char* line)
{
    long value = 0;
    if (std::strcmp(line, "set scanlines off") == 0) {
        machine.video.scanlines = 0;
    } else if (std::strcmp(line, "set scanlines on") == 0) {
        machine.video.scanlines = 1;
    } else if (std::strcmp(line, "set speed real") == 0) {
        machine.cpu.speed_unlimited = 0;
    } else if (std::strcmp(line, "set speed unlimited") == 0) {
        machine.cpu.speed_unlimited = 1;
    } else if (settings_number(line, "set multiplier %n", &value)) {
        if (value >= 0 && value <= SETTINGS_MULTIPLIER_MAX)
            machine.cpu.cpu_multiplier = static_cast<uint32_t>(value);
    } else if (settings_number(line, "set volume %n", &value)) {
        // The setter ignores anything above 100.
        if (value >= 0 && value <= 0xFFFFFFFFL) sound_set_volume(static_cast<uint32_t>(value));
    }
}

// Opened for writing only when it is (or becomes) a regular file: a FIFO
// there would block the exit for ever.
std::FILE* settings_open_for_writing()
{
    const int fd = ::open(SETTINGS_FILE, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "w");
    if (!f) ::close(fd);
    return f;
}

} // namespace

void settings_load()
{
    // Not a regular file (a FIFO, /dev/zero): ignored, as a missing one.
    std::FILE* f = host_fopen_regular(SETTINGS_FILE);
    if (!f) return;
    char line[SETTINGS_LINE];
    // A final piece without its newline is left unread on purpose: a line cut
    // short by a crash during writing is not trusted.
    while (std::ftell(f) < SETTINGS_READ_MAX && std::fgets(line, sizeof line, f) && !std::feof(f)) {
        const size_t len = std::strlen(line);
        if (len == 0) continue; // a line starting with a NUL byte
        line[len - 1] = '\0';
        settings_apply(line);
    }
    std::fclose(f);
}

void emulator_exit()
{
    disk_flush_all();
    ms_close_all();
    sound_close();
    if (std::FILE* f = settings_open_for_writing()) {
        std::fprintf(f, "set scanlines %s\n", machine.video.scanlines ? "on" : "off");
        std::fprintf(f, "set multiplier %d\n", static_cast<int>(machine.cpu.cpu_multiplier));
        std::fprintf(f, "set volume %d\n", static_cast<int>(sound_get_volume()));
        std::fprintf(f, "set speed %s\n", machine.cpu.speed_unlimited ? "unlimited" : "real");
        std::fclose(f);
    }
    SDL_ShowCursor(1);
    std::exit(0);
}
