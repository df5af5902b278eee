#pragma once
// The model of one device format: the variables of a configuration image, their
// kinds, places and current values. Built from a description's Format element.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <climits>
#include <map>

class QDomElement;
struct XmlElement;

enum VarKind {
    KindInt = 0,
    KindTime = 1,
    KindIp = 2,
    KindFloat = 3,
    KindString = 4,
    KindStruct = 5,
    KindFile = 6,
};

struct ConfVar {
    qint32 offset = 0; // byte offset in the data area; also the variable's id
    qint32 size = 0;   // bytes taken in the data area
    QString name;      // full name, e.g. port.baud or speed[3]
    VarKind kind = KindInt;
    qint32 value = 0;  // KindInt, KindTime, KindIp
    qint32 min = INT_MIN;
    qint32 max = INT_MAX;
    QStringList items; // select or bool items; empty for a plain number
    float floatValue = 0.0f;
    float floatMin = 0.0f;
    float floatMax = 0.0f;
    qint32 decimals = 1;
    QString suffix;
    QString text;       // KindString
    qint32 fileLength = 0;
    QByteArray fileData; // KindFile contents; empty while there are none
    // Where the description declares it (its element, as the DOM placed it); 0 when unknown.
    // Array elements share their declaration.
    qint32 declLine = 0;
    qint32 declColumn = 0;
};

class ConfFormat : public QObject
{
    Q_OBJECT
public:
    // Builds a format from a Format element; null (after a diagnostic line) on any error.
    static ConfFormat *create(const QString &id, const QDomElement &format);
    static ConfFormat *create(const QString &id, XmlElement &format);
    ~ConfFormat() override;

    const QString &id() const { return m_id; }
    // Ordered by full name; QString's operator< compares UTF-16 code units,
    // so x[10] sorts before x[2] and upper case before lower case. The set of variables is
    // fixed once read; their values change through the lookups below.
    const std::map<QString, ConfVar> &vars() const { return m_vars; }
    // The text codec of string values in the image.
    const QString &encoding() const { return m_encoding; }
    qint32 dataSize() const { return m_dataSize; }

    bool parseVars(const QString &prefix, XmlElement &element);
    bool parseVarType(ConfVar &var, XmlElement &element);

    // Lookups. By id: first variable in name order with that offset that is not a structure.
    ConfVar *varByName(const QString &name);
    const ConfVar *varByName(const QString &name) const;
    ConfVar *varById(int id);
    const ConfVar *varById(int id) const;
    qint32 intValue(const QString &name) const;
    int idOf(const QString &name) const;
    QString nameOf(int id) const;

    // Binary image: 16-bit size, data area, CRC-16.
    int imageSize() const { return m_dataSize + 4; }
    int pack(uchar *buffer) const;
    QByteArray pack() const;
    bool unpack(const uchar *buffer, int length);

    // The characters of `text` the description's encoding cannot store, each once, in order of
    // appearance; empty when all of it can be stored. A string with such characters would be
    // packed with substitute bytes, so editors and loaders refuse it.
    QString unstorableCharacters(const QString &text) const;

    // Text forms of values.
    QString text(int id) const;
    QString varText(const ConfVar *var) const;

    // XML value files.
    bool saveValues(const QString &path) const;
    bool loadValues(const QString &path);

private:
    explicit ConfFormat(const QString &id);

    bool addVar(const QString &fullName, XmlElement &element);
    bool parseStruct(ConfVar &var, XmlElement &element);
    bool growDataSize(qint64 bytes);

    QString m_id;
    std::map<QString, ConfVar> m_vars;
    QString m_encoding = QStringLiteral("CP1251");
    qint32 m_dataSize = 0;

    int m_structNesting = 0;

    // Id lookups run once per tree row on every refresh; a walk over all variables each
    // time made installing a large description quadratic. The set of variables never
    // changes once read, so the index is rebuilt only when their number has changed.
    mutable QHash<int, ConfVar *> m_idIndex;
    mutable size_t m_indexedVars = 0;
};

#include "format/crc16.h"
