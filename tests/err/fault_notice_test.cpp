// The notice as a user meets it: err_fault_program faults on request; the test finds its message
// box, reads the text, presses OK with the mouse, and checks the exit code and that the program's
// finalisations ran. Every wait is bounded.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr auto WindowTimeout = std::chrono::seconds(30);
constexpr DWORD ExitTimeoutMs = 30000;
constexpr size_t AddressDigits = sizeof(void*) * 2;
const std::string AnyAddress = "([0-9A-F]{" + std::to_string(AddressDigits) + "})";
const std::string ZeroAddress(AddressDigits, '0');

std::string FolderOfThisProgram() {
    std::array<char, MAX_PATH + 1> path{};
    GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::string folder = path.data();
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

const std::string FaultProgram = FolderOfThisProgram() + "err_fault_program.exe";

std::string Narrow(const std::wstring& wide) {
    std::string text(wide.size(), '\0');
    for (size_t i = 0; i < wide.size(); ++i)
        text[i] = wide[i] < 0x80 ? static_cast<char>(wide[i]) : '?';
    return text;
}

// Another process's window text: WM_GETTEXT sent as a wide message carries the whole text
// across processes.
std::string WindowText(HWND window) {
    std::array<wchar_t, 4096> text{};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    return Narrow(std::wstring(text.data(), length));
}

std::string ClassName(HWND window) {
    std::array<char, 64> name{};
    GetClassNameA(window, name.data(), static_cast<int>(name.size()));
    return name.data();
}

struct Search {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.ProcessId && IsWindowVisible(window) && ClassName(window) == "#32770") {
        search.Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBoxOf(DWORD processId) {
    Search search{processId, nullptr};
    EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM parameter) {
    if (IsWindowVisible(child) && ClassName(child) == "Button")
        reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(WindowText(child));
    return TRUE;
}

std::vector<std::string> ButtonsOf(HWND box) {
    std::vector<std::string> buttons;
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&buttons));
    return buttons;
}

// A left click at the centre of a window, through the platform's input queue.
void ClickOn(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    std::array<INPUT, 3> inputs{};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = ((rect.left + rect.right) / 2 * 65535) / (screenWidth - 1);
        input.mi.dy = ((rect.top + rect.bottom) / 2 * 65535) / (screenHeight - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::string ReadFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

uintptr_t HexValue(const std::string& digits) {
    return static_cast<uintptr_t>(std::stoull(digits, nullptr, 16));
}

struct FaultRun {
    bool BoxShown = false;
    std::string Caption;
    std::string Text;
    std::vector<std::string> Buttons;
    DWORD ExitCode = STILL_ACTIVE;
    std::string Report;
    uintptr_t ProgramBase = 0;
};

// Waits for the process's message box, reads it, answers it as a person does and waits for the
// process to end.
void AnswerNoticeAndWait(PROCESS_INFORMATION& process, FaultRun& run) {
    const auto deadline = std::chrono::steady_clock::now() + WindowTimeout;
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < deadline &&
           WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT)
        box = FindMessageBoxOf(process.dwProcessId);
    if (box != nullptr) {
        run.BoxShown = true;
        run.Caption = WindowText(box);
        run.Text = WindowText(GetDlgItem(box, 0xFFFF));
        run.Buttons = ButtonsOf(box);
        // As a person would: click OK, and click again if the first click came before the box
        // was on the display.
        const HWND ok = GetDlgItem(box, IDOK);
        for (int attempt = 0; attempt < 10 && IsWindow(ok); ++attempt) {
            ClickOn(ok);
            if (WaitForSingleObject(process.hProcess, 2000) != WAIT_TIMEOUT)
                break;
        }
    }
    if (WaitForSingleObject(process.hProcess, ExitTimeoutMs) == WAIT_TIMEOUT) {
        ADD_FAILURE() << "the program did not end; terminating it";
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, ExitTimeoutMs);
    }
    GetExitCodeProcess(process.hProcess, &run.ExitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// Runs the fault program, answers its message box (when one comes) and collects what a user
// and the file system see.
FaultRun RunFaultProgram(const std::string& fault) {
    FaultRun run;
    const std::string reportFile = FolderOfThisProgram() + "fault-" + fault + ".txt";
    DeleteFileA(reportFile.c_str());
    std::string commandLine = "\"" + FaultProgram + "\" " + fault + " \"" + reportFile + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(FaultProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << FaultProgram;
        return run;
    }
    AnswerNoticeAndWait(process, run);
    run.Report = ReadFileText(reportFile);
    std::smatch base;
    if (std::regex_search(run.Report, base, std::regex("base ([0-9A-F]+)")))
        run.ProgramBase = HexValue(base[1].str());
    return run;
}

std::string RegexQuoted(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// The notice's first line for an exception of the fault program; group 1 is the shown address.
std::string NoticeHead(const std::string& className) {
    return "Exception " + RegexQuoted(className) + " in module " + RegexQuoted(FaultProgram) +
           " at " + AnyAddress + "\\.\n";
}

void ExpectEndedAfterTheNotice(const FaultRun& run) {
    EXPECT_TRUE(run.BoxShown) << "no message box";
    EXPECT_EQ(run.Caption, "Error");
    EXPECT_EQ(run.Buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.Report.find("finalisation ran"), std::string::npos) << run.Report;
}

// A fault in the program's own code: the notice shows its address as an offset into the program,
// and the message the absolute address with the operation on address 0.
void ExpectAccessViolationNotice(const FaultRun& run, const std::string& operation) {
    ExpectEndedAfterTheNotice(run);
    std::smatch parts;
    ASSERT_TRUE(
        std::regex_match(run.Text, parts,
                         std::regex(NoticeHead("Exception") + "Access violation at address " +
                                    AnyAddress + " in module 'err_fault_program\\.exe'\\. " +
                                    operation + " of address " + ZeroAddress)))
        << run.Text;
    EXPECT_EQ(HexValue(parts[1]) + run.ProgramBase, HexValue(parts[2]));
}

// The notice of a fault raised in the program's code with a fixed message.
void ExpectNoticeWithMessage(const FaultRun& run, const std::string& message) {
    ExpectEndedAfterTheNotice(run);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(run.Text, parts, std::regex(NoticeHead("Exception") + message)))
        << run.Text;
    EXPECT_GT(HexValue(parts[1]), 0u) << "an offset into the program's code";
}

TEST(UnhandledNotice, WriteToAddressZeroNamesTheProgramTheOperationAndTheAddress) {
    ExpectAccessViolationNotice(RunFaultProgram("null-write"), "Write");
}

TEST(UnhandledNotice, ReadOfAddressZero) {
    ExpectAccessViolationNotice(RunFaultProgram("null-read"), "Read");
}

TEST(UnhandledNotice, WriteToAddressZeroInAWindowProcedure) {
    ExpectAccessViolationNotice(RunFaultProgram("window-null-write"), "Write");
}

TEST(UnhandledNotice, StaysUntilReadWhenTheFaultComesAfterTheQuitRequest) {
    ExpectAccessViolationNotice(RunFaultProgram("closing-null-write"), "Write");
}

TEST(UnhandledNotice, IntegerDivisionByZero) {
    ExpectNoticeWithMessage(RunFaultProgram("divide-by-zero"), "Division by zero");
}

// Reported from a helper thread, as a real overflow leaves too little stack for the notice.
// Raised by the platform's RaiseException, it is placed in that function's module.
TEST(UnhandledNotice, StackOverflow) {
    const FaultRun run = RunFaultProgram("raised-stack-overflow");
    ExpectEndedAfterTheNotice(run);
    EXPECT_TRUE(std::regex_match(run.Text, std::regex("Exception Exception in module .*\\\\" +
                                                          std::string("kernelbase\\.dll at ") +
                                                          AnyAddress + "\\.\nStack overflow",
                                                      std::regex::icase)))
        << run.Text;
}

TEST(UnhandledNotice, AllocationFailure) {
    ExpectNoticeWithMessage(RunFaultProgram("out-of-memory"), "Out of memory");
}

TEST(UnhandledNotice, UncaughtExceptionOfAnotherClassHasNoMessage) {
    for (const std::string fault :
         {"uncaught-exception", "window-uncaught-exception", "closing-uncaught-exception"}) {
        SCOPED_TRACE(fault);
        const FaultRun run = RunFaultProgram(fault);
        ExpectEndedAfterTheNotice(run);
        // Where it was thrown is unknown: address 0, shown with the program's path.
        EXPECT_EQ(run.Text, "Exception std::runtime_error in module " + FaultProgram + " at " +
                                ZeroAddress + ".\n");
    }
}

int LineOfAssertion() {
    std::ifstream source(VANTREL_SOURCE_DIR "/tests/err/fault_program.cpp");
    std::string line;
    for (int number = 1; std::getline(source, line); ++number)
        if (line.find("Assert(false);") != std::string::npos)
            return number;
    return 0;
}

TEST(UnhandledNotice, AssertionWithoutMessage) {
    const int line = LineOfAssertion();
    ASSERT_GT(line, 0);
    ExpectNoticeWithMessage(RunFaultProgram("assertion"),
                            "Assertion failed \\(fault_program\\.cpp, line " +
                                std::to_string(line) + "\\)");
}

TEST(UnhandledNotice, NoFaultEndsQuietlyWithExitCode0) {
    const FaultRun run = RunFaultProgram("none");
    EXPECT_FALSE(run.BoxShown) << run.Text;
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_NE(run.Report.find("finalisation ran"), std::string::npos) << run.Report;
}

TEST(LastResortReport, FaultBeforeInstallationOrAfterRemoval) {
    for (const std::string fault : {"early-null-write", "late-null-write"}) {
        SCOPED_TRACE(fault);
        const FaultRun run = RunFaultProgram(fault);
        EXPECT_TRUE(run.BoxShown);
        EXPECT_EQ(run.Caption, "Error");
        std::smatch parts;
        ASSERT_TRUE(
            std::regex_match(run.Text, parts, std::regex("Runtime error  11 at " + AnyAddress)))
            << run.Text;
        EXPECT_GT(HexValue(parts[1]), run.ProgramBase) << "the fault address inside the program";
        EXPECT_EQ(run.ExitCode, 11u);
    }
}

#ifdef VANTREL_PROGRAM
// The shipped program itself: a thread made to run at address 0 inside it, as a stray call
// would, ends the program with the notice and exit code 1, not with the platform's crash box.
TEST(UnhandledNotice, TheProgramEndsAFaultWithTheNotice) {
    const std::string program = VANTREL_PROGRAM;
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process))
        << "cannot start " << program;
    WaitForInputIdle(process.hProcess, 30000);
    const auto deadline = std::chrono::steady_clock::now() + WindowTimeout;
    HWND window = nullptr;
    while (window == nullptr && std::chrono::steady_clock::now() < deadline) {
        window = FindWindowA("obj_Form", "Vantrel");
        Sleep(50);
    }
    ASSERT_NE(window, nullptr) << "the main window did not appear";
    HANDLE thread = CreateRemoteThread(process.hProcess, nullptr, 0, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    CloseHandle(thread);

    FaultRun run;
    AnswerNoticeAndWait(process, run);
    EXPECT_TRUE(run.BoxShown) << "no message box";
    EXPECT_EQ(run.Caption, "Error");
    EXPECT_EQ(run.Buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(std::regex_search(
        run.Text, std::regex("^Exception Exception in module .*\\n.*[Aa]ccess violation")))
        << run.Text;
    EXPECT_EQ(run.ExitCode, 1u);
}

#endif

} // namespace
