#pragma once

#include "LoggerEmulator.h"
#include "ParamterFrm.h"
#include "PrivateRuntime.h"
#include "SerialPortList.h"
#include "ShownWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <map>
#include <memory>

// Ports of these tests carry this prefix, so that whatever serial ports the
// machine has do not take part.
inline const QString TestPortPrefix = QStringLiteral("ttyE2E");

inline std::unique_ptr<TLoggerEmulator> StartLogger(const QString &name, TFaultMode fault = TFaultMode::None)
{
    auto logger = std::make_unique<TLoggerEmulator>(name.toStdString());
    logger->SetFaultMode(fault);
    std::string error;
    if (!logger->Start(&error))
        qFatal("cannot start the logger emulator: %s", error.c_str());
    return logger;
}

// The window with its message boxes recorded and only the test's ports listed.
class TTestWindow : public TShownWindow
{
public:
    TTestWindow()
    {
        Window.ReadPortList = [](QStringList &list) {
            QStringList all;
            ReadSerialPortList(all);
            list.clear();
            for (const QString &name : all)
                if (name.startsWith(TestPortPrefix))
                    list << name;
        };
    }

    void Click(const char *image) { QTest::mouseClick(Get(QLatin1String(image)), Qt::LeftButton); }

    // Presses Read with a short search period and waits for the record.
    bool ReadFromLogger()
    {
        const qsizetype before = Prompts.size();
        Window.SetSearchPeriod(300);
        Click("imgRead");
        return QTest::qWaitFor([&] { return Prompts.size() > before; }, 10000)
               && Prompts.last() == QLatin1String("Read Success");
    }

    // Every parameter control's value, by name, to compare two states of the window.
    std::map<QString, QString> Snapshot() const
    {
        std::map<QString, QString> values;
        for (QWidget *w : Window.findChildren<QWidget *>()) {
            const QString name = w->objectName();
            if (auto *edit = qobject_cast<QLineEdit *>(w); edit && !name.startsWith(QLatin1String("qt_")))
                values[name] = edit->text();
            else if (auto *combo = qobject_cast<QComboBox *>(w))
                values[name] = QString::number(combo->currentIndex());
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                values[name] = button->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
            else if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
                values[name] = memo->toPlainText();
        }
        return values;
    }
};
