#pragma once
// What the console program takes from its platform: its arguments, the line end it writes, and
// a standard output that passes its bytes on as they are.
#include <string>
#include <vector>

// The line end the program writes: CR LF on Windows, LF on POSIX systems.
extern const char kLineEnd[];

// The program's arguments after its own name: main's on POSIX systems; on Windows the process's
// command line split as the window splits it.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes standard output take the program's bytes unchanged (no LF turned into CR LF) and, when
// it is a console, show them in the program's own code page (UTF-8 where the system honours the
// program's manifest) until the program ends.
void PrepareStandardOutput();
