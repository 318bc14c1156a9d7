#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The window's message boxes. Every one is modal; its nested event loop keeps
// timers and serial notifications flowing, as the window relies on.
enum class TPromptKind {
    Information,  // caption "Prompt", information icon
    Warning,      // caption "Prompt", warning icon
    Plain,        // the plain message dialog: no icon, OK
    Error,        // the application's error display for an exception's message
    Confirm,      // caption "Prompt", question icon, OK and Cancel
};

// A box as it is about to be shown. Tests see exactly this, so the caption and
// icon they check are the ones a person would see.
struct TPromptRequest {
    TPromptKind Kind;
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Detail;  // the box's details, shown on request: a long list
};

namespace Prompt {

// Returns true for OK (always true but for a cancelled confirmation).
bool Show(QWidget *parent, TPromptKind kind, const QString &text, const QString &detail = {});

// Tests replace the boxes with a hook that records the request and answers it.
using THook = std::function<bool(const TPromptRequest &)>;
void SetHook(THook hook);

} // namespace Prompt
