// BLOAD: a host file with a 4-byte header (load address, length, both
// little-endian) stored into emulated memory through the normal store path.
// The program is not started; bytes aimed at the storage cards' registers are
// dropped.
#include <cstdio>
#include "frontend/frontend.h"
#include "host_file.h"
#include "memory/memory.h"

void bload(const char* name)
{
    char text[1200];
    // A folder, FIFO or device is no file to load: refused as unopenable.
    std::FILE* f = host_fopen_regular(name);
    if (!f) {
        std::snprintf(text, sizeof text, "Cannot open file %s!", name);
        status_message(text);
        return;
    }
    int header[4];
    for (int& b : header) b = std::fgetc(f);
    // Read past the end, a header would mean 64K of $FF from $FFFF: refuse.
    if (header[3] == EOF) {
        std::fclose(f);
        std::snprintf(text, sizeof text, "File %s is too short to load!", name);
        status_message(text);
        return;
    }
    const unsigned address = static_cast<unsigned>(header[0] | header[1] << 8);
    const unsigned length = static_cast<unsigned>(header[2] | header[3] << 8);

    for (unsigned i = 0; i < length; ++i) {
        const int c = std::fgetc(f);
        const uint16_t a = static_cast<uint16_t>(address + i);
        // Stores there are commands to the storage cards: $C0D0-$C0DF would
        // write or format a hard-disk unit, $C0E0-$C0EF put a nibble into a
        // mounted floppy image.
        if (a >= 0xC0D0 && a <= 0xC0EF) continue;
        write_byte(a, c == EOF ? 0xFF : static_cast<uint8_t>(c));
    }
    std::snprintf(text, sizeof text, "Loaded: %s A%05u $%04X L%05u $%04X", name, address, address, length, length);
    status_message(text);
    std::fclose(f);
}
