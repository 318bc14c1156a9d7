#include "AboutUnt.h"
#include "ControlTable.h"
#include "GroupBox.h"
#include "Image.h"
#include "ParameterSet.h"
#include "ShownWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestFormShow : public QObject
{
    Q_OBJECT

private slots:
    void window();
    void comboItems_data();
    void comboItems();
    void startState_data();
    void startState();
    void defaults();
    void captions_data();
    void captions();
    void fonts_data();
    void fonts();
    void dropDownListsWaitForTheirFirstOpening();
    void clippedControlsAreNeverOnScreen();
    void theParameterSetStartsAsTheWindow();
    void picturesFitTheirControls();
    void opaquePicturesArePaintedWithoutABitmap();
};

void TestFormShow::window()
{
    TShownWindow w;
    QVERIFY(w.Window.isWindow() && w.Window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(w.Window.minimumSize() == QSize(1388, 789) && w.Window.maximumSize() == QSize(1388, 789));
    QCOMPARE(w.Window.windowTitle(), QStringLiteral("Paramter"));
    const QPoint offCentre = w.Window.geometry().center() - w.Window.screen()->availableGeometry().center();
    QVERIFY(offCentre.manhattanLength() <= 2);

    const auto *clock = w.Window.findChild<QTimer *>("tmrSysTime");
    const auto *search = w.Window.findChild<QTimer *>("tmrRead");
    QVERIFY(clock && clock->isActive() && clock->interval() == 995);
    QCOMPARE(clock->timerType(), Qt::PreciseTimer);
    QVERIFY(search && !search->isActive() && search->interval() == 3000);
    QCOMPARE(w.Window.children().indexOf(w.Get("img1")), 0);  // the background lies under everything
}

void TestFormShow::comboItems_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("selected");

    QTest::newRow("log interval minutes include 60") << "cbbLogIntervalM" << 61 << "60" << "0";
    QTest::newRow("log interval seconds") << "cbbLogIntervalS" << 6 << "50" << "0";
    QTest::newRow("start delay minutes") << "cbbStartDelayM" << 60 << "59" << "0";
    QTest::newRow("start year reaches 2099") << "cbbStartTimeY" << 82 << "2099" << "2018";
    QTest::newRow("system year reaches 2099")
        << "cbbSystemTimeY" << 82 << "2099" << QString::number(QDate::currentDate().year());
    QTest::newRow("day 31 for every month") << "cbbStartTimeD" << 31 << "31" << "1";
    QTest::newRow("time zone") << "cbbTimeZone" << 53 << "UTC+14:00" << "UTC+00:00";
    QTest::newRow("start mode") << "cbbStartMode" << 3 << "Timing" << "Right Now";
    QTest::newRow("stop mode, clipped") << "cbbStopMode" << 3 << "Stop by Button or Software" << "Stop by Button";
    QTest::newRow("alarm type") << "cbbHumidityH1" << 2 << "Cumulative" << "Single";
    QTest::newRow("alarm delay hours") << "cbbTemperatureH3H" << 24 << "23" << "0";
}

void TestFormShow::comboItems()
{
    QFETCH(QString, combo);
    QFETCH(int, count);
    QFETCH(QString, last);
    QFETCH(QString, selected);
    TShownWindow w;
    const auto *box = w.Get<QComboBox>(combo);
    QCOMPARE(box->count(), count);
    QCOMPARE(box->itemText(count - 1), last);
    QCOMPARE(box->currentText(), selected);
    QVERIFY(!box->isEditable());
}

void TestFormShow::startState_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("hidden");

    for (const char *part : {"Y", "M", "D", "H", "N", "S"}) {
        QTest::addRow("start time %s", part) << QStringLiteral("cbbStartTime%1").arg(part) << false << false;
        QTest::addRow("system time %s", part) << QStringLiteral("cbbSystemTime%1").arg(part) << true << false;
    }
    QTest::newRow("start delay") << "cbbStartDelayM" << false << false;
    QTest::newRow("password") << "edtPassword" << false << false;
    QTest::newRow("log interval seconds") << "cbbLogIntervalS" << true << true;
    QTest::newRow("multiple alarm button") << "rbMultipleAlarm" << true << true;
    QTest::newRow("single panel") << "pnlSingleAlarm" << true << true;
    QTest::newRow("trip information") << "grp1" << true << true;
    QTest::newRow("multiple panel") << "pnlMultipleAlarm" << true << true;
    QTest::newRow("overlay") << "imgTran" << true << true;
    QTest::newRow("single delays stay disabled") << "cbbSingleHumidityH1M" << false << false;
    QTest::newRow("ticked row") << "cbbHumidityL1S" << true << false;
}

void TestFormShow::startState()
{
    QFETCH(QString, control);
    QFETCH(bool, enabled);
    QFETCH(bool, hidden);
    TShownWindow w;
    QCOMPARE(w.Get(control)->isEnabled(), enabled);
    QCOMPARE(w.Get(control)->isHidden(), hidden);
}

void TestFormShow::defaults()
{
    TShownWindow w;
    for (const char *edit : {"edtCalibrationTemp", "edtCalibrationHumidity"})
        QCOMPARE(w.Get<QLineEdit>(edit)->text(), QStringLiteral("0"));
    for (const char *edit : {"edtSerialNumber", "edtDeviceID", "edtServiceLife", "edtPassword", "edtSingleH1"})
        QVERIFY2(w.Get<QLineEdit>(edit)->text().isEmpty(), edit);
    for (const char *on : {"rbNoAlarm", "rbC", "chkTemperatureH3", "chkTemperatureH2", "chkTemperatureL2",
                           "chkHumidityH1", "chkHumidityL1"})
        QVERIFY2(w.Get<QAbstractButton>(on)->isChecked(), on);
    QVERIFY(!w.Get<QAbstractButton>("rbSingleAlarm")->isChecked() && !w.Get<QAbstractButton>("rbF")->isChecked());
}

namespace {

enum class TPlace { Own, Left, Right, Above };

// The caption a person reads for a control: its own text or title, or the
// nearest label on its row to the left or right, or the nearest label above
// that shares some of its width (a column heading).
QString Caption(const QWidget *control, TPlace place)
{
    if (place == TPlace::Own) {
        if (const auto *group = qobject_cast<const QGroupBox *>(control))
            return group->title();
        if (const auto *button = qobject_cast<const QAbstractButton *>(control))
            return button->text();
        return qobject_cast<const QLabel *>(control)->text();
    }
    const QRect c = control->geometry();
    const QLabel *best = nullptr;
    int bestDistance = 0;
    for (const QLabel *label : control->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QRect l = label->geometry();
        const bool sameRow = std::abs(l.center().y() - c.center().y()) <= c.height() / 2;
        const bool sameColumn = l.left() <= c.right() && l.right() >= c.left();
        int distance = -1;
        if (place == TPlace::Left && sameRow && l.right() < c.left())
            distance = c.left() - l.right();
        else if (place == TPlace::Right && sameRow && l.left() > c.right())
            distance = l.left() - c.right();
        else if (place == TPlace::Above && sameColumn && l.bottom() < c.top())
            distance = c.top() - l.bottom();
        if (distance >= 0 && (best == nullptr || distance < bestDistance)) {
            best = label;
            bestDistance = distance;
        }
    }
    return best != nullptr ? best->text() : QStringLiteral("<no label>");
}

} // namespace

Q_DECLARE_METATYPE(TPlace)

void TestFormShow::captions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<TPlace>("place");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char *control, TPlace place, const char *caption) {
        QTest::addRow("%s %s", control, caption) << control << place << QString::fromUtf8(caption);
    };

    row("grb1", TPlace::Own, "Device Info");
    row("grp3", TPlace::Own, "Log Setting");
    row("grp2", TPlace::Own, "Alarm Setting");
    row("grp1", TPlace::Own, "Trip Information");

    const std::pair<const char *, const char *> fields[] = {
        {"edtSerialNumber", "Serial Number"}, {"edtDeviceID", "Device ID"}, {"edtServiceLife", "Service Life"},
        {"cbbStartMode", "Start Mode"}, {"cbbReportLanguage", "Report Language"},
        {"cbbMultipleStart", "Multiple Start/Stop"}, {"rbC", "Temp. Unit"}, {"cbbTimeZone", "Time Zone"},
        {"cbbStartTimeY", "Start Time"}, {"cbbSystemTimeY", "System Time"}, {"cbbProbeMode", "Probe Mode"},
        {"cbbCycleSwitch", "Cycle Switch"}, {"cbbStopMode", "Stop Mode"},
        {"edtCalibrationTemp", "Calibration Temperature"}, {"edtCalibrationHumidity", "Calibration Humidity"},
        {"cbbTemporaryPDFStartup", "Temporary PDF Startup"}, {"cbbPasswordStartup", "Password Startup"},
        {"edtPassword", "Password"}, {"cbbLogIntervalH", "Log Interval"}, {"cbbStartDelayH", "Start Delay"},
    };
    for (const auto &[control, caption] : fields)
        row(control, TPlace::Left, caption);

    const std::pair<const char *, const char *> units[] = {
        {"edtServiceLife", "Day"}, {"cbbStartTimeY", "Y"}, {"cbbStartTimeM", "M"}, {"cbbStartTimeD", "D"},
        {"cbbStartTimeH", "H"}, {"cbbStartTimeN", "M"}, {"cbbSystemTimeS", "S"}, {"cbbLogIntervalH", "H"},
        {"cbbLogIntervalM", "M"}, {"cbbStartDelayM", "M"}, {"cbbSingleL1H", "H"}, {"cbbTemperatureL2S", "S"},
    };
    for (const auto &[control, caption] : units)
        row(control, TPlace::Right, caption);

    const std::pair<const char *, const char *> own[] = {
        {"rbC", "°C"}, {"rbF", "°F"}, {"rbNoAlarm", "No Alarm"}, {"rbSingleAlarm", "Single Alarm"},
        {"rbMultipleAlarm", "Multiple Alarm"},
    };
    for (const auto &[control, caption] : own)
        row(control, TPlace::Own, caption);

    const std::pair<const char *, const char *> zones[] = {
        {"edtSingleH1", "Temperature H1:Over"}, {"edtSingleL1", "Temperature L1:Below"},
        {"edtSingleHumidityH1", "Humidity H1:Over"}, {"edtSingleHumidityL1", "Humidity L1:Below"},
        {"edtTemperatureH3", "Temperature H3:Over"}, {"edtTemperatureH2", "Temperature H2:Over"},
        {"edtTemperatureH1", "Temperature H1:Over"}, {"edtTemperatureL1", "Temperature L1:Below"},
        {"edtTemperatureL2", "Temperature L2:Below"}, {"edtHumidityH1", "Humidity H1:Over"},
        {"edtHumidityL1", "Humidity L1:Below"},
    };
    for (const auto &[control, caption] : zones)
        row(control, TPlace::Left, caption);

    // Column headings over the first row of each panel.
    for (const char *first : {"SingleH1", "TemperatureH3"}) {
        const QByteArray name(first);
        QTest::addRow("%s headings", first) << QString("lbl" + name) << TPlace::Above << "Alarm Zone";
        QTest::addRow("%s threshold", first) << QString("edt" + name) << TPlace::Above << "Temperature/Humidity";
        QTest::addRow("%s mode", first) << QString("cbb" + name) << TPlace::Above << "Alarm Mode";
        QTest::addRow("%s delay", first) << QString("cbb" + name + "H") << TPlace::Above << "Alarm Delay";
    }
}

void TestFormShow::captions()
{
    QFETCH(QString, control);
    QFETCH(TPlace, place);
    QFETCH(QString, caption);
    TShownWindow w;
    QCOMPARE(Caption(w.Get(control), place), caption);
}

void TestFormShow::fonts_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");

    QTest::newRow("group title") << "grb1" << 21 << true;
    QTest::newRow("hidden group title") << "grp1" << 21 << true;
    QTest::newRow("field caption") << "lblSerialNumber" << 16 << true;
    QTest::newRow("unit") << "lblServiceLifeDay" << 16 << true;
    QTest::newRow("caption in a hidden panel") << "lblSingleH1" << 16 << true;
    QTest::newRow("radio button") << "rbC" << 16 << true;
    QTest::newRow("check box") << "chkTemperatureH3" << 16 << true;
    QTest::newRow("edit") << "edtSerialNumber" << 16 << false;
    QTest::newRow("combo box") << "cbbTimeZone" << 16 << false;
    QTest::newRow("combo box in a hidden panel") << "cbbTemperatureH3M" << 16 << false;
    QTest::newRow("edit in a hidden panel") << "edtSingleH1" << 16 << false;
    QTest::newRow("memo") << "mmoTripInfo" << 16 << false;
}

// Captions bold, entries regular, group titles larger: all in pixels and in
// the one family, whatever group a control lies in.
void TestFormShow::fonts()
{
    QFETCH(QString, control);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    TShownWindow w;
    const QWidget *widget = w.Get(control);
    const auto *group = qobject_cast<const TGroupBox *>(widget);
    const QFont font = group ? group->TitleFont() : widget->font();
    QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.pixelSize(), pixels);
    QCOMPARE(font.bold(), bold);
}

// A combo box builds its drop-down list when a font reaches it; building 70
// of them took longer than the rest of the start. None may exist before the
// user opens one, and the one opened lists its items in the entry font.
void TestFormShow::dropDownListsWaitForTheirFirstOpening()
{
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    const QList<QComboBox *> combos = w.Window.findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 70);
    for (const QComboBox *combo : combos)
        QVERIFY2(combo->findChildren<QWidget *>().isEmpty(), qPrintable(combo->objectName()));

    // The yardstick: a combo box given the entry font before its list exists.
    QComboBox reference;
    reference.setFont(w.Get("cbbTimeZone")->font());
    const auto rowHeight = [](QComboBox *combo) {
        combo->showPopup();
        const QAbstractItemView *list = combo->view();
        const int height = QTest::qWaitForWindowExposed(list->window())
                               ? list->visualRect(list->model()->index(0, 0)).height()
                               : -1;
        combo->hidePopup();
        return height;
    };
    auto *zone = w.Get<QComboBox>("cbbTimeZone");
    reference.addItem(zone->itemText(0));
    QCOMPARE(rowHeight(zone), rowHeight(&reference));
}

void TestFormShow::clippedControlsAreNeverOnScreen()
{
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    for (const char *clipped : {"cbbProbeMode", "cbbCycleSwitch", "cbbStopMode", "edtCalibrationTemp",
                                "edtCalibrationHumidity", "cbbTemporaryPDFStartup", "cbbPasswordStartup", "edtPassword"})
        QVERIFY2(w.Get(clipped)->visibleRegion().isEmpty(), clipped);
    QVERIFY(!w.Get("cbbSystemTimeS")->visibleRegion().isEmpty());

    auto *panel = w.Get("pnlMultipleAlarm");
    panel->show();
    QVERIFY(panel->visibleRegion().isEmpty());
}

// loggerctl and the settings files work on a parameter set without widgets;
// it must start where the window starts, item for item and flag for flag.
void TestFormShow::theParameterSetStartsAsTheWindow()
{
    TShownWindow w;
    const TParameterSet set;
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const auto c = static_cast<Ctl>(i);
        const QString name = QString::fromLatin1(ControlName(c));
        QWidget *widget = w.Get(name);
        const QByteArray what = name.toLatin1();
        QVERIFY2(widget->testAttribute(Qt::WA_Disabled) != set.Enabled(c), what);
        QVERIFY2(widget->isHidden() != set.Visible(c), what);
        switch (ControlKind(c)) {
        case TControlKind::Combo: {
            auto *combo = static_cast<QComboBox *>(widget);
            QStringList items;
            for (int k = 0; k < combo->count(); ++k)
                items << combo->itemText(k);
            QStringList expected;
            for (const std::string &item : ControlItems(c))
                expected << QString::fromStdString(item);
            QCOMPARE(items, expected);
            if (!name.startsWith(QLatin1String("cbbSystemTime")))  // the clock's
                QVERIFY2(combo->currentIndex() == set.ItemIndex(c), what);
            break;
        }
        case TControlKind::Edit:
            QCOMPARE(static_cast<QLineEdit *>(widget)->text().toStdString(), set.Text(c));
            break;
        case TControlKind::Memo:
            QCOMPARE(static_cast<QPlainTextEdit *>(widget)->toPlainText().toStdString(), set.Text(c));
            break;
        case TControlKind::Check:
        case TControlKind::Radio:
            QVERIFY2(static_cast<QAbstractButton *>(widget)->isChecked() == set.Checked(c), what);
            break;
        case TControlKind::Panel:
            break;
        }
    }
}

// Each picture a control stretches to its size is drawn for it: on a screen
// of ratio 1, where the window starts most often, the first frame scales
// none of them.
void TestFormShow::picturesFitTheirControls()
{
    TShownWindow w;
    TAboutFrm about(&w.Window);
    QList<TImage *> images = w.Window.findChildren<TImage *>();
    int checked = 0;
    for (TImage *image : images) {
        if (image->Picture().isEmpty() || !image->hasScaledContents())
            continue;
        QCOMPARE(QImageReader(image->Picture()).size(), image->size());
        ++checked;
    }
    // background, three pairs, four title-bar buttons; About: background, Back pair
    QCOMPARE(checked, 14);
}

// The background and About's background are painted pixel for pixel from
// their files, and keep no bitmap: the window's would be as large as the
// window itself.
void TestFormShow::opaquePicturesArePaintedWithoutABitmap()
{
    TShownWindow w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.Window));
    // About is never shown here: a picture is read for its screen before the
    // control's first paint, whether that paint is for the screen or a grab.
    TAboutFrm about(&w.Window);
    for (const QWidget *window : {static_cast<QWidget *>(&w.Window), static_cast<QWidget *>(&about)}) {
        auto *image = window->findChild<TImage *>(QStringLiteral("img1"), Qt::FindDirectChildrenOnly);
        const char *name = window == &about ? "About's background" : "the window's background";
        QVERIFY2(image, name);
        const QImage file(image->Picture());
        QVERIFY2(!file.isNull() && !file.hasAlphaChannel(), name);
        QVERIFY2(image->grab().toImage().convertToFormat(QImage::Format_RGB32) == file.convertToFormat(QImage::Format_RGB32),
                 name);
        QVERIFY2(image->PictureRead() && image->pixmap().isNull(), name);
    }
}

QTEST_MAIN(TestFormShow)
#include "tst_formshow.moc"
