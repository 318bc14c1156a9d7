#pragma once

#include "LoggerEmulator.h"
#include "PrivateRuntime.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// loggerctl run as a program, the way a script runs it, against loggers
// emulated in this process on pseudo-terminals of a private port map.

struct TCtlRun {
    int Status = -1;
    QString Out;
    QString Err;
};

// Extra holds NAME=VALUE pairs for the program's environment; a NAME alone
// takes the variable away. Input, when given, is the program's standard
// input, closed after it; otherwise the input stays open and empty.
inline TCtlRun RunCtl(const QStringList &Arguments, const QStringList &Extra = {}, int LimitMs = 60000,
                      const std::optional<QByteArray> &Input = std::nullopt)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &pair : Extra) {
        if (pair.contains(u'='))
            environment.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        else
            environment.remove(pair);
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LOGGERCTL), Arguments);
    if (Input) {
        process.write(*Input);
        process.closeWriteChannel();
    }
    TCtlRun run;
    if (!process.waitForFinished(LimitMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        run.Err = QStringLiteral("loggerctl did not end normally: ") + QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    run.Status = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A test's own port map and folder, made afresh for each test function; the
// user's data folder is never touched, even where a test forgets --backup-dir.
class TCtlFolder
{
public:
    TCtlFolder()
    {
        if (!Runtime.IsValid() || !Files.isValid())
            qFatal("cannot make the test's folders");
        qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("data"))));
    }
    QString Path(const QString &name) const { return Files.filePath(name); }
    QString WriteText(const QString &name, const QByteArray &text) const
    {
        QFile file(Path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

    TPrivateRuntime Runtime;
    QTemporaryDir Files;
};

inline std::unique_ptr<TLoggerEmulator> StartLogger(const QString &Name, TFaultMode Fault = TFaultMode::None)
{
    auto logger = std::make_unique<TLoggerEmulator>(Name.toStdString());
    logger->SetFaultMode(Fault);
    std::string error;
    if (!logger->Start(&error))
        qFatal("cannot start the logger emulator: %s", error.c_str());
    return logger;
}

inline bool IsWriteFrame(const TLoggerEmulator::TBytes &Block)
{
    return Block.size() == FrameBufferSize && Block[2] == CmdParameterWrite;
}

inline std::size_t WriteFrames(const TLoggerEmulator &Logger)
{
    std::size_t n = 0;
    for (const auto &block : Logger.ReceivedFrames())
        n += IsWriteFrame(block);
    return n;
}
