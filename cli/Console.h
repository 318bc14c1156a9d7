#pragma once

#include <QString>

#include <cstdio>
#include <string_view>

// Data goes to stdout, messages to stderr, both as UTF-8, whatever the locale.
namespace Console {

// Sets the standard streams up once, before anything is written.
void Prepare();

bool IsTerminal(std::FILE *Stream);

void Data(std::string_view Bytes);
void Message(const QString &Text);
void Message(std::string_view Utf8);
inline void Warning(const QString &Text) { Message(QStringLiteral("warning: ") + Text); }

// A progress line on a terminal, rewritten in place and cleared before any
// message; nothing when stderr is not a terminal.
void ShowProgress(const QString &Text);
void ClearProgress();

} // namespace Console
