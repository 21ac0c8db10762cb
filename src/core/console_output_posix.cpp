// A terminal shows the bytes as they are written: nothing to switch.
#include "core/console_output.h"

void ShowOutputInProgramCodePage() {}
