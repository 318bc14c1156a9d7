#include "ParamterFrm.h"

#include "Guarded.h"
#include "OnScreen.h"
#include "ParameterChecks.h"
#include "ParamterControls.h"
#include "Prompt.h"

void TParamter::CheckParameters()
{
    const std::optional<TCheckFailure> failure = FirstFailedCheck(*FControls);
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
