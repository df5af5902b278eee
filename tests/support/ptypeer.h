#pragma once
// The far end of a pseudo-terminal, driven by a test: what a device sees of the program.
#include <QByteArray>
#include <QString>

class PtyPeer
{
public:
    PtyPeer();
    ~PtyPeer() { hangUp(); }
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return master >= 0 && holder >= 0; }
    int masterFd() const { return master; }

    // Reads until n bytes have come or ms have passed.
    QByteArray read(int n, int ms);
    // Everything that arrives within ms.
    QByteArray readFor(int ms) { return read(1 << 20, ms); }
    bool write(const QByteArray &bytes);

    // The adapter vanishes: the program's end of the line hangs up.
    void hangUp();

    QString slavePath;

private:
    int master = -1;
    int holder = -1;
};
