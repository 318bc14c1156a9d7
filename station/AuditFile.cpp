#include "AuditFile.h"

#include <atomic>

namespace {

std::atomic<std::chrono::milliseconds::rep> LockWait{10000};

} // namespace

std::chrono::milliseconds AuditLockWait()
{
    return std::chrono::milliseconds(LockWait.load());
}

void SetAuditLockWait(std::chrono::milliseconds wait)
{
    LockWait = wait.count();
}
