// The notice as a user meets it: err_fault_program faults on request; the test finds its message
// box, reads it, presses OK with the mouse, and checks the exit code and that the program's
// finalisation ran. Every wait is bounded generously.
#include "../layer/window_test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

namespace {

const std::string kFaultProgram = FAULT_PROGRAM;

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

// The text of the notice titled "Error" ("" when none came) and the exit code.
struct FaultRun {
    std::string notice;
    DWORD exitCode = STILL_ACTIVE;
};

// Starts the program, lets `trigger` act on the running process, then reads the notice and
// presses its OK button.
FaultRun RunAndAnswerNotice(const std::string& program, std::string commandLine,
                            const std::function<void(HANDLE)>& trigger) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    FaultRun run;
    std::wstring line = Wide(commandLine);
    if (!CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return run;
    trigger(process.hProcess);
    HWND box = nullptr;
    for (int wait = 0; wait < 1200 && box == nullptr; ++wait) // up to a minute
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT)
            box = FindWindowA("#32770", "Error"); // this test's prefix runs no other program
    if (box != nullptr) {
        run.notice = WindowTextOf(GetDlgItem(box, 0xFFFF));
        // Click again if a click came before the box was on the display.
        for (int i = 0; i < 10 && WaitForSingleObject(process.hProcess, 3000) == WAIT_TIMEOUT; ++i)
            ClickCenterOf(GetDlgItem(box, IDOK)); // as a person does
    }
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

// The program copied where its file's name is 159 CJK characters, 477 bytes of UTF-8 and past 260,
// which the notice names whole.
std::string DeepProgram() {
    std::string program = kFaultProgram.substr(0, kFaultProgram.find_last_of("\\/"));
    for (int level = 0; level < 3; ++level) {
        program += "\\";
        for (int i = 0; i < 53; ++i)
            program += "\xE6\xB7\xB1";
        CreateDirectoryW(Wide(program).c_str(), nullptr);
    }
    program += "\\err_fault_program.exe";
    std::replace(program.begin(), program.end(), '/', '\\');
    return CopyFileW(Wide(kFaultProgram).c_str(), Wide(program).c_str(), FALSE) ? program : "";
}

// The texts themselves are err_handlers_test's; here the real process shows them, and only before
// the handlers are installed the runtime reports the fault itself and ends at once.
TEST(UnhandledNotice, EachFaultEndsInTheNoticeThenTheFinalisation) {
    const std::string program = DeepProgram(), report = kFaultProgram + ".report.txt";
    ASSERT_NE(program, "");
    const std::string head =
        "Exception Exception in module " +
        std::regex_replace(program, std::regex(R"([\\.^$|()\[\]{}*+?])"), R"(\$&)") +
        " at [0-9A-F]+\\.\n";
    const std::tuple<const char*, std::string, DWORD, std::string> cases[] = {
        {"null-write", head + "Access violation at .* Write of address 0+", 1,
         "finalisation ran\n"},
        {"uncaught-exception", "Exception std::runtime_error in module .* at 0+\\.\n", 1,
         "finalisation ran\n"},
        {"none", "", 0, "finalisation ran\n"},
        {"early-null-write", "Runtime error  11 at [0-9A-F]+", 11, ""},
    };
    for (const auto& [fault, notice, exitCode, finalisation] : cases) {
        DeleteFileA(report.c_str());
        const FaultRun run = RunAndAnswerNotice(
            program, "\"" + program + "\" " + fault + " \"" + report + "\"", [](HANDLE) {});
        std::ifstream text(report);
        EXPECT_TRUE(std::regex_match(run.notice, std::regex(notice))) << fault << run.notice;
        EXPECT_EQ(run.exitCode, exitCode) << fault;
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(text), {}), finalisation) << fault;
    }
}

// The shipped program itself: a thread made to run at address 0 inside it, as a stray call
// would, ends the program with the notice and exit code 1, not with the platform's crash box.
TEST(UnhandledNotice, TheProgramEndsAStrayCallWithTheNotice) {
    const FaultRun run =
        RunAndAnswerNotice(VANTREL_PROGRAM, "\"" VANTREL_PROGRAM "\"", [](HANDLE process) {
            for (int wait = 0; wait < 1200 && FindWindowA("obj_Form", "Vantrel") == nullptr; ++wait)
                Sleep(50);
            CloseHandle(CreateRemoteThread(process, nullptr, 0, nullptr, nullptr, 0, nullptr));
        });
    EXPECT_TRUE(std::regex_search(
        run.notice, std::regex("^Exception Exception in module .*vantrel\\.exe at [0-9A-F]+\\.\n"
                               "Access violation")))
        << run.notice;
    EXPECT_EQ(run.exitCode, 1u);
}
} // namespace
