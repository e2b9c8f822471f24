// Process-wide parts of the window system (filled in below).
#include "platform/ui/ui.h"
