#include "Prompt.h"

#include <QCoreApplication>

namespace Prompt {

namespace {

THook &Hook()
{
    static THook hook;
    return hook;
}

TPromptRequest Request(TPromptKind kind, const QString &text)
{
    switch (kind) {
    case TPromptKind::Information:
        return {kind, QStringLiteral("Prompt"), text, QMessageBox::Information, {}};
    case TPromptKind::Warning:
        return {kind, QStringLiteral("Prompt"), text, QMessageBox::Warning, {}};
    case TPromptKind::Confirm:
        return {kind, QStringLiteral("Prompt"), text, QMessageBox::Question, {}};
    case TPromptKind::Error:
        return {kind, QCoreApplication::applicationName(), text, QMessageBox::Critical, {}};
    case TPromptKind::Plain:
        break;
    }
    return {kind, QCoreApplication::applicationName(), text, QMessageBox::NoIcon, {}};
}

} // namespace

void SetHook(THook hook) { Hook() = std::move(hook); }

bool Show(QWidget *parent, TPromptKind kind, const QString &text, const QString &detail)
{
    TPromptRequest request = Request(kind, text);
    request.Detail = detail;
    if (Hook())
        return Hook()(request);

    QMessageBox box(parent);
    box.setWindowTitle(request.Caption);
    box.setText(request.Text);
    box.setTextFormat(Qt::PlainText);  // messages may quote text that came from the line
    box.setIcon(request.Icon);
    box.setDetailedText(request.Detail);
    if (kind == TPromptKind::Confirm) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok;
}

} // namespace Prompt
