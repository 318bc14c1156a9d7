#pragma once

#include <QString>

// The far end of a serial line that a test holds while the window opens the
// near end, so that the open succeeds. On Linux a pseudo-terminal of its own;
// under wine the first COM port the driver mapped (wine-run --pair).
class TFarEnd
{
public:
    TFarEnd();
    ~TFarEnd();
    TFarEnd(const TFarEnd &) = delete;
    TFarEnd &operator=(const TFarEnd &) = delete;

    bool IsValid() const { return !FPortName.isEmpty(); }
    // The name the serial component opens.
    QString PortName() const { return FPortName; }

private:
    QString FPortName;
    int FHandle = -1;
};
