#include "ShownWindow.h"

#include "ParamterControls.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void requestsOutsideTheControls();
    void memoLineBreaksAreCrLf_data();
    void memoLineBreaksAreCrLf();
    void radioButtonsFromCode();
};

// An index outside the list leaves no selection and no user change; a
// control of the wrong kind is a programming error.
void TestControls::requestsOutsideTheControls()
{
    TShownWindow w;
    TParamterControls c(w.Window);
    auto *mode = w.Get<QComboBox>("cbbStartMode");
    QSignalSpy userChanges(mode, &QComboBox::activated);
    for (int index : {-1, -5, 3}) {
        mode->setCurrentIndex(1);
        c.SetItemIndex(Ctl::cbbStartMode, index);
        QCOMPARE(c.ItemIndex(Ctl::cbbStartMode), -1);
        QCOMPARE(mode->currentText(), QString());
        QCOMPARE(c.ItemText(Ctl::cbbStartMode, index), std::string());
    }
    QCOMPARE(userChanges.count(), 0);

    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.ItemIndex(Ctl::edtSerialNumber));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, c.SetText(Ctl::cbbTimeZone, "UTC+08:00"));
}

void TestControls::memoLineBreaksAreCrLf_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("read");

    QTest::newRow("CR LF") << QByteArray("a\r\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("lone CR, lone LF") << QByteArray("a\rb\nc") << "a\nb\nc" << QByteArray("a\r\nb\r\nc");
    QTest::newRow("trailing, doubled") << QByteArray("x\r\n\r\n") << "x\n\n" << QByteArray("x\r\n\r\n");
    // toPlainText() shows a no-break space as a plain one; the logger must get its byte back.
    QTest::newRow("no-break space") << QByteArray("a\xc2\xa0" "b") << "a b" << QByteArray("a\xc2\xa0" "b");
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

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
