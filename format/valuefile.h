#pragma once
// Configuration value files beyond ConfFormat::saveValues and loadValues.
#include <QByteArray>

class ConfFormat;

// The bytes ConfFormat::saveValues writes, for an output that is not a file (standard
// output of the command line tool).
QByteArray valueFileBytes(const ConfFormat &format);
