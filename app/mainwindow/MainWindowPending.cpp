// MainWindow: commands whose work is not built yet. Each is connected and
// safe to trigger; it does nothing until its command is written.

#include "MainWindow.h"

