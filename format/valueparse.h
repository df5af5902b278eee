#pragma once
// Reading the text forms that the time and address editors accept. Kept free of widgets so
// that the rules can be checked without opening a dialog.
#include <QString>

// "H:M" with 0 <= H <= 23 and 0 <= M <= 59; anything after a second ":" is ignored
// ("10:05:33" reads as 10:05). On success stores H * 60 + M in *minutes.
bool parseTimeText(const QString &text, qint32 *minutes);

// Dotted IPv4 form: the first four "."-separated pieces must each be 0 to 255; a fifth piece
// and anything after it are ignored. On success stores the address with the first number in
// the lowest byte, which is the byte order the configuration image keeps.
bool parseIpText(const QString &text, qint32 *address);
