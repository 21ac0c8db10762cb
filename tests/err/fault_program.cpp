// A program that faults on request, built on the error layer exactly as vantrel.exe's entry
// block uses it. Usage: err_fault_program FAULT REPORT-FILE
// FAULT is one of null-write, null-read, divide-by-zero, out-of-memory, uncaught-exception,
// assertion or none; "early-" before it faults before the handlers are installed. The report file
// receives the program's load address at start and "finalisation ran" from a static destructor,
// which runs only when the program ends through the normal shut-down path.
#include "err/error_reporting.h"
#include "err/runtime_faults.h"

#include <windows.h>

#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

std::string ReportFile;

void Report(const std::string& line) {
    if (FILE* file = std::fopen(ReportFile.c_str(), "ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

// Stands for a unit's finalisation.
struct Finalisation {
    Finalisation() = default;
    Finalisation(const Finalisation&) = delete;
    Finalisation& operator=(const Finalisation&) = delete;
    ~Finalisation() { Report("finalisation ran"); }
} finalisation;

void Fault(std::string_view fault) {
    volatile int* volatile nowhere = nullptr;
    volatile int zero = 0;
    volatile int dividend = 12345; // both unknown to the compiler: a real division instruction
    volatile size_t tooMuch = std::numeric_limits<size_t>::max() / 2;
    if (fault == "null-write")
        *nowhere = 1;
    if (fault == "null-read")
        Report("read " + std::to_string(*nowhere));
    if (fault == "divide-by-zero")
        Report("quotient " + std::to_string(dividend / zero));
    if (fault == "out-of-memory")
        Report("allocated at " +
               std::to_string(reinterpret_cast<uintptr_t>(::operator new(tooMuch))));
    if (fault == "uncaught-exception")
        throw std::runtime_error("nobody catches this");
    if (fault == "assertion")
        Assert(false); // the assertion without message
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    ReportFile = argv[2];
    char base[32];
    std::snprintf(
        base, sizeof base, "base %llX",
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))));
    Report(base);

    std::string_view fault = argv[1];
    constexpr std::string_view early = "early-";
    if (fault.starts_with(early))
        Fault(fault.substr(early.size()));

    ErrorReporting errorReporting;
    Fault(fault);
    return 0;
}
