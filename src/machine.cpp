#include "machine.h"

MachineState machine;
