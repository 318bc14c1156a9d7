#include "ParamterFrm.h"

#include "Comm.h"
#include "DeniedPortsAdvice.h"
#include "ParamterControls.h"
#include "Prompt.h"
#include "RecordDecoder.h"
#include "ui_ParamterFrm.h"

#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int SearchPeriodMs = 3000;
constexpr std::uint32_t LineBaudRate = 9600;
constexpr std::uint32_t FrameSilenceMs = 200;  // ends a block; a frame is sent without pauses
constexpr unsigned long PortSettleMs = 100;

} // namespace

void TParamter::FixedWait()
{
    QThread::msleep(PortSettleMs);
}

void TParamter::CreateComm()
{
    Comm = new TComm(this);
    // The window's component differs from a new one only in its flow control.
    Comm->SetOutx_XonXoffFlow(false);
    Comm->SetInx_XonXoffFlow(false);
    Comm->OnReceiveData = [this](TComm *Sender, const std::uint8_t *Buffer, std::uint16_t BufferLength) {
        CommReceiveData(Sender, Buffer, BufferLength);
    };
    tmrRead->setInterval(SearchPeriodMs);
}

void TParamter::SetSearchPeriod(int ms)
{
    tmrRead->setInterval(ms);
}

void TParamter::OpenPortFor(const QString &PortName)
{
    if (Comm->Handle() != 0)
        Comm->ClosePort();
    Comm->SetCommName(PortName);
    Comm->SetBaudRate(LineBaudRate);
    Comm->SetReadIntervalTimeout(FrameSilenceMs);
    Comm->OpenPort();
}

void TParamter::imgReadClick()
{
    ui->imgRead0->hide();
    // While a Save reads the logger back, a press of Read is dropped as one
    // behind a box is: its record would be taken for the read-back.
    if (FSaveStage == TSaveStage::ReadingBack)
        return;
    AbandonSave();
    ReadPortList(FPortList);
    if (FPortList.isEmpty()) {
        Prompt::Show(this, TPromptKind::Warning, QStringLiteral("No device detected!"));
        return;
    }
    if (FDeviceFound) {
        FReadRequested = true;
        SendProbe();
        return;
    }
    tmrRead->stop();
    FPortIndex = 0;
    FReadRequested = true;
    FFirstTick = true;
    FDeniedPorts.clear();
    tmrRead->start();
}

void TParamter::tmrReadTimer()
{
    if (!FDeviceFound && !FFirstTick)
        ++FPortIndex;
    SendProbe();
    FFirstTick = false;
    if (!FDeviceFound && FPortIndex >= FPortList.size())
        ReportDeniedPorts();
}

void TParamter::ReportDeniedPorts()
{
    // Emptied before the box opens: the search's ticks go on inside it, and
    // one search tells it once.
    const QStringList ports = std::exchange(FDeniedPorts, {});
    if (!ports.isEmpty())
        Prompt::Show(this, TPromptKind::Warning, DeniedPortsAdvice(ports));
}

void TParamter::SendProbe()
{
    // A port that is missing or in use is skipped silently: the next tick moves on.
    try {
        if (FPortIndex < FPortList.size()) {
            OpenPortFor(FPortList.at(FPortIndex));
            FixedWait();
            Comm->SendData(FProbeFrame.data(), static_cast<std::uint16_t>(FProbeFrame.size()));
        } else if (!FReadRequested) {
            FPortIndex = 0;
        }
    } catch (const ECommsAccessDenied &) {
        // Skipped as silently, but remembered: a user who may not open serial
        // ports is told so when the search finds no logger.
        FDeniedPorts << FPortList.at(FPortIndex);
    } catch (...) {
    }
}

void TParamter::CommReceiveData(TComm *, const std::uint8_t *Buffer, std::uint16_t BufferLength)
{
    try {
        // A block longer than the buffer fails the check; only its head is kept.
        std::copy_n(Buffer, std::min<std::size_t>(BufferLength, FRecvBuf.size()), FRecvBuf.begin());
        const bool frameSound = CheckFrame(FRecvBuf.data(), BufferLength);
        if (FSaveStage == TSaveStage::ReadingBack && frameSound && FRecvBuf[2] != CmdParameterRecord) {
            // A repeated acknowledgement: the read-back's answer is still to come
            // on the open port.
            return;
        }
        if (!frameSound && FSaveStage == TSaveStage::ReadingBack) {
            SaveFailed(QStringLiteral("Data Check Error"));
        } else if (!frameSound) {
            // An acknowledgement that cannot be read is none.
            AbandonSave();
            Prompt::Show(this, TPromptKind::Warning, QStringLiteral("Data Check Error"));
        } else if (FRecvBuf[2] == CmdParameterRecord && FSaveStage == TSaveStage::ReadingBack) {
            SaveReadBack();
        } else if (FRecvBuf[2] == CmdParameterRecord) {
            AbandonSave();
            HandleParameterRecord();
        } else if (FRecvBuf[2] == CmdSaveAck && FSaveStage == TSaveStage::Acknowledging) {
            // "Save Success" waits for the read-back: an acknowledgement says
            // the frame arrived, not that the logger kept it.
            SaveAcknowledged();
        }
    } catch (const std::exception &e) {
        Prompt::Show(this, TPromptKind::Warning, QString::fromUtf8(e.what()));
    }

    ClosePortAndWait();
}

void TParamter::ClosePortAndWait()
{
    try {
        if (Comm->Handle() != 0)
            Comm->ClosePort();
    } catch (const std::exception &e) {
        Prompt::Show(this, TPromptKind::Plain, QString::fromUtf8(e.what()));
    }
    FixedWait();
}

void TParamter::ReceiveForTests(const std::uint8_t *Buffer, std::uint16_t Length)
{
    CommReceiveData(Comm, Buffer, Length);
}

void TParamter::HandleParameterRecord()
{
    const QString serialNumber = QString::fromStdString(SerialNumberText(FRecvBuf));
    if (!FDeviceFound || FReadRequested)
        ui->edtSerialNumber->setText(serialNumber);
    tmrRead->stop();
    FDeviceFound = true;

    // A record can still arrive from the last port after the search ran past the
    // end of the list; the port that answered is the one that is open.
    if (FPortIndex < FPortList.size()) {
        FFoundPort = FPortList.at(FPortIndex);
    } else {
        FFoundPort = Comm->CommName();
        const int index = FPortList.indexOf(FFoundPort);
        if (index >= 0)
            FPortIndex = index;
    }

    FLastRecord = FRecvBuf;
    FLastRecordAt = CurrentUtc();
    if (!FReadRequested)
        return;
    DecodeParameterRecord(FRecvBuf, *FControls, QString(FDecimalSeparator).toStdString());
    FReadAt = CurrentUtc();
    FHaveSettings = true;
    Prompt::Show(this, TPromptKind::Information, QStringLiteral("Read Success"));
}

void TParamter::imgBackClick()
{
    ui->imgBack0->hide();
    tmrRead->stop();
    ClosePortAndWait();
    FCloseConfirmed = true;
    close();
}
