// The notice as a user meets it: err_fault_program faults on request; the test finds its message
// box, reads it, presses OK with the mouse, and checks the exit code and that the program's
// finalisation ran. Every wait is bounded generously.
#include "../layer/window_test_support.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace {

const std::string kFaultProgram = FAULT_PROGRAM;

// Runs the program with the fault; the text of its notice titled "Error" (read as wide text,
// whole across processes), its exit code and what its finalisation reported, one a line.
std::string RunFaultProgram(const std::string& fault) {
    const std::string report = kFaultProgram + "." + fault + ".txt";
    DeleteFileA(report.c_str());
    std::string commandLine = "\"" + kFaultProgram + "\" " + fault + " \"" + report + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(kFaultProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process))
        return "not started";
    HWND box = nullptr;
    for (int wait = 0; wait < 1200 && box == nullptr; ++wait) // up to a minute
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT)
            box = FindWindowA("#32770", "Error"); // this test's prefix runs no other program
    wchar_t notice[4096] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(notice),
                        SMTO_ABORTIFHUNG, 5000, &length);
    // Click again if a click came before the box was on the display.
    for (int i = 0;
         i < 10 && box != nullptr && WaitForSingleObject(process.hProcess, 3000) == WAIT_TIMEOUT;
         ++i)
        ClickAt(ScreenCenterOf(GetDlgItem(box, IDOK))); // as a person does
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 99);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ostringstream text;
    text << std::string(notice, notice + length) << "\nexit " << exitCode << "\n"
         << std::ifstream(report).rdbuf();
    return text.str();
}

TEST(UnhandledNotice, EachFaultEndsInTheNoticeThenTheFinalisation) {
    const std::string address = "[0-9A-F]{" + std::to_string(sizeof(void*) * 2) + "}";
    const std::string zero(sizeof(void*) * 2, '0'), ended = "\nexit 1\nfinalisation ran\n";
    const std::string head =
        "Exception Exception in module .*err_fault_program\\.exe at " + address + "\\.\n";
    const std::string violation = head + "Access violation at address " + address +
                                  " in module 'err_fault_program\\.exe'\\. Write of address " +
                                  zero + ended;
    const std::pair<const char*, std::string> cases[] = {
        {"null-write", violation},
        {"window-null-write", violation},
        {"divide-by-zero", head + "Division by zero" + ended},
        {"window-uncaught-exception",
         "Exception std::runtime_error in module .*err_fault_program\\.exe at " + zero + "\\.\n" +
             ended},
        {"none", "\nexit 0\nfinalisation ran\n"},
        // Before the handlers are installed the runtime reports the fault itself and ends at once.
        {"early-null-write", "Runtime error  11 at " + address + "\nexit 11\n"},
    };
    for (const auto& [fault, notice] : cases) {
        const std::string run = RunFaultProgram(fault);
        EXPECT_TRUE(std::regex_match(run, std::regex(notice))) << fault << ": " << run;
    }
}

} // namespace
