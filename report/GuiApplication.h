#pragma once

#include <QCoreApplication>

#include <memory>

// loggerctl prints its configuration records through Qt Gui, which the other
// verbs do without, and the kind of application object must be settled
// before the object is made. A record never shows a window, so on Linux it is
// drawn offscreen unless QT_QPA_PLATFORM or -platform names a platform: no
// display is needed, and a DISPLAY that points at a server that is gone (an
// ssh session, sudo) cannot stop a batch.

// True for the verbs that print a record: report, and batch with --report-dir.
// Arguments as main receives them, the program's name first.
bool NeedsGuiApplication(int argc, const char *const *argv);

// A QGuiApplication when NeedsGuiApplication, else a QCoreApplication.
std::unique_ptr<QCoreApplication> MakeApplication(int &argc, char **argv);

// The platform's part: chooses the Gui platform before the application is made.
void ChooseGuiPlatform(int argc, const char *const *argv);
