#include "Console.h"

#include <unistd.h>

namespace Console {

void Prepare()
{
}

bool IsTerminal(std::FILE *Stream)
{
    return ::isatty(::fileno(Stream)) == 1;
}

} // namespace Console
