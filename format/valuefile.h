#pragma once
// Configuration value files beyond ConfFormat::saveValues and loadValues.
#include <QByteArray>
#include <QString>

class ConfFormat;
struct ConfVar;

// The bytes ConfFormat::saveValues writes, for an output that is not a file (standard
// output of the command line tool).
QByteArray valueFileBytes(const ConfFormat &format);

// A value as a value file spells it: the number of an integer, time or address, the shortest
// text that reads back as the same float, the string itself, a file's used bytes in base64.
// Empty for a structure.
QString valueFileText(const ConfVar &var);
