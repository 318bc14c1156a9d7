#pragma once

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

struct TPromptRequest {
    TPromptKind Kind;
    QString Caption;
    QString Text;
};

namespace Prompt {

// Returns true for OK (always true but for a cancelled confirmation).
bool Show(QWidget *parent, TPromptKind kind, const QString &text);

// Tests replace the boxes with a hook that records the request and answers it.
using THook = std::function<bool(const TPromptRequest &)>;
void SetHook(THook hook);

} // namespace Prompt
