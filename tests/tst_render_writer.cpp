// The JPEG and PNG writers: full chroma, 300 dpi in the file, atomic writes
// and messages that name the file.
#include "render/raster_writer.h"

#include <QtEndian>
#include <QtTest>

namespace {

struct JpegInfo
{
    bool Jfif = false;
    int DensityUnit = -1;
    int DensityX = 0;
    int DensityY = 0;
    QSize Size;
    QList<int> Sampling;  // per component, 0xHV
};

// Walks the markers up to the start of the scan.
JpegInfo ReadJpegInfo(const QByteArray& aBytes)
{
    JpegInfo info;
    const auto* data = reinterpret_cast<const uchar*>(aBytes.constData());
    qsizetype at = 2;  // after the start-of-image marker
    while (at + 4 <= aBytes.size() && data[at] == 0xFF) {
        const int marker = data[at + 1];
        const int length = qFromBigEndian<quint16>(data + at + 2);
        const uchar* segment = data + at + 4;
        if (marker == 0xE0 && length >= 16 && aBytes.mid(at + 4, 5) == QByteArray("JFIF\0", 5)) {
            info.Jfif = true;
            info.DensityUnit = segment[7];
            info.DensityX = qFromBigEndian<quint16>(segment + 8);
            info.DensityY = qFromBigEndian<quint16>(segment + 10);
        } else if (marker >= 0xC0 && marker <= 0xC2) {
            info.Size = QSize(qFromBigEndian<quint16>(segment + 3), qFromBigEndian<quint16>(segment + 1));
            for (int i = 0; i < segment[5]; ++i)
                info.Sampling.append(segment[6 + 3 * i + 1]);
        } else if (marker == 0xDA) {
            break;
        }
        at += 2 + length;
    }
    return info;
}

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Alternating one-pixel columns of red and blue: what chroma subsampling smears.
QImage Stripes(QImage::Format aFormat)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x % 2 ? qRgb(220, 20, 20) : qRgb(20, 20, 220));
    return image.convertToFormat(aFormat);
}

int MaxError(const QImage& aA, const QImage& aB)
{
    int worst = 0;
    for (int y = 0; y < aA.height(); ++y)
        for (int x = 0; x < aA.width(); ++x) {
            const QRgb a = aA.pixel(x, y), b = aB.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    return worst;
}

}  // namespace

class TstRenderWriter : public QObject
{
    Q_OBJECT

private slots:
    void jpegFullChromaAt300Dpi_data();
    void jpegFullChromaAt300Dpi();
    void pngIsRgbAt300Dpi_data();
    void pngIsRgbAt300Dpi();
    void failedWriteLeavesNothing_data();
    void failedWriteLeavesNothing();
    void failedWriteKeepsOldFile();
    void rasterFormats_data();
    void rasterFormats();

private:
    QTemporaryDir FDir;
};

void TstRenderWriter::jpegFullChromaAt300Dpi_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("RGB32 raster") << QImage::Format_RGB32;
    QTest::newRow("24-bit export copy") << QImage::Format_RGB888;
    QTest::newRow("ARGB32 picture") << QImage::Format_ARGB32;
}

void TstRenderWriter::jpegFullChromaAt300Dpi()
{
    QFETCH(QImage::Format, format);
    const QImage image = Stripes(format);
    const QString path = FDir.filePath(QStringLiteral("stripes.jpg"));
    QCOMPARE(WriteJpeg(image, path), QString());
    const JpegInfo info = ReadJpegInfo(ReadAll(path));
    QVERIFY(info.Jfif);
    QCOMPARE(info.DensityUnit, 1);
    QCOMPARE(info.DensityX, 300);
    QCOMPARE(info.DensityY, 300);
    QCOMPARE(info.Size, image.size());
    QCOMPARE(info.Sampling, QList<int>({0x11, 0x11, 0x11}));
    // With full chroma the one-pixel red and blue columns survive.
    const QImage decoded(path);
    QCOMPARE(decoded.size(), image.size());
    QVERIFY2(MaxError(decoded, image) < 24, qPrintable(QString::number(MaxError(decoded, image))));
}

void TstRenderWriter::pngIsRgbAt300Dpi_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("RGB32 raster") << QImage::Format_RGB32;
    QTest::newRow("24-bit export copy") << QImage::Format_RGB888;
}

void TstRenderWriter::pngIsRgbAt300Dpi()
{
    QFETCH(QImage::Format, format);
    const QImage image = Stripes(format);  // 72 dpi: the writer sets 300
    const QString path = FDir.filePath(QStringLiteral("stripes.png"));
    QCOMPARE(WritePng(image, path), QString());
    const QByteArray bytes = ReadAll(path);
    // IHDR comes first: width, height, bit depth, colour type 2 (RGB).
    QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(uchar(bytes[24]), uchar(8));
    QCOMPARE(uchar(bytes[25]), uchar(2));
    const qsizetype phys = bytes.indexOf("pHYs");
    QVERIFY(phys > 0);
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData()) + phys + 4;
    QCOMPARE(qFromBigEndian<quint32>(data), quint32(11811));
    QCOMPARE(qFromBigEndian<quint32>(data + 4), quint32(11811));
    QCOMPARE(int(data[8]), 1);  // per metre
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), image.convertToFormat(QImage::Format_RGB32));
}

void TstRenderWriter::failedWriteLeavesNothing_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("where");
    for (const char* format : {"jpg", "png"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 below a file").arg(format))) << format << "below-file";
        QTest::newRow(qPrintable(QStringLiteral("%1 over a folder").arg(format))) << format << "folder";
        QTest::newRow(qPrintable(QStringLiteral("%1 of an empty picture").arg(format))) << format << "empty";
    }
}

// Root can write anywhere, so the failures come from paths that cannot be files.
void TstRenderWriter::failedWriteLeavesNothing()
{
    QFETCH(QString, format);
    QFETCH(QString, where);
    QString path;
    QImage image = Stripes(QImage::Format_RGB32);
    if (where == QLatin1String("below-file")) {
        const QString blocker = FDir.filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        path = blocker + QStringLiteral("/label.") + format;
    } else if (where == QLatin1String("folder")) {
        path = FDir.filePath(QStringLiteral("folder.") + format);
        QVERIFY(QDir().mkpath(path));
    } else {
        path = FDir.filePath(QStringLiteral("empty.") + format);
        image = QImage();
    }
    const QStringList before = QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    const QString message = WriteRaster(image, path, format, 98);
    QVERIFY(message.startsWith(QStringLiteral("Unable to write to ") + path));
    QCOMPARE(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    if (where != QLatin1String("folder"))
        QVERIFY(!QFileInfo::exists(path));
}

// A picture that cannot be written leaves the earlier file as it was.
void TstRenderWriter::failedWriteKeepsOldFile()
{
    const QString path = FDir.filePath(QStringLiteral("kept.jpg"));
    QCOMPARE(WriteJpeg(Stripes(QImage::Format_RGB32), path), QString());
    const QByteArray old = ReadAll(path);
    QVERIFY(!WriteJpeg(QImage(), path).isEmpty());
    QVERIFY(!WriteRaster(Stripes(QImage::Format_RGB32), path, QStringLiteral("bmp"), 98).isEmpty());
    QCOMPARE(ReadAll(path), old);
}

void TstRenderWriter::rasterFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("jpg") << "jpg" << QByteArray("\xFF\xD8\xFF", 3);
    QTest::newRow("JPEG in capitals") << "JPEG" << QByteArray("\xFF\xD8\xFF", 3);
    QTest::newRow("png") << "png" << QByteArray("\x89PNG", 4);
    QTest::newRow("bmp is refused") << "bmp" << QByteArray();
}

void TstRenderWriter::rasterFormats()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, signature);
    const QString path = FDir.filePath(QStringLiteral("dispatch.") + format);
    const QString message = WriteRaster(Stripes(QImage::Format_RGB32), path, format, 90);
    if (signature.isEmpty()) {
        QVERIFY(message.contains(path));
        QVERIFY(message.contains(format));
        QVERIFY(!QFileInfo::exists(path));
    } else {
        QCOMPARE(message, QString());
        QVERIFY(ReadAll(path).startsWith(signature));
    }
}

QTEST_MAIN(TstRenderWriter)
#include "tst_render_writer.moc"
