#include "AboutUnt.h"
#include "Image.h"
#include "ShownWindow.h"

#include <QScopeGuard>
#include <QGroupBox>
#include <QTest>
#include <QTimer>

namespace {

int StackIndex(const QWidget *widget)
{
    return int(widget->parentWidget()->children().indexOf(widget));
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void overlayWhileOpen();
    void keysPressBack_data();
    void keysPressBack();
};

// While About is open the overlay lies above every image of the window and
// below every group; Back closes it and the overlay goes again. The second
// time Back is right-pressed first: that only shows its pressed picture, and
// a left click on that picture closes the box.
void TestAbout::overlayWhileOpen()
{
    TShownWindow w;
    auto *overlay = w.Get<TImage>("imgTran");
    // A right press leaves the pressed Read picture raised above everything.
    QTest::mousePress(w.Get<TImage>("imgRead"), Qt::RightButton);
    QTest::mouseRelease(w.Get<TImage>("imgRead"), Qt::RightButton);
    QVERIFY(!overlay->isVisible());

    for (int round = 0; round < 2; ++round) {
        bool seen = false;
        QTimer::singleShot(0, &w.Window, [&] {
            auto *about = w.Window.findChild<TAboutFrm *>();
            QVERIFY(about);
            // A failed check must not leave the modal box waiting for a click.
            const auto closeAnyway = qScopeGuard([about] { about->reject(); });
            seen = true;
            QVERIFY(about->isModal() && about->isVisible());
            QVERIFY(overlay->isVisible());
            for (const TImage *image : w.Window.findChildren<TImage *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(image == overlay || StackIndex(image) < StackIndex(overlay), qPrintable(image->objectName()));
            for (const QGroupBox *group : w.Window.findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(StackIndex(group) > StackIndex(overlay), qPrintable(group->objectName()));
            QVERIFY((about->geometry().center() - w.Window.geometry().center()).manhattanLength() <= 2);

            auto *back = about->findChild<TImage *>("imgBack");
            if (round == 1) {
                auto *pressed = about->findChild<TImage *>("imgBack0");
                QTest::mousePress(back, Qt::RightButton);
                QTest::mouseRelease(back, Qt::RightButton);
                QVERIFY(pressed->isVisible() && StackIndex(pressed) > StackIndex(back));
                QVERIFY(about->isVisible());
                back = pressed;
            }
            QTest::mouseClick(back, Qt::LeftButton);
        });
        QTest::mouseClick(w.Get<TImage>("imgAbout"), Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(!overlay->isVisible());
        QVERIFY(w.Window.findChildren<TAboutFrm *>().isEmpty());
    }
}

void TestAbout::keysPressBack_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("window manager's close") << 0 << 0;
}

// Back is the box's one action: its keys press it, pressed look first, and
// however the box closes, Back's handler is what closes it, once.
void TestAbout::keysPressBack()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    TShownWindow w;
    int finished = 0;
    bool checked = false;
    QTimer::singleShot(0, &w.Window, [&] {
        auto *about = w.Window.findChild<TAboutFrm *>();
        QVERIFY(about);
        const auto closeAnyway = qScopeGuard([about] { about->done(QDialog::Rejected); });
        connect(about, &QDialog::finished, about, [&] { ++finished; });
        auto *pressed = about->findChild<TImage *>("imgBack0");
        if (key == 0) {
            // Back's handler hides the pressed picture; show it to see that the handler ran.
            pressed->show();
            about->close();
        } else {
            about->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(about));
            QTest::keyPress(about, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QVERIFY(pressed->isVisible() && about->isVisible());
            QTest::keyRelease(about, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QTRY_VERIFY(!about->isVisible());
        }
        QVERIFY(!about->isVisible());
        QVERIFY(!pressed->isVisible());
        QCOMPARE(finished, 1);
        checked = true;
    });
    QTest::mouseClick(w.Get<TImage>("imgAbout"), Qt::LeftButton);
    QVERIFY(checked);
    QVERIFY(!w.Get<TImage>("imgTran")->isVisible());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
