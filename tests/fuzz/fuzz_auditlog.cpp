#include "AuditReader.h"
#include "AuditVerify.h"
#include "FuzzTarget.h"

#include <QBuffer>
#include <QCryptographicHash>

#include <exception>

// Any bytes as an audit log, read and checked as audit verify and show do,
// without and with a key: no exception, every line accounted for once, a
// record only what the log's own form spells byte for byte, a torn line only
// an unfinished beginning of one, and a log called intact only when every
// line that is no record is torn.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
    static const QByteArray key(SealKeyBytes, '\x5a');
    for (const bool keyed : {false, true}) {
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        TAuditReader reader(device);
        TAuditVerifier verifier(keyed ? std::optional<QByteArray>(key) : std::nullopt);
        TAuditEntry entry;
        qint64 lines = 0, records = 0, looksTorn = 0;
        try {
            while (reader.Next(&entry)) {
                ++lines;
                FUZZ_CHECK(entry.Line == lines);
                FUZZ_CHECK(!entry.Unterminated || device.atEnd(), "only the last line may lack a line end");
                if (entry.Record) {
                    ++records;
                    FUZZ_CHECK(AuditLine(*entry.Record) == entry.Bytes, "a record read otherwise than it is spelt");
                    FUZZ_CHECK(entry.Record->Sha256
                               == QCryptographicHash::hash(entry.Bytes, QCryptographicHash::Sha256).toHex());
                    FUZZ_CHECK(ParseAuditLine(AuditLine(*entry.Record)).has_value());
                } else {
                    FUZZ_CHECK(!entry.Problem.isEmpty(), "no record, and no word why");
                    looksTorn += entry.LooksTorn;
                }
                verifier.Feed(entry);
            }
            FUZZ_CHECK(reader.Error().isEmpty());
            const qint64 breaks = bytes.count('\n');
            FUZZ_CHECK(lines == breaks + (bytes.endsWith('\n') || bytes.isEmpty() ? 0 : 1), "lines lost or gained");
            const TAuditCheck check = verifier.Finish();
            FUZZ_CHECK(check.Lines == lines && check.Records == records);
            FUZZ_CHECK(qint64(check.Torn.size()) <= looksTorn, "a line torn that does not look it");
            FUZZ_CHECK(!check.Summary().isEmpty());
            if (check.Intact())
                FUZZ_CHECK(lines - records == qint64(check.Torn.size()), "intact with a damaged line");
            if (!keyed)
                FUZZ_CHECK(check.Seals == TAuditCheck::TSeals::NotChecked);
        } catch (const std::exception &e) {
            FuzzFail("reading raised", e.what());
        }
    }
    return 0;
}
