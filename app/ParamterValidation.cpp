#include "ParamterFrm.h"

#include "Guarded.h"
#include "OnScreen.h"
#include "ParameterChecks.h"
#include "ParamterControls.h"
#include "Prompt.h"

#include <QStringList>

void TParamter::CheckParameters()
{
    const std::optional<TCheckFailure> failure = FirstFailedCheck(*FControls, QString(FDecimalSeparator).toStdString());
    if (!failure)
        return;
    // A control that cannot take the focus (disabled, or never on screen)
    // still gets its message; the focus stays where it was, rather than
    // going where the next key would change what nobody can see.
    QWidget *control = FControls->Widget(failure->Control);
    if (control->isEnabled() && IsOnScreen(control))
        control->setFocus(Qt::OtherFocusReason);
    Prompt::Show(this, TPromptKind::Information, QString::fromStdString(failure->Message));
    throw EAbort {};
}

void TParamter::ConfirmPlausibility()
{
    const std::vector<TCheckFailure> warnings =
        PlausibilityWarnings(*FControls, QString(FDecimalSeparator).toStdString());
    if (warnings.empty())
        return;
    QStringList lines;
    for (const TCheckFailure &w : warnings)
        lines << QString::fromStdString(w.Message);
    // The logger would take these; only the user can say they are meant.
    if (!Prompt::Show(this, TPromptKind::Confirm,
                      lines.join(QLatin1Char('\n')) + QStringLiteral("\n\nSave these settings all the same?")))
        throw EAbort {};
}
