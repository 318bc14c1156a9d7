// The sealed audit log: what sealing adds to an append, flushes and the seal
// file's two writes included, and how long `loggerctl audit verify --key`
// takes over a long log, with its peak memory at two lengths, which must not
// grow with the log.
#include "BenchFigures.h"

#include "AuditLog.h"
#include "AuditSeal.h"
#include "AuditSealFile.h"
#include "AuditSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

constexpr int Appends = 200;

// The audit tests' record, each with a serial number of its own, as a batch
// of intents and results writes them.
TAuditRecord Sample(int n)
{
    TAuditRecord r = SampleRecord(n, QStringLiteral("A0%1").arg(5000000 + n, 7, 10, QLatin1Char('0')));
    r.Kind = n % 2 ? TAuditKind::Intent : TAuditKind::Result;
    r.Verified = true;
    r.Failure.clear();
    r.Differences.clear();
    r.Intent = n % 2 ? 0 : n - 1;
    return r;
}

std::vector<double> AppendTimes(const QString &log)
{
    std::vector<double> times;
    for (int i = 0; i < Appends; ++i) {
        TAuditRecord r = Sample(i + 2);
        QString error;
        const auto start = Bench::TClock::now();
        if (!AppendAuditRecord(log, &r, &error))
            throw Bench::EBenchFailure(error.toStdString());
        times.push_back(Bench::Milliseconds(Bench::TClock::now() - start));
    }
    return times;
}

std::string Spread(const std::vector<double> &v)
{
    return "p90 " + Bench::Fixed(Bench::Percentile(v, 90)) + ", min " + Bench::Fixed(Bench::Min(v)) + ", max "
           + Bench::Fixed(Bench::Max(v)) + ", n=" + std::to_string(v.size());
}

void Seal()
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.jsonl"));
    const QString sealed = dir.filePath(QStringLiteral("sealed.jsonl"));
    TAuditRecord creation = Sample(1);
    QString error;
    if (!CreateSealedAuditLog(sealed, &creation, &error))
        throw Bench::EBenchFailure(error.toStdString());
    // In turns, so that the disk's moods fall on both alike.
    std::vector<double> plainTimes, sealedTimes;
    for (int round = 0; round < 4; ++round) {
        for (double t : AppendTimes(plain))
            plainTimes.push_back(t);
        for (double t : AppendTimes(sealed))
            sealedTimes.push_back(t);
    }
    const double added = Bench::Median(sealedTimes) - Bench::Median(plainTimes);
    Bench::Note("on " + QStorageInfo(dir.path()).fileSystemType().toStdString() + " in " + dir.path().toStdString());
    Bench::Figure("append_plain", Bench::Median(plainTimes), "ms", Spread(plainTimes));
    Bench::Figure("append_sealed", Bench::Median(sealedTimes), "ms", Spread(sealedTimes));
    Bench::Figure("seal_added", added, "ms", "median sealed less median plain, per record");
    Bench::Goal("seal_added", added < 5.0, "< 5 ms per record against a plain append");
}

// A sealed log of Records records, written in one go as a station would
// have appended them one by one; returns the verification key's text.
QString MakeSealedLog(const QString &path, qint64 records)
{
    TAuditRecord creation = Sample(1);
    QString error;
    const std::optional<QByteArray> first = CreateSealedAuditLog(path, &creation, &error);
    if (!first)
        throw Bench::EBenchFailure(error.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::Append))
        throw Bench::EBenchFailure("cannot write the log");
    TSealKeyWalk walk(*first, 1);
    QByteArray previous = creation.Sha256, block;
    for (qint64 n = 2; n <= records; ++n) {
        TAuditRecord r = Sample(int(n));
        r.Sequence = n;
        r.Previous = previous;
        r.Seal = SealOf(*walk.KeyOf(n), UnsealedAuditLine(r));
        const QByteArray line = AuditLine(r);
        previous = Sha256Hex(line);
        block += line + '\n';
        if (block.size() > (1 << 20) || n == records) {
            file.write(block);
            block.clear();
        }
    }
    file.close();
    TSealState state{records + 1, *walk.KeyOf(records + 1), previous, {}, 0};
    state.Tag = TagOf(state.Key, records, previous);
    QFile::remove(SealFilePath(path));
    if (!CreateSealFile(SealFilePath(path), state, &error))
        throw Bench::EBenchFailure(error.toStdString());
    return VerificationKeyText(*first);
}

struct TRun {
    double Ms;
    double PeakMiB;
    int Status;
};

// loggerctl as a process of its own, for its time and its peak resident memory.
TRun Verify(const QString &log, const QString &key)
{
    std::vector<QByteArray> args = {LOGGERCTL, "audit", "verify", QFile::encodeName(log), "--key", key.toLatin1()};
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Bench::TClock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, LOGGERCTL, &actions, nullptr, argv.data(), environ) != 0)
        throw Bench::EBenchFailure("cannot start loggerctl");
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        throw Bench::EBenchFailure("lost loggerctl");
    return {Bench::Milliseconds(Bench::TClock::now() - start), double(usage.ru_maxrss) / 1024.0,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void VerifyLong()
{
    QTemporaryDir dir;
    std::vector<TRun> runs;
    for (const qint64 records : {10000, 100000}) {
        const QString log = dir.filePath(QStringLiteral("log-%1.jsonl").arg(records));
        const QString key = MakeSealedLog(log, records);
        TRun best{1e9, 0, 0};
        for (int round = 0; round < 3; ++round) {
            const TRun run = Verify(log, key);
            if (run.Status != 0)
                throw Bench::EBenchFailure("audit verify --key found the log broken: status "
                                           + std::to_string(run.Status));
            if (run.Ms < best.Ms)
                best = run;
        }
        runs.push_back(best);
        const std::string n = std::to_string(records);
        Bench::Figure("verify_key_" + n, best.Ms, "ms",
                      "best of 3, the whole program, " + Bench::Fixed(double(QFile(log).size()) / 1048576.0, 1) + " MiB");
        Bench::Figure("verify_key_rss_" + n, best.PeakMiB, "MiB", "peak resident");
    }
    Bench::Goal("verify_key_100000", runs[1].Ms < 2000.0, "< 2 s for 100,000 records");
    Bench::Goal("verify_key_rss", runs[1].PeakMiB < runs[0].PeakMiB + 4.0,
                "peak memory at 100,000 records within 4 MiB of that at 10,000");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList cases = application.arguments().mid(1);
    if (cases.isEmpty())
        cases = {QStringLiteral("seal"), QStringLiteral("verify")};
    int status = 0;
    for (const QString &name : cases) {
        try {
            if (name == QLatin1String("seal"))
                Seal();
            else if (name == QLatin1String("verify"))
                VerifyLong();
            else
                throw Bench::EBenchFailure("unknown case " + name.toStdString());
        } catch (const Bench::EBenchFailure &e) {
            std::fprintf(stderr, "audit-bench %s: %s\n", qPrintable(name), e.what());
            status = 1;
        }
    }
    return status;
}
