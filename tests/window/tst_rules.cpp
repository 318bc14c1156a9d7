#include "ShownWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <string_view>
#include <tuple>

namespace {

// Drags text over the widget and lets it go at the point, as a mouse would.
void Drop(QWidget *target, QPoint at, const QString &text)
{
    QMimeData data;
    data.setText(text);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QVERIFY(drop.isAccepted());
}

} // namespace

class TestRules : public QObject
{
    Q_OBJECT

private slots:
    void startMode();
    void passwordStartup();
    void alarmPanelsAndUnit();
    void rowCheckBoxes();
    void typing_data();
    void typing();
    void screenReaderText_data();
    void screenReaderText();
    void editingAndControlKeys_data();
    void editingAndControlKeys();
    void contextMenuPaste();
    void memoLimit();
};

void TestRules::startMode()
{
    TShownWindow w;
    auto *mode = w.Get<QComboBox>("cbbStartMode");
    mode->setCurrentIndex(2);  // from code: no rule runs
    QVERIFY(!w.Get("cbbStartTimeY")->isEnabled());
    mode->setCurrentIndex(0);
    w.Get<QComboBox>("cbbStartDelayH")->setCurrentIndex(5);

    // Delayed, Timing, back to Right Now
    for (const auto &[key, delay, time] : {std::tuple{Qt::Key_Down, true, false}, {Qt::Key_Down, false, true},
                                           {Qt::Key_Home, false, false}}) {
        QTest::keyClick(mode, key);
        for (const char *c : {"cbbStartDelayH", "cbbStartDelayM"})
            QVERIFY2(w.Get(c)->isEnabled() == delay, c);
        for (const char *c : {"cbbStartTimeY", "cbbStartTimeM", "cbbStartTimeD", "cbbStartTimeH", "cbbStartTimeN", "cbbStartTimeS"})
            QVERIFY2(w.Get(c)->isEnabled() == time, c);
    }
    QCOMPARE(w.Get<QComboBox>("cbbStartDelayH")->currentIndex(), 5);
}

void TestRules::passwordStartup()
{
    TShownWindow w;
    auto *startup = w.Get<QComboBox>("cbbPasswordStartup");
    auto *password = w.Get<QLineEdit>("edtPassword");
    password->setText(QStringLiteral("abc123"));
    startup->setCurrentIndex(1);
    QVERIFY(!password->isEnabled());
    emit startup->activated(1);
    QVERIFY(password->isEnabled());
    startup->setCurrentIndex(0);
    emit startup->activated(0);
    QVERIFY(!password->isEnabled());
    QCOMPARE(password->text(), QStringLiteral("abc123"));
}

void TestRules::alarmPanelsAndUnit()
{
    TShownWindow w;
    const auto click = [](QWidget *button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10)); };
    auto *single = w.Get<QRadioButton>("rbSingleAlarm");
    auto *panel = w.Get("pnlSingleAlarm");
    w.Get<QLineEdit>("edtSingleH1")->setText(QStringLiteral("30.5"));

    click(single);
    QVERIFY(!panel->isHidden());
    click(w.Get("rbNoAlarm"));
    QVERIFY(panel->isHidden());
    click(single);
    click(w.Get("rbF"));  // its own group: the alarm mode stays
    QVERIFY(single->isChecked() && !panel->isHidden());
    QVERIFY(!w.Get<QRadioButton>("rbC")->isChecked());
    QCOMPARE(w.Get<QLineEdit>("edtSingleH1")->text(), QStringLiteral("30.5"));

    // A read may switch the hidden mode on from code; the rule runs as for a click.
    w.Get<QRadioButton>("rbMultipleAlarm")->setChecked(true);
    QVERIFY(!single->isChecked() && panel->isHidden());
    QVERIFY(!w.Get("pnlMultipleAlarm")->isHidden());
    click(w.Get("rbNoAlarm"));
    QVERIFY(panel->isHidden() && w.Get("pnlMultipleAlarm")->isHidden());
}

void TestRules::rowCheckBoxes()
{
    TShownWindow w;
    for (const QString row : {"TemperatureH3", "TemperatureH2", "TemperatureL2", "HumidityH1", "HumidityL1"}) {
        const QList<QWidget *> controls = {w.Get("edt" + row), w.Get("cbb" + row), w.Get("cbb" + row + "H"),
                                           w.Get("cbb" + row + "M"), w.Get("cbb" + row + "S")};
        w.Get<QLineEdit>("edt" + row)->setText(QStringLiteral("12.5"));

        w.Get<QCheckBox>("chk" + row)->click();
        for (QWidget *c : controls)
            QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
        w.Get<QCheckBox>("chk" + row)->setChecked(true);  // from code, the same rule
        for (QWidget *c : controls)
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        QCOMPARE(w.Get<QLineEdit>("edt" + row)->text(), QStringLiteral("12.5"));
    }
}

// Typing, pasting, an input method's text and text a screen reader sets all
// pass the same filter, over the whole text the edit would hold. In "before",
// '|' is the caret and brackets mark a selection; without them the caret is at
// the end.
void TestRules::typing_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("after");

    QTest::newRow("serial: second letter refused") << "edtSerialNumber" << "" << "AB12 34" << "A1234";
    QTest::newRow("serial: digit first shuts letters out") << "edtSerialNumber" << "" << "1A2" << "12";
    QTest::newRow("serial: also before a digit") << "edtSerialNumber" << "|7" << "C" << "7";
    QTest::newRow("serial: at most 9, punctuation refused") << "edtSerialNumber" << "" << " -b123456789" << "b12345678";
    QTest::newRow("serial: up to the limit") << "edtSerialNumber" << "A1" << "123456789" << "A11234567";
    QTest::newRow("serial: the whole text decides") << "edtSerialNumber" << "[A1]" << "B" << "A1";
    QTest::newRow("serial: a digit replaces the selection") << "edtSerialNumber" << "[A1]" << "7" << "7";
    QTest::newRow("hex: both cases, at most 8") << "edtDeviceID" << "" << "0aF9zG-12345" << "0aF91234";
    QTest::newRow("hex: over a selection at the limit") << "edtDeviceID" << "1234567[8]" << "F" << "1234567F";
    QTest::newRow("int: digits, at most 4") << "edtServiceLife" << "" << "12a3-45" << "1234";
    QTest::newRow("int: nothing fits") << "edtServiceLife" << "12" << "abc" << "12";
    // 65536 would go out as 0 in the record's two bytes.
    QTest::newRow("int: a service life of 65536 stops at 4 digits") << "edtServiceLife" << "" << "65536" << "6553";
    QTest::newRow("char: letters and digits, at most 6") << "edtPassword" << "" << "aB3-_xyz9" << "aB3xyz";
    QTest::newRow("number: one point, no line break") << "edtSingleH1" << "1.5" << "2.5\n" << "1.525";
    QTest::newRow("number: minus anywhere, repeatedly") << "edtSingleH1" << "" << "--1-2" << "--1-2";
    QTest::newRow("number: comma, blank, letters refused") << "edtTemperatureL2" << "" << "a1,2 e" << "12";
    QTest::newRow("number: no length limit") << "edtHumidityH1" << "" << "12345678901234" << "12345678901234";
    QTest::newRow("number: comma from a read takes a point") << "edtCalibrationTemp" << "1,5" << ".2" << "1,5.2";
    QTest::newRow("text from code is not cut") << "edtServiceLife" << "123456" << "7" << "123456";
}

void TestRules::typing()
{
    QFETCH(QString, edit);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    TShownWindow w;
    w.Get<QRadioButton>("rbSingleAlarm")->setChecked(true);
    auto *target = w.Get<QLineEdit>(edit);
    target->setEnabled(true);
    QApplication::clipboard()->setText(typed);
    for (const char *how : {"keys", "Shift+Insert", "input method", "drop", "screen reader"}) {
        // A drop lands where it is let go, so only rows that type at the end drop.
        if (how == std::string_view("drop") && before.contains(QRegularExpression(QStringLiteral("[][|]"))))
            continue;
        // A screen reader replaces the whole text, and only where the user
        // could type it: rows that start empty, in an edit on screen.
        if (how == std::string_view("screen reader") && (!before.isEmpty() || target->visibleRegion().isEmpty()))
            continue;
        target->setText(QString(before).remove(QRegularExpression(QStringLiteral("[][|]"))));
        if (const qsizetype caret = before.indexOf(u'|'); caret >= 0)
            target->setCursorPosition(int(caret));
        if (const qsizetype from = before.indexOf(u'['); from >= 0)
            target->setSelection(int(from), int(before.indexOf(u']') - from - 1));
        if (how == std::string_view("keys")) {
            QTest::keyClicks(target, QString(typed).remove(u'\n'));  // a line break is no key here
        } else if (how == std::string_view("Shift+Insert")) {
            QTest::keyClick(target, Qt::Key_Insert, Qt::ShiftModifier);
        } else if (how == std::string_view("screen reader")) {
            QAccessible::queryAccessibleInterface(target)->setText(QAccessible::Value, typed);
        } else if (how == std::string_view("input method")) {
            QInputMethodEvent compose;
            compose.setCommitString(typed);
            QApplication::sendEvent(target, &compose);
        } else {
            Drop(target, QPoint(target->width() - 2, target->height() / 2), typed);
        }
        QVERIFY2(target->text() == after, qPrintable(QStringLiteral("%1: %2").arg(how, target->text())));
    }
}

void TestRules::screenReaderText_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("after");  // of setting "A05123456"
    QTest::newRow("enabled edit on screen") << "edtSerialNumber" << true << "A05123456";
    QTest::newRow("disabled edit refuses") << "edtSerialNumber" << false << "";
    // The password of a read with password start-up on lies beyond Device Info's edge.
    QTest::newRow("edit never on screen refuses") << "edtPassword" << true << "";
}

// A screen reader changes what the user could change by hand, no more.
void TestRules::screenReaderText()
{
    QFETCH(QString, edit);
    QFETCH(bool, enabled);
    QFETCH(QString, after);
    TShownWindow w;
    auto *target = w.Get<QLineEdit>(edit);
    target->setEnabled(enabled);
    QAccessible::queryAccessibleInterface(target)->setText(QAccessible::Value, QStringLiteral("A05123456"));
    QCOMPARE(target->text(), after);
}

void TestRules::editingAndControlKeys_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");  // three characters the filter lets in
    QTest::newRow("serial-number filter") << "edtSerialNumber" << "A05";
    QTest::newRow("hexadecimal filter") << "edtDeviceID" << "0aF";
    QTest::newRow("integer filter") << "edtServiceLife" << "123";
    QTest::newRow("character filter") << "edtPassword" << "aB3";
    QTest::newRow("number filter") << "edtCalibrationTemp" << "-1.";
}

// Backspace, Delete, Tab, Shift+Tab and Return pass every filter and do what
// they do in any edit; Ctrl+V types the control character 0x16, which every
// filter refuses.
void TestRules::editingAndControlKeys()
{
    QFETCH(QString, edit);
    QFETCH(QString, text);
    TShownWindow w;
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    auto *target = w.Get<QLineEdit>(edit);
    target->setEnabled(true);
    target->setText(text);
    target->setFocus();

    QTest::keyClick(target, Qt::Key_Backspace);
    target->setCursorPosition(0);
    QTest::keyClick(target, Qt::Key_Delete);
    QCOMPARE(target->text(), text.mid(1, 1));

    QApplication::clipboard()->setText(QStringLiteral("99"));
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(target->text(), text.mid(1, 1));

    QSignalSpy returns(target, &QLineEdit::returnPressed);
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(returns.count(), 1);

    for (const auto &[key, modifier] : {std::pair{Qt::Key_Tab, Qt::NoModifier}, {Qt::Key_Backtab, Qt::ShiftModifier}}) {
        target->setFocus();
        QTest::keyClick(target, key, modifier);
        QVERIFY2(!target->hasFocus(), qPrintable(QKeySequence(key).toString()));
    }
    QCOMPARE(target->text(), text.mid(1, 1));
}

void TestRules::contextMenuPaste()
{
    TShownWindow w;
    auto *id = w.Get<QLineEdit>("edtDeviceID");
    QApplication::clipboard()->setText(QStringLiteral("12xyAB34CD"));
    bool pasted = false;
    QTimer::singleShot(0, this, [&pasted] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        if (auto *paste = menu->findChild<QAction *>("edit-paste")) {
            paste->trigger();
            pasted = true;
        }
        menu->close();
    });
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), id->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(id, &request);
    QTRY_VERIFY(pasted);
    QCOMPARE(id->text(), QStringLiteral("12AB34CD"));
}

void TestRules::memoLimit()
{
    TShownWindow w;
    auto *trip = w.Get<QPlainTextEdit>("mmoTripInfo");
    // The memo takes what the write frame carries: 94 bytes.
    QTest::keyClicks(trip, QString(93, u'a'));
    QTest::keyClick(trip, Qt::Key_Return);  // a line break is sent as CR LF: two bytes
    QTest::keyClicks(trip, QStringLiteral("bc"));
    QCOMPARE(trip->toPlainText(), QString(93, u'a') + u'b');

    trip->setPlainText(QString(85, u'a'));
    trip->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QStringLiteral("1234\r\n67890123"));
    QTest::keyClick(trip, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(trip->toPlainText(), QString(85, u'a') + QStringLiteral("1234\n678"));

    // The line break already in the memo counts two: it is full.
    QTest::keyClick(trip, Qt::Key_X);
    QCOMPARE(trip->toPlainText(), QString(85, u'a') + QStringLiteral("1234\n678"));

    // Dropped text counts the same way, at the point where it is let go.
    trip->setPlainText(QString(90, u'a'));
    Drop(trip->viewport(), QPoint(2, 2), QStringLiteral("1\n2345"));
    QCOMPARE(trip->toPlainText(), QStringLiteral("1\n2") + QString(90, u'a'));

    trip->setPlainText(QString(150, u'x'));  // from code: never cut
    QCOMPARE(trip->toPlainText().size(), 150);
}

QTEST_MAIN(TestRules)
#include "tst_rules.moc"
