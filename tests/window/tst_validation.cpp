#include "CheckCases.h"
#include "Comm.h"
#include "ShownWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// The checks before a save: their order, their messages, where the focus goes,
// and that a failed check ends the save with nothing sent.
class TestValidation : public QObject
{
    Q_OBJECT

    // The notation of the shared check cases, and "enable=edtX", which a read does.
    static void Apply(TShownWindow &w, const QString &settings)
    {
        for (const QString &setting : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = setting.section(QLatin1Char('='), 0, 0).trimmed();
            const QString value = setting.section(QLatin1Char('='), 1);
            if (name == QLatin1String("enable"))
                w.Get(value.trimmed())->setEnabled(true);
            else if (auto *edit = w.Window.findChild<QLineEdit *>(name))
                edit->setText(value);
            else if (auto *combo = w.Window.findChild<QComboBox *>(name))
                combo->setCurrentIndex(combo->findText(value));
            else
                w.Get<QAbstractButton>(name)->setChecked(value == QLatin1String("on"));
        }
    }

private slots:
    void checks_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");  // empty: the focus stays where it was
        QTest::addColumn<QString>("look");   // caption and icon of the box

        const QString passes = QStringLiteral("Can't Open the Port");  // the checks passed; nothing was read
        const QString failed = QStringLiteral("Prompt, information");
        const QString error = QCoreApplication::applicationName() + QStringLiteral(", critical");
        for (const TCheckCase &row : CheckCases()) {
            QTest::newRow(row.Name) << QString::fromUtf8(row.Settings)
                                    << (row.Message ? QString::fromUtf8(row.Message) : passes)
                                    << QString::fromLatin1(row.Focus) << (row.Message ? failed : error);
        }
        // A read with password start-up on enables the edit, which lies beyond
        // the edge of Device Info: a key would replace what nobody sees.
        QTest::newRow("password enabled by a read is never on screen: message, no focus")
            << "edtSerialNumber=A05123456; edtDeviceID=0a1b2c3d; edtServiceLife=365; cbbPasswordStartup=Enable; "
               "enable=edtPassword; edtPassword=abc"
            << "The Password can not be empty and the Password length is 6" << QString() << failed;
    }

    void checks()
    {
        QFETCH(QString, settings);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QString, look);

        TShownWindow w;
        Apply(w, settings);
        QWidget *before = w.Get(QStringLiteral("cbbTimeZone"));
        before->setFocus();

        QTest::mouseClick(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);

        QCOMPARE(w.Prompts, QStringList{message});
        QCOMPARE(w.LastLook(), look);
        QWidget *expected = focus.isEmpty() ? before : w.Get(focus);
        QCOMPARE(w.Window.focusWidget(), expected);
    }

    void failedCheckStopsTheSearchAndSendsNothing()
    {
        TShownWindow w;
        w.Window.ReadPortList = [](QStringList &list) { list = {QStringLiteral("/nonexistent/port")}; };
        QTest::mouseClick(w.Get(QStringLiteral("imgRead")), Qt::LeftButton);
        QVERIFY(w.Window.ReadTimerForTests()->isActive());

        QTest::mousePress(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);
        QVERIFY(w.Get(QStringLiteral("imgSave0"))->isVisible());
        QTest::mouseRelease(w.Get(QStringLiteral("imgSave")), Qt::LeftButton);

        QCOMPARE(w.Prompts.size(), 1);
        QVERIFY(!w.Window.ReadTimerForTests()->isActive());
        QVERIFY(!w.Get(QStringLiteral("imgSave0"))->isVisible());
        QCOMPARE(w.Window.CommForTests()->Handle(), std::intptr_t(0));
    }
};

QTEST_MAIN(TestValidation)
#include "tst_validation.moc"
