#include "ParamterFrm.h"

#include "Comm.h"
#include "ParamterControls.h"
#include "WriteFrame.h"
#include "ui_ParamterFrm.h"

#include <QTimer>

void TParamter::imgSaveClick()
{
    ui->imgSave0->hide();
    tmrRead->stop();  // a search still under way tries no further port
    CheckParameters();
    ConfirmPlausibility();

    // FSendBuf changes only when its frame is handed over: the bytes a later
    // save carries over must be those the logger was sent, not those of a save
    // that failed to convert or to open the port.
    TFrameBuffer frame = FSendBuf;
    EncodeWriteFrame(frame, *FControls, QString(FDecimalSeparator).toStdString());

    OpenPortFor(FFoundPort);
    FixedWait();
    FSendBuf = frame;
    Comm->SendData(FSendBuf.data(), static_cast<std::uint16_t>(FSendBuf.size()));
    // The port stays open for the acknowledgement, which CommReceiveData handles.
}
