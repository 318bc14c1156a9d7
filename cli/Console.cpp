#include "Console.h"

namespace Console {
namespace {

qsizetype ProgressWidth = 0;

void Write(std::FILE *Stream, std::string_view Bytes)
{
    std::fwrite(Bytes.data(), 1, Bytes.size(), Stream);
    std::fflush(Stream);
}

} // namespace

void Data(std::string_view Bytes)
{
    // On one terminal with the progress line, which it would run into.
    if (ProgressWidth > 0 && IsTerminal(stdout))
        ClearProgress();
    Write(stdout, Bytes);
}

void Message(std::string_view Utf8)
{
    ClearProgress();
    std::string line(Utf8);
    if (line.empty() || line.back() != '\n')
        line += '\n';
    Write(stderr, line);
}

void Message(const QString &Text)
{
    Message(std::string_view(Text.toStdString()));
}

void ShowProgress(const QString &Text)
{
    if (!IsTerminal(stderr))
        return;
    ClearProgress();
    Write(stderr, Text.toStdString());
    ProgressWidth = Text.size();
}

// Blanks rather than an escape sequence, so that every console clears it.
void ClearProgress()
{
    if (ProgressWidth == 0)
        return;
    const std::string blank(static_cast<std::size_t>(ProgressWidth), ' ');
    Write(stderr, "\r" + blank + "\r");
    ProgressWidth = 0;
}

} // namespace Console
