#include "JsonOutput.h"

namespace Json {

QByteArray Text(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += '\\' + QByteArray(1, c);
        else if (u < 0x20)
            out += "\\u00" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out + '"';
}

QByteArray Text(const QByteArray &latin1)
{
    return Text(QString::fromLatin1(latin1));
}

QByteArray Number(qint64 n)
{
    return QByteArray::number(n);
}

QByteArray Bool(bool b)
{
    return b ? "true" : "false";
}

} // namespace Json
