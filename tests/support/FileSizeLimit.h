#pragma once

#include <QProcess>

// A full disk for one child process: no file it writes may grow past Bytes,
// and a write that would is refused rather than ending the child. False
// where the system has no such limit (Windows), and the test then skips.
bool LimitFileSize(QProcess &child, qint64 bytes);
