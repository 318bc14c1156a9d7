#include "FuzzTarget.h"

#include "Comm.h"
#include "Controls.h"
#include "Frame.h"
#include "Image.h"
#include "ParamterFrm.h"
#include "Prompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string_view>

// The window's settle wait after each close is real time in the product; at
// 100 ms a block the fuzzer would cover almost nothing. It is the only caller.
void QThread::msleep(unsigned long) {}

namespace {

// Input: blocks, each a two-byte header and its bytes. Header bits 0 to 10 are
// the length less one (1 to 2048, the serial component's largest block), bit 15
// presses Read before the block, bit 14 delivers it with the port closed, as a
// block posted just before a close can be.
constexpr unsigned LengthMask = 0x07FF;
constexpr unsigned PressRead = 0x8000;
constexpr unsigned PortClosed = 0x4000;

const QString DataCheckError = QStringLiteral("Data Check Error");
const QString ReadSuccess = QStringLiteral("Read Success");

QStringList Prompts;

// The far end of the window's port: a pseudo-terminal the fuzzer holds open.
int PtyMaster = -1;
QString PtyPath;

void OpenPty()
{
    PtyMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (PtyMaster < 0 || ::grantpt(PtyMaster) != 0 || ::unlockpt(PtyMaster) != 0)
        FuzzFail("no pseudo-terminal");
    PtyPath = QString::fromLocal8Bit(::ptsname(PtyMaster));
}

// Probes sent by Read presses pile up at the far end unless taken.
void DrainPty()
{
    char sink[4096];
    while (::read(PtyMaster, sink, sizeof sink) > 0) {
    }
}

template<typename T = QWidget>
T *Child(const TParamter &Window, std::string_view Name)
{
    T *w = Window.findChild<T *>(QLatin1String(Name.data(), static_cast<qsizetype>(Name.size())));
    if (w == nullptr)
        FuzzFail("the window lacks", Name.data());
    return w;
}

// A freshly shown window per input, so that a saved input replays the same way.
class TSession
{
public:
    TSession()
    {
        Window.ReadPortList = [](QStringList &list) { list = QStringList {PtyPath}; };
        Window.show();
        for (std::size_t i = 0; i < ControlCount; ++i)
            FControls[i] = Child(Window, ControlNames[i]);
    }

    void PressRead()
    {
        Prompts.clear();
        emit Child<TImage>(Window, "imgRead")->Click();
        FUZZ_CHECK(Prompts.isEmpty(), "a Read press with a port listed prompted");
        FReadRequested = true;
    }

    // As the serial component would have it while an exchange runs.
    void OpenPort()
    {
        TComm *comm = Window.CommForTests();
        if (comm->Handle() != 0)
            return;
        try {
            comm->SetCommName(PtyPath);
            comm->OpenPort();
        } catch (const std::exception &e) {
            FuzzFail("cannot open the pseudo-terminal:", e.what());
        }
    }

    void Deliver(const std::uint8_t *Data, std::size_t Length);

private:
    std::array<QString, ControlCount> Snapshot() const;
    QWidget *Control(Ctl c) const { return FControls[static_cast<std::size_t>(c)]; }
    bool Checked(Ctl c) const { return static_cast<QAbstractButton *>(Control(c))->isChecked(); }
    void CheckRules() const;

    TParamter Window;
    std::array<QWidget *, ControlCount> FControls {};
    bool FReadRequested = false;
};

// Every parameter control's value, enabled state and visibility.
std::array<QString, ControlCount> TSession::Snapshot() const
{
    std::array<QString, ControlCount> values;
    for (std::size_t i = 0; i < ControlCount; ++i) {
        QWidget *w = FControls[i];
        QString &value = values[i];
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            value = edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            value = QString::number(combo->currentIndex());
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            value = button->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
            value = memo->toPlainText();
        value += w->isEnabled() ? QStringLiteral("|enabled") : QStringLiteral("|disabled");
        value += w->isHidden() ? QStringLiteral("|hidden") : QStringLiteral("|shown");
    }
    return values;
}

// Rules between controls that no received block may break.
void TSession::CheckRules() const
{
    const bool single = Checked(Ctl::rbSingleAlarm);
    const bool multiple = Checked(Ctl::rbMultipleAlarm);
    FUZZ_CHECK(int(single) + int(multiple) + int(Checked(Ctl::rbNoAlarm)) == 1, "alarm mode not exactly one");
    FUZZ_CHECK(int(Checked(Ctl::rbC)) + int(Checked(Ctl::rbF)) == 1, "unit not exactly one");
    FUZZ_CHECK(Control(Ctl::pnlSingleAlarm)->isHidden() != single, "single-alarm panel");
    FUZZ_CHECK(Control(Ctl::pnlMultipleAlarm)->isHidden() != multiple, "multiple-alarm panel");
    for (const TThresholdBlock &b : ThresholdBlocks())
        if (b.Check)
            FUZZ_CHECK(Checked(*b.Check) == Control(b.Multiple.Edit)->isEnabled(), ControlName(*b.Check).data());
}

void TSession::Deliver(const std::uint8_t *Data, std::size_t Length)
{
    // Exactly sized: the handler must not read past the block it was given.
    const auto block = std::make_unique<std::uint8_t[]>(Length);
    std::copy_n(Data, Length, block.get());

    QStringList expected;
    bool record = false;
    if (!CheckFrame(block.get(), Length)) {
        expected << DataCheckError;
    } else if (block[2] == CmdParameterRecord) {
        record = true;
        if (FReadRequested)
            expected << ReadSuccess;
    }
    // An acknowledgement with no Save waiting for it says nothing: "Save
    // Success" waits for a Save's read-back.

    const auto before = Snapshot();
    Prompts.clear();
    try {
        Window.ReceiveForTests(block.get(), static_cast<std::uint16_t>(Length));
    } catch (const std::exception &e) {
        FuzzFail("an exception left the receive handler:", e.what());
    } catch (...) {
        FuzzFail("an exception left the receive handler");
    }

    FUZZ_CHECK(Window.CommForTests()->Handle() == 0, "the port stayed open after a block");
    for (const QString &text : Prompts)
        FUZZ_CHECK(text == DataCheckError || text == ReadSuccess, qPrintable(text));
    FUZZ_CHECK(Prompts == expected, qPrintable(Prompts.join(QLatin1Char('/'))));

    const auto after = Snapshot();
    if (record && FReadRequested) {
        FUZZ_CHECK(!Window.ReadTimerForTests()->isActive(), "the search goes on after a record");
        FUZZ_CHECK(Window.FoundPort() == PtyPath, qPrintable(Window.FoundPort()));
    } else {
        // Only a record may touch a control, and without a Read press only the serial number.
        for (std::size_t i = 0; i < ControlCount; ++i)
            if (!(record && static_cast<Ctl>(i) == Ctl::edtSerialNumber))
                FUZZ_CHECK(after[i] == before[i], ControlNames[i].data());
    }
    CheckRules();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    Prompt::SetHook([](const TPromptRequest &request) {
        Prompts << request.Text;
        return true;
    });
    OpenPty();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    TSession session;
    std::size_t at = 0;
    while (at + 2 < Size) {
        const unsigned header = unsigned(Data[at]) << 8 | Data[at + 1];
        at += 2;
        const std::size_t length = std::min<std::size_t>((header & LengthMask) + 1, Size - at);
        if (header & PressRead)
            session.PressRead();
        if (!(header & PortClosed))
            session.OpenPort();
        session.Deliver(Data + at, length);
        at += length;
        DrainPty();
    }
    return 0;
}
