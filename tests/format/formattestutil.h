#pragma once
// Helpers shared by the format tests: building a format from inline XML and
// capturing the diagnostic lines.
#include "tests/support/diagcapture.h"
#include "format/confformat.h"
#include "format/diag.h"

#include <QDomDocument>
#include "tests/support/fileaccess.h"

#include <QtTest>
#include <memory>

// Builds a format from the text of a Format element; null when the reader refuses it.
inline std::unique_ptr<ConfFormat> formatFromXml(const QString &formatXml, const QString &id = QStringLiteral("test"))
{
    QDomDocument doc;
    QString message;
    if (!doc.setContent(formatXml, &message))
        qFatal("test XML does not parse: %s", qPrintable(message));
    return std::unique_ptr<ConfFormat>(ConfFormat::create(id, doc.documentElement()));
}

// Image of a data area: 16-bit size, the data, CRC-16 over both.
inline QByteArray imageOf(const QByteArray &data)
{
    QByteArray image;
    image.append(char(data.size() & 0xFF)).append(char(data.size() >> 8)).append(data);
    const quint16 crc = crc16(0xFFFF, reinterpret_cast<const uchar *>(image.constData()), int(image.size()));
    image.append(char(crc & 0xFF)).append(char(crc >> 8));
    return image;
}

inline ConfVar *varNamed(ConfFormat *f, const QString &name)
{
    return f->varByName(name);
}

