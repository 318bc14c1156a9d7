#include "Progress.h"

#include "Console.h"

namespace {
constexpr int ShowAfterMs = 1000;
}

TProgress::TProgress()
{
    FDelay.setSingleShot(true);
    QObject::connect(&FDelay, &QTimer::timeout, [this] {
        FShown = true;
        if (!FText.isEmpty())
            Console::ShowProgress(FText);
    });
    FDelay.start(ShowAfterMs);
}

TProgress::~TProgress()
{
    Console::ClearProgress();
}

void TProgress::SetPrefix(const QString &Prefix)
{
    FPrefix = Prefix;
}

void TProgress::Phase(const QString &Text)
{
    FText = FPrefix + Text;
    if (FShown)
        Console::ShowProgress(FText);
}
