#include "ParamterFrm.h"

#include "ControlTable.h"
#include "GroupBox.h"
#include "Guarded.h"
#include "Image.h"
#include "OnScreen.h"
#include "ParamterControls.h"
#include "SaveAttempt.h"
#include "ui_ParamterFrm.h"

#include <QLocale>
#include <QScreen>
#include <QTimer>

namespace {

QFont PixelFont(int pixels, bool bold)
{
    // One family with a true bold serves captions and entries alike; it is
    // metric-compatible with the classic sans-serif faces the layout was sized for.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Fonts are set by pixel size, which a .ui file cannot express, so that the
// captions fit their fixed places whatever the screen's DPI. The entries'
// font is the window's, given before the form is built, so that every control
// is made with it; only captions change theirs afterwards. A font set on a
// finished form would reach each combo box, and a combo box answers every
// font change by building its drop-down list: that took longer than building
// the whole form.
QFont EntryFont()
{
    return PixelFont(16, false);
}

void ApplyCaptionFonts(QWidget *window)
{
    const QFont title = PixelFont(21, true);
    for (auto *group : window->findChildren<TGroupBox *>())
        group->SetTitleFont(title);
    // The groups are opaque, in the working area's grey: they lie above the
    // skin and are not dimmed with it while the About window is open.
    for (auto *group : {"grb1", "grp2", "grp3", "grp1"}) {
        auto *box = window->findChild<QGroupBox *>(QLatin1String(group));
        QPalette palette = box->palette();
        palette.setColor(QPalette::Window, QColor(232, 235, 239));
        box->setPalette(palette);
        box->setAutoFillBackground(true);
    }
    const QFont caption = PixelFont(16, true);
    for (auto *label : window->findChildren<QLabel *>())
        label->setFont(caption);
    for (auto *button : window->findChildren<QAbstractButton *>())
        button->setFont(caption);
}

} // namespace

TParamter::TParamter(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , ui(std::make_unique<Ui::TParamter>())
{
    setFont(EntryFont());
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Paramter"));
    setFixedSize(1388, 789);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    ApplyCaptionFonts(this);
    KeepKeyboardOnScreen(this);

    FControls = std::make_unique<TParamterControls>(*this);

    tmrRead = new QTimer(this);
    tmrRead->setObjectName(QStringLiteral("tmrRead"));
    tmrRead->setInterval(3000);
    tmrSysTime = new QTimer(this);
    tmrSysTime->setObjectName(QStringLiteral("tmrSysTime"));
    tmrSysTime->setInterval(995);
    // A coarse timer would round the interval to a whole second: the shown
    // seconds would keep one phase and, near a second's edge, skip or repeat.
    tmrSysTime->setTimerType(Qt::PreciseTimer);
    tmrSaveWait = new QTimer(this);
    tmrSaveWait->setObjectName(QStringLiteral("tmrSaveWait"));
    tmrSaveWait->setSingleShot(true);
    connect(tmrSaveWait, &QTimer::timeout, this, [this] { Guarded(this, [this] { SaveTimedOut(); }); });
    CreateComm();
    LoadStation();

    WireEvents();
    InstallKeyFilters();
    InstallKeyboardAccess();
    InstallSettingsActions();
    FormCreate();
}

TParamter::~TParamter() = default;

void TParamter::FormCreate()
{
    // Qt widgets are double-buffered already.
}

void TParamter::WireEvents()
{
    // Every handler runs inside the error boundary: nothing may throw out of a slot.
    const auto guard = [this](void (TParamter::*handler)()) {
        return [this, handler] { Guarded(this, [this, handler] { (this->*handler)(); }); };
    };

    connect(ui->imgRead0, &TImage::Click, this, guard(&TParamter::imgReadClick));
    connect(ui->imgRead, &TImage::Click, this, guard(&TParamter::imgReadClick));
    connect(ui->imgRead, &TImage::MouseDown, this, guard(&TParamter::imgReadMouseDown));
    connect(ui->imgSave0, &TImage::Click, this, guard(&TParamter::imgSaveClick));
    connect(ui->imgSave, &TImage::Click, this, guard(&TParamter::imgSaveClick));
    connect(ui->imgSave, &TImage::MouseDown, this, guard(&TParamter::imgSaveMouseDown));
    connect(ui->imgBack0, &TImage::Click, this, guard(&TParamter::imgBackClick));
    connect(ui->imgBack, &TImage::Click, this, guard(&TParamter::imgBackClick));
    connect(ui->imgBack, &TImage::MouseDown, this, guard(&TParamter::imgBackMouseDown));
    connect(ui->imgMin, &TImage::Click, this, guard(&TParamter::imgMinClick));
    connect(ui->imgClose, &TImage::Click, this, guard(&TParamter::imgCloseClick));
    connect(ui->imgAbout, &TImage::Click, this, guard(&TParamter::imgAboutClick));
    connect(ui->imgHelp, &TImage::Click, this, guard(&TParamter::imgHelpClick));
    connect(ui->img1, &TImage::MouseMove, this,
            [this](QMouseEvent *event) { Guarded(this, [this, event] { img1MouseMove(event); }); });

    connect(tmrRead, &QTimer::timeout, this, guard(&TParamter::tmrReadTimer));
    connect(tmrSysTime, &QTimer::timeout, this, guard(&TParamter::tmrSysTimeTimer));

    // activated: the user's choices only; an index set from code runs nothing.
    connect(ui->cbbStartMode, &QComboBox::activated, this, guard(&TParamter::cbbStartModeChange));
    connect(ui->cbbPasswordStartup, &QComboBox::activated, this, guard(&TParamter::cbbPasswordStartupChange));

    // A button switched on, by the user or from code, re-applies the panel rule;
    // the one switched off in the same step needs no second run.
    for (QRadioButton *rb : {ui->rbNoAlarm, ui->rbSingleAlarm, ui->rbMultipleAlarm, ui->rbC, ui->rbF}) {
        connect(rb, &QAbstractButton::toggled, this, [this](bool on) {
            if (on)
                Guarded(this, [this] { rbClick(); });
        });
    }

    connect(ui->chkTemperatureH3, &QAbstractButton::toggled, this, guard(&TParamter::chkTemperatureH3Click));
    connect(ui->chkTemperatureH2, &QAbstractButton::toggled, this, guard(&TParamter::chkTemperatureH2Click));
    connect(ui->chkTemperatureL2, &QAbstractButton::toggled, this, guard(&TParamter::chkTemperatureL2Click));
    connect(ui->chkHumidityH1, &QAbstractButton::toggled, this, guard(&TParamter::chkHumidityH1Click));
    connect(ui->chkHumidityL1, &QAbstractButton::toggled, this, guard(&TParamter::chkHumidityL1Click));
}

QChar TParamter::GetLocaleDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

void TParamter::FillItems(Ctl Combo)
{
    auto *combo = static_cast<QComboBox *>(FControls->Widget(Combo));
    combo->clear();
    // Added one by one, each item would make the list model signal on its own.
    QStringList items;
    for (const std::string &item : ControlItems(Combo))
        items << QString::fromStdString(item);
    combo->addItems(items);
    combo->setCurrentIndex(0);
}

void TParamter::FormShow()
{
    FDecimalSeparator = GetLocaleDecimalSeparator();
    FPortList.clear();
    FProbeFrame = ProbeRequest;

    // The lists are filled in this order, each from the items the parameter set lists.
    for (Ctl c : {Ctl::cbbLogIntervalH, Ctl::cbbLogIntervalM, Ctl::cbbLogIntervalS, Ctl::cbbStartMode,
                  Ctl::cbbStartDelayH, Ctl::cbbStartDelayM, Ctl::cbbStartTimeY, Ctl::cbbStartTimeM,
                  Ctl::cbbStartTimeD, Ctl::cbbStartTimeH, Ctl::cbbStartTimeN, Ctl::cbbStartTimeS,
                  Ctl::cbbSystemTimeY, Ctl::cbbSystemTimeM, Ctl::cbbSystemTimeD, Ctl::cbbSystemTimeH,
                  Ctl::cbbSystemTimeN, Ctl::cbbSystemTimeS, Ctl::cbbStopMode, Ctl::cbbProbeMode,
                  Ctl::cbbReportLanguage, Ctl::cbbMultipleStart, Ctl::cbbCycleSwitch, Ctl::cbbPasswordStartup,
                  Ctl::cbbTemporaryPDFStartup})
        FillItems(c);

    ui->edtCalibrationTemp->setText(QStringLiteral("0"));
    ui->edtCalibrationHumidity->setText(QStringLiteral("0"));

    std::vector<TAlarmRowControls> rows;
    for (const TThresholdBlock &block : ThresholdBlocks()) {
        rows.push_back(block.Multiple);
        if (block.Single)
            rows.push_back(*block.Single);
    }
    for (const TAlarmRowControls &row : rows)
        FillItems(row.DelayH);
    for (const TAlarmRowControls &row : rows) {
        FillItems(row.DelayM);
        FillItems(row.DelayS);
    }

    EnableStartDelay(false);
    EnableStartTime(false);

    ui->rbNoAlarm->setChecked(true);
    ui->pnlSingleAlarm->hide();
    ui->pnlMultipleAlarm->hide();

    ui->chkTemperatureH3->setChecked(true);
    ui->chkTemperatureH2->setChecked(true);
    ui->chkTemperatureL2->setChecked(true);
    ui->chkHumidityH1->setChecked(true);
    ui->chkHumidityL1->setChecked(true);

    // Local time without a zone: the clock applies the selected zone from its first tick.
    const QDateTime now = QDateTime::currentDateTime();
    ui->cbbSystemTimeY->setCurrentIndex(now.date().year() - FirstListedYear);
    ui->cbbSystemTimeM->setCurrentIndex(now.date().month() - 1);
    ui->cbbSystemTimeD->setCurrentIndex(now.date().day() - 1);
    ui->cbbSystemTimeH->setCurrentIndex(now.time().hour());
    ui->cbbSystemTimeN->setCurrentIndex(now.time().minute());
    ui->cbbSystemTimeS->setCurrentIndex(now.time().second());

    tmrSysTime->start();

    FReadRequested = false;
    FDeviceFound = false;
    FFirstTick = true;
}

void TParamter::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring from the taskbar shows the window again; it is prepared once only.
    if (FShown)
        return;
    FShown = true;
    if (const QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());
    Guarded(this, [this] { FormShow(); });
    // After the window is up, so that the box stands over it.
    QTimer::singleShot(0, this, [this] { Guarded(this, [this] { ReportStationProblem(); }); });
}

bool TParamter::eventFilter(QObject *watched, QEvent *event)
{
    // A settings file dropped on an edit opens, rather than pasting its name.
    if (FilterSettingsDrop(event))
        return true;
    if (FilterKeyPress(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}
