// The one process-wide record of the emulator: a plain struct per subsystem.
#pragma once
#include <type_traits>
#include "cpu/cpu_state.h"
#include "frontend/frontend_state.h"
#include "memory/memory_state.h"
#include "sound/sound_state.h"
#include "storage/storage_state.h"
#include "video/video_state.h"

struct MachineState {
    CpuState cpu;
    MemoryMap mem;
    SoftSwitches sw;
    FrontendState fe;
    VideoState video;
    DiskController disk;
    MassStorage ms;
    SoundState sound;
};

static_assert(std::is_trivially_copyable_v<MachineState>);

extern MachineState machine;
