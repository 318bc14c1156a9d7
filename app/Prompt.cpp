#include "Prompt.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace Prompt {

namespace {
THook &Hook()
{
    static THook hook;
    return hook;
}
} // namespace

void SetHook(THook hook) { Hook() = std::move(hook); }

bool Show(QWidget *parent, TPromptKind kind, const QString &text)
{
    const QString caption = (kind == TPromptKind::Plain || kind == TPromptKind::Error)
                                ? QCoreApplication::applicationName()
                                : QStringLiteral("Prompt");
    if (Hook())
        return Hook()(TPromptRequest{kind, caption, text});

    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);  // messages may quote text that came from the line
    switch (kind) {
    case TPromptKind::Information: box.setIcon(QMessageBox::Information); break;
    case TPromptKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case TPromptKind::Error: box.setIcon(QMessageBox::Critical); break;
    case TPromptKind::Confirm: box.setIcon(QMessageBox::Question); break;
    case TPromptKind::Plain: break;
    }
    if (kind == TPromptKind::Confirm) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok;
}

} // namespace Prompt
