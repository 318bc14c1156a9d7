#include "PortListStamp.h"

#include <windows.h>

// The port list is the values of this key; a port that comes or goes changes
// their number and the key's write time.
QByteArray PortListStamp()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key)
        != ERROR_SUCCESS)
        return QByteArrayLiteral("none");
    DWORD values = 0;
    FILETIME written {};
    const LONG result = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                                           nullptr, nullptr, &written);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return {};
    return QByteArray::number(qulonglong(values)) + ':' + QByteArray::number(qulonglong(written.dwHighDateTime)) + '.'
           + QByteArray::number(qulonglong(written.dwLowDateTime));
}
