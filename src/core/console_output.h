#pragma once
// The console that shows the program's output.

// When standard output is a console, makes it show the bytes the program writes in the
// program's own code page (UTF-8 where the system honours the program's manifest), until the
// program ends; a file or pipe receives the bytes unchanged either way.
void ShowOutputInProgramCodePage();
