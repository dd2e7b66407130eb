#include "TemporaryWaves.h"

#include "TempWaveFiles.h"

void removeTemporaryWaves() { TempWaveFiles::removeWorkFolder(); }
