#pragma once
// What an XML file has to pass before a DOM is built from it. Descriptions come from
// the description server and from other people's hands, value files from anywhere,
// and Qt's DOM parser takes time that grows with the square of the nesting depth:
// 80,000 nested elements, half a megabyte, kept it busy for more than a minute.
#include <QByteArray>
#include <QString>

class QXmlStreamReader;

// Our descriptions nest a handful of levels (Device, Format, structures in structures,
// tree groups); a thousand levels already cost Qt's DOM a noticeable pause.
constexpr int MaxXmlDepth = 256;
// Descriptions are a few hundred kilobytes; a file far beyond that is a mistake, and
// its DOM would need many times its size in memory.
constexpr qint64 MaxXmlFileBytes = 64 * 1024 * 1024;

// Reads a regular file of at most MaxXmlFileBytes whole. Anything else (a FIFO, which
// would wait for a writer, a device such as /dev/zero, which never ends, a larger file)
// is refused without waiting, after a line on standard error, as is a file that cannot
// be opened or read.
bool readXmlFile(const QString &path, QByteArray *bytes);

// One linear pass over the document that builds nothing. False, after a line on
// standard error in the style of the parser's own, when elements nest deeper than
// MaxXmlDepth or an entity is declared to come from outside the file (its text must
// never be fetched into a description or a value). Other faults are left to the
// parser, which reports them as it always has.
bool checkXmlDocument(const QString &path, const QByteArray &bytes);

// The line every reader of an XML file says when the file does not parse or is refused, at
// `line` and `column` of the file; `message` is in the local encoding, as the line is printed.
void reportXmlParseError(const QString &path, const QByteArray &message, qint64 line, qint64 column);

// The same checks, token by token, for a reader that reads the document anyway: call accept()
// after every token. False once the document is refused, with the reason kept for
// reportRefusal(), which prints the line checkXmlDocument prints.
class XmlGuard
{
public:
    bool accept(const QXmlStreamReader &reader);
    void reportRefusal(const QString &path) const;

private:
    int depth = 0;
    QByteArray why;
    qint64 line = 0;
    qint64 column = 0;
};
