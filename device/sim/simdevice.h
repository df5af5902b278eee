#pragma once
// The simulated field device: what it reports, what it stores and how it
// misbehaves on request. Transport-neutral: the serial engine drives it over a
// pseudo-terminal, and a simulated HID device can drive the same model.
#include <QByteArray>
#include <QList>
#include <QString>

enum class FaultKind {
    Silence,          // never answers anything
    GarbageBeforeId,  // random bytes other than STX before the identification
    StxNoEtx,         // identification text without its closing ETX
    EmptyEtx,         // an empty STX ETX ahead of the real identification
    LongId,           // identification text of LongIdLength characters
    NakBlock,         // receiving: block K is answered with NAK
    CanBlock,         // CAN in place of block K (sending) or of its ACK (receiving)
    RepeatBlock,      // sending: block K-1 goes out again in place of block K
    WrongNumber,      // sending: block K carries number K+1
    BadChecksum,      // sending: block K's first transmission has a wrong checksum
    TruncateBlock,    // sending: only the start of block K, then silence
    UnplugAfter,      // after block K the adapter disappears (K = 0: at the command)
    EotFirst,         // sending: EOT in place of the first block
    ExtraBlock,       // sending: ExtraBlockCount full blocks whatever the image
    NoStartNak,       // receiving: the receiver never asks for the first block
    DelayId,          // MS before the identification reply
    DelayFirstBlock,  // MS before the first block of a download
    DelayBlock,       // MS before block K
    DelayAck,         // MS before acknowledging block K
    DelayStartNak,    // MS before the receiver's first NAK
};

struct Fault {
    FaultKind kind;
    int block = 0; // counts from 1 within a transfer
    int ms = 0;
};

class SimFaults
{
public:
    static constexpr int LongIdLength = 70;
    static constexpr int ExtraBlockCount = 129;
    static constexpr int MaxDelayMs = 600000;

    // Parses one mode such as "nak-block:3" or "delay-ack:2:900" and adds it.
    // On failure returns false with the reason in *error and adds nothing.
    bool add(const QString &mode, QString *error);

    bool has(FaultKind kind) const;
    bool atBlock(FaultKind kind, int block) const;
    // Delay of the given kind (for block K where it has one); 0 when none is set.
    // Several matching entries add up.
    int delayMs(FaultKind kind, int block = 0) const;
    // Block after which the device is unplugged, or -1.
    int unplugAfter() const;

    const QList<Fault> &list() const { return m_faults; }

private:
    QList<Fault> m_faults;
};

class SimDevice
{
public:
    static constexpr int DefaultImageCapacity = 16384;
    static constexpr int DefaultFirmwareCapacity = 262144;

    QByteArray hardwareId = "VANT-HW-1";
    QByteArray softwareId = "VANT-DEMO-1";
    int imageCapacity = DefaultImageCapacity;
    int firmwareCapacity = DefaultFirmwareCapacity;
    // Where the configuration image lives between runs; empty keeps it in memory.
    QString imagePath;
    // Where a received firmware payload is written; empty keeps it in memory.
    QString firmwarePath;
    SimFaults faults;

    // The stored configuration image. The file is read anew each time, so a
    // test may replace it between commands; a missing file is an empty image.
    bool loadImage(QByteArray *image, QString *error) const;
    // Stores a received upload (see imageFromReceived), replacing the file
    // atomically: either the old or the new image is there, never a mix.
    bool storeImage(const QByteArray &received, QString *error);
    // Stores a firmware payload exactly as received, atomically.
    bool storeFirmware(const QByteArray &payload, QString *error);
    QByteArray lastFirmware() const { return m_firmware; }

    // What a device keeps of received configuration data: the image length is
    // the 16-bit size header plus 4, and the block padding after it is not part
    // of the image. When the data are too short for their header, all of it.
    static QByteArray imageFromReceived(const QByteArray &received);

    // The serial identification text: hardware id, line feed, software id;
    // with the long-id fault, padded with digits to LongIdLength characters.
    QByteArray identificationText() const;

private:
    QByteArray m_image;
    QByteArray m_firmware;
};

// Writes data to path through a temporary file in the same folder and a rename.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);
