#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace Console {

void Prepare()
{
    // Messages are UTF-8 ("°C"); a console shows them as such only in its
    // UTF-8 code page. A settings file written to stdout keeps its own line
    // ends, so that it is the same file on every system.
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

bool IsTerminal(std::FILE *Stream)
{
    return ::_isatty(::_fileno(Stream)) != 0;
}

} // namespace Console
