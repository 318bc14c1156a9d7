#pragma once

#include "ParamterFrm.h"
#include "Prompt.h"

#include <QWidget>

// The parameter window right after it is first shown. Message boxes are
// recorded instead of shown, so that no test waits for a click.
class TShownWindow
{
public:
    TShownWindow()
    {
        Prompt::SetHook([this](const TPromptRequest &request) {
            Prompts << request.Text;
            return true;
        });
        Window.show();
    }
    ~TShownWindow() { Prompt::SetHook(nullptr); }

    template<typename T = QWidget>
    T *Get(const QString &name) const
    {
        T *control = Window.findChild<T *>(name);
        if (control == nullptr)
            qFatal("the window has no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return control;
    }

    TParamter Window;
    QStringList Prompts;
};
