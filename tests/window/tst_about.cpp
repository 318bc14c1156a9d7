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

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
