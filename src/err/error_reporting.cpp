#include "err/error_reporting.h"

#include "err/fault_handlers.h"
#include "err/runtime_faults.h"

void InstallErrorHandlers() {
    SetErrorHandlers({RuntimeFaultHandler, PlatformExceptionConverter, UnhandledExceptionHandler,
                      AssertionHandler});
}

void RemoveErrorHandlers() {
    ClearErrorHandlers();
}
