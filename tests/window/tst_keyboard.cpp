#include "Image.h"
#include "ShownWindow.h"
#include "UrlCatcher.h"

#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// What a screen reader announces a control as. Qt names a combo box on this
// desktop by its value, and the reader names it by the labels that label it.
QString SpokenName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    if (!face)
        return QString();
    if (face->role() != QAccessible::ComboBox)
        return face->text(QAccessible::Name);
    QStringList labels;
    for (const auto &[label, relation] : face->relations(QAccessible::Label))
        labels << label->text(QAccessible::Name);
    return labels.join(QStringLiteral(", "));
}

bool TakesTab(const QWidget *widget)
{
    return widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
}

// The part of the window a control belongs to, in the order the window reads.
int Section(const QWidget *widget)
{
    static const QStringList sections = {"grb1", "grp3", "grp2", "grp1"};
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (sections.contains(w->objectName()))
            return int(sections.indexOf(w->objectName()));
    }
    return -1;
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void everyControlHasAName_data();
    void everyControlHasAName();
    void tabGoesRowByRow_data();
    void tabGoesRowByRow();
    void shortcutClicksOnce_data();
    void shortcutClicksOnce();
    void pressesThatDoNothing_data();
    void pressesThatDoNothing();
};

void TestKeyboard::everyControlHasAName_data()
{
    QTest::addColumn<QString>("alarmMode");
    QTest::newRow("no alarm") << QStringLiteral("rbNoAlarm");
    QTest::newRow("single alarm") << QStringLiteral("rbSingleAlarm");
    QTest::newRow("multiple alarm") << QStringLiteral("rbMultipleAlarm");
}

// A screen reader announces each control by its name: every control that Tab
// reaches and every image button has one, and no two visible ones share it.
void TestKeyboard::everyControlHasAName()
{
    QFETCH(QString, alarmMode);
    TShownWindow w;
    w.Get<QRadioButton>(alarmMode)->setChecked(true);
    w.Window.EnableStartTime(true);
    w.Window.EnableStartDelay(true);
    QHash<QString, QString> owners;
    for (QWidget *control : w.Window.findChildren<QWidget *>()) {
        if (!TakesTab(control))
            continue;
        const QString name = SpokenName(control);
        QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
        QVERIFY2(!owners.contains(name), qPrintable(name + " names " + owners.value(name) + " and " + control->objectName()));
        owners.insert(name, control->objectName());
    }
    QVERIFY(owners.size() > 20);

    QStringList buttons;
    for (TImage *image : w.Window.findChildren<TImage *>()) {
        if (!image->IsButton())
            continue;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(image);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::Button);
        // A hidden image offers nothing to press.
        QVERIFY2(face->actionInterface()
                     && face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction())
                            == image->isVisible(),
                 qPrintable(image->objectName()));
        QVERIFY(!face->text(QAccessible::Description).isEmpty());
        QVERIFY(image->toolTip().startsWith(face->text(QAccessible::Name)));
        buttons << face->text(QAccessible::Name);
    }
    buttons.sort();
    QCOMPARE(buttons, QStringList({"About", "Back", "Close", "Help", "Minimise", "Read", "Save"}));
}

void TestKeyboard::tabGoesRowByRow_data()
{
    QTest::addColumn<QString>("alarmMode");
    QTest::addColumn<bool>("passwordOn");
    QTest::newRow("no alarm") << QStringLiteral("rbNoAlarm") << false;
    QTest::newRow("single alarm") << QStringLiteral("rbSingleAlarm") << false;
    // A read switches on what the window never shows: the multiple-alarm rows,
    // the password beyond the edge of Device Info.
    QTest::newRow("multiple alarm never on screen") << QStringLiteral("rbMultipleAlarm") << false;
    QTest::newRow("password on, never on screen") << QStringLiteral("rbNoAlarm") << true;
    QTest::newRow("multiple alarm and password on") << QStringLiteral("rbMultipleAlarm") << true;
}

// Tab visits every control on screen once, and nothing else, part by part as
// the window reads (Device Info, Log Setting, Alarm Setting), and within a part
// row by row, left to right; Shift+Tab visits the same controls backwards.
void TestKeyboard::tabGoesRowByRow()
{
    QFETCH(QString, alarmMode);
    QFETCH(bool, passwordOn);
    TShownWindow w;
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    w.Get<QRadioButton>(alarmMode)->setChecked(true);
    if (passwordOn) {
        w.Get<QComboBox>("cbbPasswordStartup")->setCurrentIndex(1);
        w.Get("edtPassword")->setEnabled(true);
    }
    // Any control of the start mode's rows is enabled, so that Tab reaches them all.
    w.Window.EnableStartTime(true);
    w.Window.EnableStartDelay(true);

    QWidget *first = w.Get("edtSerialNumber");
    const auto cycle = [&](Qt::Key key) {
        first->setFocus();
        QList<QWidget *> stops;
        for (QWidget *at = first; stops.size() < 200; at = QApplication::focusWidget()) {
            if (!stops.isEmpty() && at == first)
                break;
            stops << at;
            QTest::keyClick(at, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        }
        return stops;
    };
    const QList<QWidget *> visited = cycle(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), first);
    QList<QWidget *> back = cycle(Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), first);
    std::reverse(back.begin() + 1, back.end());
    QCOMPARE(back, visited);
    for (const QWidget *stop : visited)
        QVERIFY2(!stop->visibleRegion().isEmpty(), qPrintable(stop->objectName() + " is never on screen"));

    QSet<QWidget *> expected;
    for (QWidget *control : w.Window.findChildren<QWidget *>()) {
        if (TakesTab(control) && !control->visibleRegion().isEmpty())
            expected.insert(control);
    }
    // Tab stops at the checked button of a group of radio buttons only.
    for (auto *radio : w.Window.findChildren<QRadioButton *>()) {
        if (!radio->isChecked() && !visited.contains(radio))
            expected.remove(radio);
    }
    QCOMPARE(QSet<QWidget *>(visited.begin(), visited.end()), expected);
    QCOMPARE(qsizetype(expected.size()), visited.size());

    for (qsizetype i = 1; i < visited.size(); ++i) {
        const QWidget *before = visited[i - 1];
        const QWidget *after = visited[i];
        const QString step = before->objectName() + " -> " + after->objectName();
        QVERIFY2(Section(before) <= Section(after), qPrintable(step));
        if (Section(before) != Section(after))
            continue;
        const QPoint a = before->mapTo(&w.Window, QPoint());
        const QPoint b = after->mapTo(&w.Window, QPoint());
        const bool sameRow = qAbs(a.y() - b.y()) < 12;
        QVERIFY2(sameRow ? a.x() < b.x() : a.y() < b.y(), qPrintable(step));
    }
}

void TestKeyboard::shortcutClicksOnce_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("presses");      // separate presses, one right after the other
    QTest::addColumn<int>("repeats");      // the key's own repeats while it is held
    QTest::addColumn<int>("repeatGapMs");  // between two repeats
    QTest::addColumn<QString>("pressed");

    QTest::newRow("Read, Ctrl+R") << int(Qt::Key_R) << int(Qt::ControlModifier) << 1 << 0 << 0 << "imgRead0";
    QTest::newRow("Read, F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << 1 << 0 << 0 << "imgRead0";
    // A held key repeats long after the click has run; none of its repeats is a new press.
    QTest::newRow("Read, F5 held down past the click")
        << int(Qt::Key_F5) << int(Qt::NoModifier) << 1 << 4 << 150 << "imgRead0";
    QTest::newRow("Read, F5 twice before the click runs")
        << int(Qt::Key_F5) << int(Qt::NoModifier) << 2 << 0 << 0 << "imgRead0";
    QTest::newRow("Save, Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << 1 << 0 << 0 << "imgSave0";
    QTest::newRow("Help, F1") << int(Qt::Key_F1) << int(Qt::NoModifier) << 1 << 0 << 0 << QString();
}

// A shortcut is a click: the pressed picture shows first, then the button's
// handler runs once and uncovers the normal picture. Here Read finds no port,
// Save finds an empty serial number and Help opens the manual: each shows one
// message or opens one file.
void TestKeyboard::shortcutClicksOnce()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, presses);
    QFETCH(int, repeats);
    QFETCH(int, repeatGapMs);
    QFETCH(QString, pressed);
    TShownWindow w;
    w.Window.ReadPortList = [](QStringList &list) { list.clear(); };
    TUrlCatcher catcher;
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    // The keys work wherever the focus is, here in an edit.
    QWidget *focus = w.Get("edtDeviceID");
    focus->setFocus();

    const auto handled = [&] { return w.Prompts.size() + catcher.Opened.size(); };
    const auto k = Qt::Key(key);
    const auto m = Qt::KeyboardModifiers(modifiers);
    QTest::keyPress(focus, k, m);
    if (!pressed.isEmpty()) {
        auto *down = w.Get<TImage>(pressed);
        QVERIFY(down->isVisible());
        QCOMPARE(handled(), 0);
    }
    for (int i = 0; i < repeats; ++i) {
        QTest::qWait(repeatGapMs);
        QKeyEvent again(QEvent::KeyPress, k, m, QString(), true);
        QApplication::sendEvent(focus, &again);
    }
    QTest::keyRelease(focus, k, m);
    for (int i = 1; i < presses; ++i)
        QTest::keyClick(focus, k, m);
    QTRY_COMPARE(handled(), 1);
    QTest::qWait(300);
    QCOMPARE(handled(), 1);
    if (!pressed.isEmpty())
        QVERIFY(!w.Get<TImage>(pressed)->isVisible());
    QCOMPARE(focus->property("text").toString(), QString());  // the key typed nothing
}

void TestKeyboard::pressesThatDoNothing_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("how");  // "key": its shortcut; "reader": a screen reader's press
    QTest::addColumn<bool>("boxFirst");  // the box is up before the press, or opens before its click runs

    QTest::newRow("key, a box opens before the click runs") << "imgRead" << "key" << false;
    QTest::newRow("screen reader, a box opens before the click runs") << "imgRead" << "reader" << false;
    QTest::newRow("screen reader, behind a box") << "imgRead" << "reader" << true;
    // Back is hidden for good: pressed, it would end the program without asking.
    QTest::newRow("screen reader, the hidden Back") << "imgBack" << "reader" << false;
}

// A press that the user cannot make with the mouse does nothing: one on a
// hidden image, one behind a box, and one whose click would run inside a box
// that opened after the key (F5, then Ctrl+S while "Read Success" comes up).
// Here a click on Read shows "No device detected!", one on Back closes the window.
void TestKeyboard::pressesThatDoNothing()
{
    QFETCH(QString, image);
    QFETCH(QString, how);
    QFETCH(bool, boxFirst);
    TShownWindow w;
    w.Window.ReadPortList = [](QStringList &list) { list.clear(); };
    w.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.Window));
    auto *target = w.Get<TImage>(image);

    const auto press = [&] {
        if (how == QLatin1String("key")) {
            QTest::keyClick(w.Get("edtDeviceID"), Qt::Key_F5);
            return;
        }
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(target);
        QVERIFY(face && face->actionInterface());
        const bool offered = QApplication::activeModalWidget() == nullptr && target->isVisible();
        QCOMPARE(face->actionInterface()->actionNames().isEmpty(), !offered);
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    };
    if (!boxFirst)
        press();
    QDialog box(&w.Window);
    if (boxFirst)
        QTimer::singleShot(0, &box, press);
    QTimer::singleShot(300, &box, &QDialog::accept);  // long past the click's 100 ms
    box.exec();
    QTest::qWait(200);
    QVERIFY2(w.Prompts.isEmpty(), qPrintable(w.Prompts.join(QStringLiteral(", "))));
    QVERIFY(w.Window.isVisible());
    if (target->isHidden())
        QVERIFY(w.Get<TImage>(image + "0")->isHidden());

    // Nothing is left pending: the next press outside a box clicks.
    if (target->isVisible()) {
        w.Window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.Window));
        press();
        QTRY_COMPARE(w.Prompts, QStringList{QStringLiteral("No device detected!")});
    }
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
