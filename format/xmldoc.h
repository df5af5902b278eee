#pragma once
// Whole-file XML reading and writing for descriptions and value files. Writing keeps
// the previous file as path + ".bak"; reading can fall back to that copy.
#include <QDomDocument>
#include <QString>

// The copy of path that saveXmlDocument keeps and the readers fall back to.
QString xmlBackupPath(const QString &path);
// Says that path did not load and its backup copy was read instead, so that nobody takes the
// older values or description for the file's own.
void reportXmlBackupUsed(const QString &path);

// Parses the file without namespace processing. On failure prints why on standard
// error and returns an empty document with *ok false. ok may be null.
QDomDocument loadXmlDocument(const QString &path, bool *ok);

// As loadXmlDocument; when the file itself fails, the result for path + ".bak".
QDomDocument loadXmlDocumentWithBackup(const QString &path, bool *ok);

// Moves an existing file to path + ".bak" (replacing an older one) and writes the
// document with indentation 0. False, after a line on standard error, when the file
// could not be opened or written. When the previous file cannot be moved aside (a
// folder that refuses the rename), it is overwritten after a line on standard error.
// A device or a FIFO is written into directly, with no ".bak".
bool saveXmlDocument(const QDomDocument &doc, const QString &path);

// The bytes saveXmlDocument writes for the document, for outputs that are not files.
QByteArray xmlDocumentBytes(const QDomDocument &doc);
