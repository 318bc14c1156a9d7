#pragma once

#include "ParamterFrm.h"
#include "Prompt.h"

#include <QWidget>

// The parameter window right after it is first shown. Message boxes are
// recorded instead of shown, so that no test waits for a click: their texts in
// Prompts, the whole request (caption, icon) in Boxes.
class TShownWindow
{
public:
    TShownWindow()
    {
        Prompt::SetHook([this](const TPromptRequest &request) {
            Record(request);
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

    void Record(const TPromptRequest &request)
    {
        Prompts << request.Text;
        Boxes << request;
    }

    // How the last box looked: "caption, icon", the icon as "information",
    // "warning", "critical", "question" or "none".
    QString LastLook() const
    {
        if (Boxes.isEmpty())
            return QStringLiteral("no box");
        static const char *const icons[] = {"none", "information", "warning", "critical", "question"};
        const int icon = int(Boxes.last().Icon);
        return Boxes.last().Caption + QStringLiteral(", ")
               + QLatin1String(icon >= 0 && icon < 5 ? icons[icon] : "?");
    }

    TParamter Window;
    QStringList Prompts;
    QList<TPromptRequest> Boxes;
};
