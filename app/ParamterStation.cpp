#include "ParamterFrm.h"

#include "Comm.h"
#include "Prompt.h"

#include <QTimer>

void TParamter::LoadStation()
{
    FStation = LoadStationConfig();
}

// Said once, as the window first shows: the window then goes on with the
// defaults, as loggerctl does.
void TParamter::ReportStationProblem()
{
    if (!FStation.Problem.isEmpty())
        Prompt::Show(this, TPromptKind::Warning,
                     FStation.Problem
                         + QStringLiteral("\n\nThe station's settings in this file are not used: backups go to the "
                                          "default folder and no audit log is kept."));
}

bool TParamter::ReadInProgress() const
{
    return tmrRead->isActive() || (FReadRequested && !SaveInProgress() && Comm->Handle() != 0);
}
