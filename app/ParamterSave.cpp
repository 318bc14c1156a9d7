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

    // The encoder keeps FSendBuf as it was when a conversion fails.
    EncodeWriteFrame(FSendBuf, *FControls, QString(FDecimalSeparator).toStdString());

    OpenPortFor(FFoundPort);
    FixedWait();
    Comm->SendData(FSendBuf.data(), static_cast<std::uint16_t>(FSendBuf.size()));
    // The port stays open for the acknowledgement, which CommReceiveData handles.
}
