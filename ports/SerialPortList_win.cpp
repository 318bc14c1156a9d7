#include "SerialPortList.h"

#include "PortNameOrder.h"

#include <windows.h>

#include <algorithm>

namespace {

// Closes the key on every way out of the enumeration.
class RegistryKey
{
public:
    explicit RegistryKey(HKEY Key) : key(Key) {}
    ~RegistryKey() { RegCloseKey(key); }
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;
    HKEY Handle() const { return key; }

private:
    HKEY key;
};

} // namespace

// Windows lists every serial port, whatever its driver, as a value under
// SERIALCOMM: the value's data is the name CreateFile takes.
void ReadSerialPortList(QStringList &List)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &opened)
        != ERROR_SUCCESS)
        return;
    const RegistryKey key(opened);

    constexpr DWORD BufferSize = 256;
    QStringList names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[BufferSize];
        BYTE data[BufferSize * sizeof(wchar_t)];
        // Both sizes are in-out: a call shrinks them to what it returned.
        DWORD nameSize = BufferSize;
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key.Handle(), index, valueName, &nameSize, nullptr, &type,
                                          data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            return;
        if (type != REG_SZ)
            continue;
        // Registry strings need not end in a terminator, and may carry more
        // after one ("COM6\0..."): the name is what comes before the first.
        const auto *text = reinterpret_cast<const wchar_t *>(data);
        const wchar_t *const end = text + dataSize / sizeof(wchar_t);
        const qsizetype length = std::find(text, end, L'\0') - text;
        if (length > 0)
            names << QString::fromWCharArray(text, length);
    }
    names.removeDuplicates();
    SortPortNames(names);
    List = names;
}

// Windows names its ports itself; there is no port map.
QString SettleRuntimeDirectory()
{
    return {};
}
