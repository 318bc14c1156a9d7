#pragma once

#include "Controls.h"
#include "Frame.h"
#include "SerialPortList.h"
#include "StationConfig.h"

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QTimer;
class QLineEdit;
class TComm;
class TImage;
class TParamterControls;
struct TSaveAttempt;
struct TSavedWrite;
namespace Ui { class TParamter; }

// The one working window. Its behaviour is split over files by concern:
//   ParamterFrm.cpp         creation, FormShow, the control-value adapter's wiring
//   ParamterRules.cpp       enabling methods, change and click handlers
//   ParamterKeyFilters.cpp  the key filters and the length limits of typing, pasting
//                           and text that screen readers set
//   ParamterDiscovery.cpp   Read, the search timer, the probe, received blocks, Back
//   ParamterValidation.cpp  CheckParameters, the plausibility box
//   ParamterSave.cpp        Save, its backup and the write frame
//   ParamterVerify.cpp      the read-back after a Save, its verdict, the audit record
//   ParamterStation.cpp     the station's file: backups, the audit log, the operator
//   ParamterRecord.cpp      the printed configuration record
//   ParamterChrome.cpp      image buttons, dragging, minimise, close, About, Help, clock
//   ParamterAccess.cpp      the image buttons' keys, tooltips and names for screen readers
//   ParamterSettings.cpp    settings files: open, export, drop
class TParamter : public QWidget
{
    Q_OBJECT

public:
    explicit TParamter(QWidget *parent = nullptr);
    ~TParamter() override;

    // Enabling methods: each switches the Enabled state of its controls only.
    void EnableStartDelay(bool Value);
    void EnableStartTime(bool Value);
    void EnableTemperatureH3Row(bool Value);
    void EnableTemperatureH2Row(bool Value);
    void EnableTemperatureL2Row(bool Value);
    void EnableHumidityH1Row(bool Value);
    void EnableHumidityL1Row(bool Value);
    void EnableControls(TEnableSwitch Switch, bool Value);

    // Seams for tests; production code never changes them.
    std::function<QDateTime()> CurrentUtc = [] { return QDateTime::currentDateTimeUtc(); };
    void SetSearchPeriod(int ms);
    std::function<void(QStringList &)> ReadPortList = ReadSerialPortList;
    TComm *CommForTests() const { return Comm; }
    QTimer *ReadTimerForTests() const { return tmrRead; }
    const QString &FoundPort() const { return FFoundPort; }
    const TStationConfig &Station() const { return FStation; }
    // Where the last Save kept what the logger held; empty when it kept none.
    const QString &LastBackup() const { return FLastBackup; }
    // Where Open and Export ask for a file: a dialog, or a test's answer.
    std::function<QString(bool Save, const QString &Suggested)> AskSettingsPath;
    // Where the configuration record is printed: a dialog, or a test's answer.
    std::function<QString(const QString &Suggested)> AskRecordPath;
    void OpenSettingsFile(const QString &Path);
    // A block delivered as if the serial component had received it.
    void ReceiveForTests(const std::uint8_t *Buffer, std::uint16_t Length);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // ParamterFrm.cpp
    void FormCreate();
    void FormShow();
    void FillItems(Ctl Combo);
    static QChar GetLocaleDecimalSeparator();
    void WireEvents();

    // ParamterRules.cpp
    void cbbStartModeChange();
    void cbbPasswordStartupChange();
    void rbClick();
    void chkTemperatureH3Click();
    void chkTemperatureH2Click();
    void chkTemperatureL2Click();
    void chkHumidityH1Click();
    void chkHumidityL1Click();

    // ParamterKeyFilters.cpp
    // A key filter sets Key to the null character to refuse it.
    void edtSerialNumberKeyPress(QLineEdit *Sender, QChar &Key);
    void edtHexKeyPress(QLineEdit *Sender, QChar &Key);
    void edtIntKeyPress(QLineEdit *Sender, QChar &Key);
    void edtCharKeyPress(QLineEdit *Sender, QChar &Key);
    void edtNumberKeyPress(QLineEdit *Sender, QChar &Key);
    bool FilterKeyPress(QObject *watched, QEvent *event);
    void InstallKeyFilters();

    // ParamterDiscovery.cpp
    void CreateComm();
    void OpenPortFor(const QString &PortName);
    static void FixedWait();
    // Closes the port if it is open, shows a failure, and lets the line settle.
    void ClosePortAndWait();
    void imgReadClick();
    void tmrReadTimer();
    void SendProbe();
    void ReportDeniedPorts();
    void CommReceiveData(TComm *Sender, const std::uint8_t *Buffer, std::uint16_t BufferLength);
    void HandleParameterRecord();
    void imgBackClick();

    // ParamterValidation.cpp
    void CheckParameters();
    void ConfirmPlausibility();

    // ParamterSave.cpp
    void imgSaveClick();
    QString KeepBackup();
    void RecordIntent(TSaveAttempt &Save);
    void AbandonSave();

    // ParamterVerify.cpp
    void SaveAcknowledged();
    void SendSaveReadBack();
    void SaveReadBack();
    void SaveFailed(const QString &Message);
    void SaveTimedOut();
    void RecordSave(const TSaveAttempt &Save);
    void KeepSavedWrite(const TSaveAttempt &Save);

    // ParamterStation.cpp
    void LoadStation();
    void ReportStationProblem();
    // A search or a Read's probe under way: its record would fill the window.
    bool ReadInProgress() const;
    bool SaveInProgress() const { return FSaveStage != TSaveStage::None; }

    // ParamterAccess.cpp
    void InstallKeyboardAccess();

    // ParamterSettings.cpp: settings files, opened and exported at the user's request
    void InstallSettingsActions();
    QString AskSettingsPathWithDialog(bool Save, const QString &Suggested);
    void OpenSettings();
    void OpenBackups();
    void ExportSettings();
    void PrintConfigurationRecord();
    bool FilterSettingsDrop(QEvent *event);

    // ParamterChrome.cpp
    void imgReadMouseDown();
    void imgSaveMouseDown();
    void imgBackMouseDown();
    void imgMinClick();
    void imgCloseClick();
    void imgAboutClick();
    void imgHelpClick();
    void img1MouseMove(QMouseEvent *event);
    void tmrSysTimeTimer();
    bool ConfirmQuit();

    std::unique_ptr<Ui::TParamter> ui;
    std::unique_ptr<TParamterControls> FControls;

    TComm *Comm = nullptr;
    QTimer *tmrRead = nullptr;
    QTimer *tmrSysTime = nullptr;
    // How long a Save waits for the acknowledgement, then for its read-back.
    QTimer *tmrSaveWait = nullptr;

    // A Save goes through the acknowledgement and a read-back of the logger;
    // presses of Read and Save in the meantime are dropped.
    enum class TSaveStage { None, Acknowledging, ReadingBack };
    TSaveStage FSaveStage = TSaveStage::None;
    std::unique_ptr<TSaveAttempt> FSave;
    // What the logger held at the last Read (or the last Save's read-back):
    // what the next Save keeps as a backup first.
    std::optional<TFrameBuffer> FLastRecord;
    QDateTime FLastRecordAt;  // when it was read
    std::unique_ptr<TSavedWrite> FLastSave;
    QString FLastBackup;
    TStationConfig FStation;
    // A Read or a settings file has given the window settings to export.
    bool FHaveSettings = false;

    QChar FDecimalSeparator = QLatin1Char('.');
    QStringList FPortList;
    int FPortIndex = 0;
    bool FDeviceFound = false;
    bool FReadRequested = false;
    bool FFirstTick = true;
    QString FFoundPort;
    QDateTime FReadAt;         // UTC time of the last record read, for exported files
    QString FSettingsFolder;   // where the last settings file was opened or exported
    QStringList FDeniedPorts;  // ports of this search that refused us for lack of permission
    std::array<std::uint8_t, 7> FProbeFrame {};
    TFrameBuffer FRecvBuf {};
    TFrameBuffer FSendBuf {};

    bool FShown = false;
    bool FCloseConfirmed = false;
    quint64 FDragPressTime = ~quint64(0);
    QPoint FDragOffset;
    bool FDragging = false;

    friend class TParamterControls;
};
