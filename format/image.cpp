// The binary configuration image: 16-bit data size, data area, CRC-16, all little-endian.
#include "format/confformat.h"

#include "format/diag.h"

#include <QStringDecoder>
#include <QtEndian>
#include <QStringEncoder>
#include <cstring>

namespace {

constexpr quint16 CrcInit = 0xFFFF;
constexpr int HeaderSize = 2;
constexpr int FileLengthSize = 2;

// The codec named by the format's `encoding`, or the system one when there is no such codec.
struct TextCodec {
    explicit TextCodec(const QString &name)
        : encoder(name.toLatin1().constData())
        , decoder(name.toLatin1().constData())
    {
        if (!encoder.isValid() || !decoder.isValid()) {
            diagOutWarning("No codec for %s\n", qPrintable(name));
            encoder = QStringEncoder(QStringConverter::System);
            decoder = QStringDecoder(QStringConverter::System);
        }
    }
    QByteArray encode(const QString &text)
    {
        encoder.resetState();
        return encoder.encode(text);
    }
    QString decode(const char *bytes, int length)
    {
        decoder.resetState();
        return decoder.decode(QByteArrayView(bytes, length));
    }
    QStringEncoder encoder;
    QStringDecoder decoder;
};

// Integers take 1, 2 or 4 bytes of their slot, low byte first.
void putLe(uchar *p, quint32 value, int bytes)
{
    if (bytes == 4)
        qToLittleEndian<quint32>(value, p);
    else if (bytes == 2)
        qToLittleEndian<quint16>(quint16(value), p);
    else
        p[0] = uchar(value);
}

quint32 getLe(const uchar *p, int bytes)
{
    if (bytes == 4)
        return qFromLittleEndian<quint32>(p);
    if (bytes == 2)
        return qFromLittleEndian<quint16>(p);
    return p[0];
}

void packVar(const ConfVar &var, uchar *slot, TextCodec &codec)
{
    switch (var.kind) {
    case KindInt:
    case KindTime:
    case KindIp:
        putLe(slot, quint32(var.value), var.size);
        break;
    case KindFloat: {
        quint32 bits;
        std::memcpy(&bits, &var.floatValue, sizeof bits);
        putLe(slot, bits, 4);
        break;
    }
    case KindString: {
        // The last byte of the slot stays zero: the device reads up to the first zero.
        const QByteArray bytes = codec.encode(var.text);
        std::memcpy(slot, bytes.constData(), size_t(qMin(qsizetype(var.size - 1), bytes.size())));
        break;
    }
    case KindFile: {
        // Loading and editing keep the contents within size - 2; cut again so a slot
        // can never be overrun whatever the value holds.
        const int length = qBound(0, qMin(var.fileLength, int(var.fileData.size())), var.size - FileLengthSize);
        putLe(slot, quint32(length), FileLengthSize);
        std::memcpy(slot + FileLengthSize, var.fileData.constData(), size_t(length));
        break;
    }
    case KindStruct:
        break;
    }
}

void unpackVar(ConfVar &var, const uchar *slot, TextCodec &codec)
{
    switch (var.kind) {
    case KindInt:
        if (var.size == 1)
            var.value = qint8(slot[0]);
        else if (var.size == 2)
            var.value = qint32(getLe(slot, 2));
        else
            var.value = qint32(getLe(slot, 4));
        break;
    case KindTime:
        var.value = qint32(getLe(slot, 2));
        break;
    case KindIp:
        var.value = qint32(getLe(slot, 4));
        break;
    case KindFloat: {
        const quint32 bits = getLe(slot, 4);
        std::memcpy(&var.floatValue, &bits, sizeof bits);
        break;
    }
    case KindString: {
        const char *text = reinterpret_cast<const char *>(slot);
        var.text = codec.decode(text, int(qstrnlen(text, uint(var.size - 1))));
        break;
    }
    case KindFile: {
        int length = int(getLe(slot, FileLengthSize));
        if (length >= var.size - 1)
            length = var.size - FileLengthSize;
        var.fileData = QByteArray(reinterpret_cast<const char *>(slot + FileLengthSize), length);
        var.fileLength = length;
        break;
    }
    case KindStruct:
        break;
    }
}

} // namespace

int ConfFormat::pack(uchar *buffer) const
{
    const int n = m_dataSize;
    std::memset(buffer, 0, size_t(n) + 4);
    putLe(buffer, quint32(n), HeaderSize);
    TextCodec codec(m_encoding);
    for (const auto &entry : m_vars)
        packVar(entry.second, buffer + HeaderSize + entry.second.offset, codec);
    putLe(buffer + HeaderSize + n, crc16(CrcInit, buffer, HeaderSize + n), 2);
    return n + 4;
}

QByteArray ConfFormat::pack() const
{
    QByteArray image(imageSize(), '\0');
    pack(reinterpret_cast<uchar *>(image.data()));
    return image;
}

bool ConfFormat::unpack(const uchar *buffer, int length)
{
    const int n = m_dataSize;
    // Every check comes before the first value changes, and the length check before
    // the first byte is read.
    if (!buffer || length < n + 4) {
        diagOutError("Config too small\n");
        return false;
    }
    const int header = int(getLe(buffer, HeaderSize));
    if (header != n) {
        diagOutError("Bad config size (got %d, need %d)\n", header, n);
        return false;
    }
    if (crc16(CrcInit, buffer, n + 4) != 0) {
        diagOutError("Bad CRC\n");
        return false;
    }
    TextCodec codec(m_encoding);
    for (auto &entry : m_vars)
        unpackVar(entry.second, buffer + HeaderSize + entry.second.offset, codec);
    diagOut("Config ok\n");
    return true;
}

QString ConfFormat::unstorableCharacters(const QString &text) const
{
    const QByteArray name = m_encoding.toLatin1();
    const bool known = QStringEncoder(name.constData()).isValid() && QStringDecoder(name.constData()).isValid();
    // A character is storable when it comes back from its own bytes: an encoder gives a
    // substitute byte for what it cannot represent, and that decodes to something else. Each
    // character gets converters of its own, so no state or error carries over.
    QString unstorable;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length;
        QStringEncoder encoder = known ? QStringEncoder(name.constData()) : QStringEncoder(QStringConverter::System);
        QStringDecoder decoder = known ? QStringDecoder(name.constData()) : QStringDecoder(QStringConverter::System);
        const QByteArray bytes = encoder.encode(character);
        const QString back = decoder.decode(bytes);
        if ((back != character || encoder.hasError()) && !unstorable.contains(character))
            unstorable += character;
    }
    return unstorable;
}
