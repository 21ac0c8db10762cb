#include "err/exception.h"

#include <utility>

Exception::Exception(ExceptionKind kind, std::string message, uint32_t faultCode,
                     const _EXCEPTION_RECORD* platformRecord)
    : FaultKind(kind), FaultCode(faultCode), MessageText(std::move(message)),
      PlatformRecord(platformRecord) {}
