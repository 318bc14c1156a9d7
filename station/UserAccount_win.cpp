#include "UserAccount.h"

#include <windows.h>

QString AccountName()
{
    wchar_t name[257];  // UNLEN + 1
    DWORD size = sizeof name / sizeof name[0];
    if (!::GetUserNameW(name, &size) || size == 0)
        return {};
    return QString::fromWCharArray(name, int(size) - 1);
}
