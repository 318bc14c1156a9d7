#include "ShownWindow.h"

#include "ParamterControls.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void everyControlHasTheKindItsNameSays();
    void indexOutsideTheList_data();
    void indexOutsideTheList();
    void memoLineBreaksAreCrLf_data();
    void memoLineBreaksAreCrLf();
    void radioButtonsFromCode();
    void enablingAndKinds();
};

void TestControls::everyControlHasTheKindItsNameSays()
{
    TShownWindow w;
    TParamterControls c(w.Window);
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const QString name = QString::fromLatin1(ControlNames[i]);
        const char *kind = name.startsWith("edt")   ? "QLineEdit"
                           : name.startsWith("cbb") ? "QComboBox"
                           : name.startsWith("chk") ? "QCheckBox"
                           : name.startsWith("rb")  ? "QRadioButton"
                           : name.startsWith("pnl") ? "QFrame"
                                                    : "QPlainTextEdit";
        QVERIFY2(c.Widget(static_cast<Ctl>(i))->inherits(kind), qPrintable(name));
    }
}

void TestControls::indexOutsideTheList_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("minus one") << -1;
    QTest::newRow("below") << -5;
    QTest::newRow("count") << 3;
    QTest::newRow("far above") << 1000;
}

void TestControls::indexOutsideTheList()
{
    QFETCH(int, index);
    TShownWindow w;
    TParamterControls c(w.Window);
    auto *mode = w.Get<QComboBox>("cbbStartMode");
    QSignalSpy userChanges(mode, &QComboBox::activated);
    c.SetItemIndex(Ctl::cbbStartMode, index);
    QCOMPARE(c.ItemIndex(Ctl::cbbStartMode), -1);
    QCOMPARE(mode->currentText(), QString());
    QCOMPARE(c.ItemText(Ctl::cbbStartMode, index), std::string());
    QCOMPARE(userChanges.count(), 0);

    // FormShow relies on Qt's own setter doing the same for a year beyond the list.
    auto *year = w.Get<QComboBox>("cbbSystemTimeY");
    year->setCurrentIndex(index < 0 ? index : 79 + index);
    QCOMPARE(year->currentIndex(), -1);
    QCOMPARE(year->currentText(), QString());
}

void TestControls::memoLineBreaksAreCrLf_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("read");

    QTest::newRow("CR LF") << QByteArray("a\r\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("lone CR") << QByteArray("a\rb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("lone LF") << QByteArray("a\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("trailing, doubled") << QByteArray("x\r\n\r\n") << "x\n\n" << QByteArray("x\r\n\r\n");
    QTest::newRow("markup is text") << QByteArray("<b>\xc3\x84</b>&amp;") << "<b>\u00c4</b>&amp;"
                                    << QByteArray("<b>\xc3\x84</b>&amp;");
}

void TestControls::memoLineBreaksAreCrLf()
{
    QFETCH(QByteArray, set);
    QFETCH(QString, shown);
    QFETCH(QByteArray, read);
    TShownWindow w;
    TParamterControls c(w.Window);
    c.SetText(Ctl::mmoTripInfo, set.toStdString());
    QCOMPARE(w.Get<QPlainTextEdit>("mmoTripInfo")->toPlainText(), shown);
    QCOMPARE(QByteArray::fromStdString(c.Text(Ctl::mmoTripInfo)), read);
}

void TestControls::radioButtonsFromCode()
{
    TShownWindow w;
    TParamterControls c(w.Window);
    c.SetChecked(Ctl::rbSingleAlarm, true);
    QVERIFY(!c.Checked(Ctl::rbNoAlarm));
    QVERIFY(!w.Get("pnlSingleAlarm")->isHidden());

    // Switched off from code: none of the group is on and no rule runs.
    c.SetChecked(Ctl::rbSingleAlarm, false);
    QVERIFY(!c.Checked(Ctl::rbSingleAlarm) && !c.Checked(Ctl::rbNoAlarm));
    QVERIFY(!w.Get("pnlSingleAlarm")->isHidden());
    c.SetChecked(Ctl::rbNoAlarm, true);
    QVERIFY(!c.Checked(Ctl::rbSingleAlarm));  // still one exclusive group
    QVERIFY(w.Get("pnlSingleAlarm")->isHidden());
}

void TestControls::enablingAndKinds()
{
    TShownWindow w;
    TParamterControls c(w.Window);
    c.Enable(TEnableSwitch::Password, true);
    QVERIFY(w.Get("edtPassword")->isEnabled());
    c.Enable(TEnableSwitch::StartTime, true);
    QVERIFY(w.Get("cbbStartTimeS")->isEnabled() && !w.Get("cbbStartDelayH")->isEnabled());

    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.ItemIndex(Ctl::edtSerialNumber));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.SetText(Ctl::cbbTimeZone, "UTC+08:00"));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
