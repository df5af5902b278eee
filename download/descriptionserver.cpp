#include "download/descriptionserver.h"

#include <QSettings>
#include <QUrl>

QString descriptionServer()
{
    const QSettings settings;
    const QString value = settings.value(QLatin1String(DescriptionServerKey)).toString().trimmed();
    return value.isEmpty() ? QString::fromLatin1(DefaultDescriptionServer) : value;
}

static bool parsePort(const QString &digits, quint16 *port)
{
    if (digits.isEmpty() || digits.size() > 5)
        return false;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const uint value = digits.toUInt();
    if (value == 0 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

bool parseServerAddress(const QString &text, QString *host, quint16 *port)
{
    const QString t = text.trimmed();
    QString h;
    QString portText;
    bool hasPort = false;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        h = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            hasPort = true;
            portText = rest.mid(1);
        }
        // Only an address belongs in brackets; a name there is a typo.
        if (!h.contains(QLatin1Char(':')))
            return false;
    } else {
        const int colon = t.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            hasPort = true;
            h = t.left(colon);
            portText = t.mid(colon + 1);
        } else {
            h = t;
        }
    }
    if (h.isEmpty())
        return false;
    quint16 p = DefaultHttpPort;
    if (hasPort && !parsePort(portText, &p))
        return false;

    // Let the URL class judge the host, so that whatever passes here also makes
    // a valid request URL later.
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(h, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    *host = url.host();
    *port = p;
    return true;
}
