#include "ParamterFrm.h"

#include "Guarded.h"
#include "ParameterChecks.h"
#include "ParamterControls.h"
#include "Prompt.h"

void TParamter::CheckParameters()
{
    const std::optional<TCheckFailure> failure = FirstFailedCheck(*FControls);
    if (!failure)
        return;
    // A control that cannot take the focus (disabled, or in a hidden or
    // disabled panel) still gets its message; the focus stays where it was.
    QWidget *control = FControls->Widget(failure->Control);
    if (control->isEnabled() && control->isVisible())
        control->setFocus(Qt::OtherFocusReason);
    Prompt::Show(this, TPromptKind::Information, QString::fromStdString(failure->Message));
    throw EAbort {};
}
