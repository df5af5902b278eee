// Several workers at once in one process: each has its own links, so two serial downloads from
// two simulators on two pseudo-terminals, or a HID and a serial transfer, run side by side and
// each delivers exactly its own device's image.
#include "device/device.h"
#include "device/sim/simhid.h"
#include "tests/support/devicefiles.h"
#include "tests/support/simprocess.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using testfiles::makeImage;

namespace {

// Each image takes about 0.7 s on a paced line, long enough for the transfers to overlap.
constexpr int ImageDataSize = 8000;
constexpr int TransferTimeoutMs = 20000;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What a download delivers: the stored image in whole blocks of `block` bytes, filled with 0xFF.
QByteArray inBlocks(const QByteArray &image, int block)
{
    const qsizetype size = (image.size() + block - 1) / block * block;
    return image + QByteArray(size - image.size(), char(0xFF));
}

// True while `device` is inside its transfer: past its first blocks and not yet ended.
bool transferring(const Device &device)
{
    return device.progress() > 0 && !device.hasResult();
}

} // namespace

class TestConcurrent : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void twoSerialDownloads_atOnce_eachGetsItsOwnImage();
    void hidAndSerialDownloads_atOnce_eachGetsItsOwnImage();

private:
    QString startSim(SimProcess &sim, const QString &name, const QByteArray &image);

    QTemporaryDir dir;
};

void TestConcurrent::initTestCase()
{
    QVERIFY2(!qgetenv("VANT_DEVSIM").isEmpty(), "VANT_DEVSIM is not set");
    QVERIFY(dir.isValid());
}

QString TestConcurrent::startSim(SimProcess &sim, const QString &name, const QByteArray &image)
{
    const QString path = dir.filePath(name);
    if (!writeFile(path, image))
        return {};
    // Paced like a real line, so that neither transfer is over before the other has begun.
    return sim.start({QStringLiteral("--image"), path, QStringLiteral("--software-id"), name});
}

void TestConcurrent::twoSerialDownloads_atOnce_eachGetsItsOwnImage()
{
    const QByteArray firstImage = makeImage(ImageDataSize, 1);
    const QByteArray secondImage = makeImage(ImageDataSize, 2);
    SimProcess firstSim, secondSim;
    const QString firstPort = startSim(firstSim, QStringLiteral("FIRST"), firstImage);
    const QString secondPort = startSim(secondSim, QStringLiteral("SECOND"), secondImage);
    QVERIFY(!firstPort.isEmpty() && !secondPort.isEmpty());

    Device first(firstPort);
    Device second(secondPort);
    QSignalSpy firstDone(&first, &Device::resultReady);
    QSignalSpy secondDone(&second, &Device::resultReady);
    bool overlapped = false;
    // Progress reaches these slots queued; a receiver that ends with this function takes the
    // events still queued with it, so none runs after the locals it reads are gone.
    QObject receiver;
    connect(&first, &Device::progressChanged, &receiver, [&] { overlapped = overlapped || transferring(second); });
    connect(&second, &Device::progressChanged, &receiver, [&] { overlapped = overlapped || transferring(first); });

    first.startDownload();
    second.startDownload();
    QTRY_VERIFY_WITH_TIMEOUT(firstDone.count() == 1 && secondDone.count() == 1, TransferTimeoutMs);
    QCOMPARE(firstDone.first().first().toInt(), int(Ok));
    QCOMPARE(secondDone.first().first().toInt(), int(Ok));
    QCOMPARE(first.waitForResult(), int(Ok));
    QCOMPARE(second.waitForResult(), int(Ok));

    QCOMPARE(first.softwareId(), QStringLiteral("FIRST"));
    QCOMPARE(second.softwareId(), QStringLiteral("SECOND"));
    QCOMPARE(first.image().toHex(), inBlocks(firstImage, 128).toHex());
    QCOMPARE(second.image().toHex(), inBlocks(secondImage, 128).toHex());
    QVERIFY2(overlapped, "the two downloads ran one after the other");
}

void TestConcurrent::hidAndSerialDownloads_atOnce_eachGetsItsOwnImage()
{
    const QByteArray serialImage = makeImage(ImageDataSize, 3);
    const QByteArray hidImage = makeImage(ImageDataSize, 4);
    SimProcess serialSim;
    const QString port = startSim(serialSim, QStringLiteral("SERIAL"), serialImage);
    QVERIFY(!port.isEmpty());

    SimDevice hidModel;
    hidModel.softwareId = "HID";
    hidModel.imageCapacity = int(hidImage.size());
    hidModel.imagePath = dir.filePath(QStringLiteral("hid-image.bin"));
    QVERIFY(writeFile(hidModel.imagePath, hidImage));
    SimHid hid(hidModel);

    Device serial(port);
    Device usb(QStringLiteral("HID"), &hid);
    // The simulated device answers at once; a short pause per call stretches its transfer over
    // the serial one, and each call looks whether the serial transfer is under way meanwhile.
    std::atomic<bool> overlapped{false};
    hid.onCall = [&](int) {
        QThread::msleep(5);
        if (transferring(serial))
            overlapped = true;
    };

    serial.startDownload();
    usb.startDownload();
    QCOMPARE(usb.waitForResult(), int(Ok));
    QCOMPARE(serial.waitForResult(), int(Ok));

    QCOMPARE(usb.softwareId(), QStringLiteral("HID"));
    QCOMPARE(serial.softwareId(), QStringLiteral("SERIAL"));
    QCOMPARE(usb.image().toHex(), inBlocks(hidImage, 64).toHex());
    QCOMPARE(serial.image().toHex(), inBlocks(serialImage, 128).toHex());
    QVERIFY2(overlapped, "the HID download ran outside the serial one");
}

QTEST_GUILESS_MAIN(TestConcurrent)
#include "tst_concurrent.moc"
