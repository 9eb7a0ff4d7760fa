// Generated labels with values far outside what the editor offers, as a
// hand-edited or damaged label file may hold: every one renders at 750 px,
// the pass leaves the raster as it found it, and drawing a label again after
// many others gives the same picture (no cache carries one label into the next).
#include "label/label_document.h"
#include "render/label_renderer.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

namespace {

// Labels per data row. Sanitizer builds run each pass many times slower, so
// they draw fewer; MEROVIK_RANDOM_DOCUMENTS overrides either.
#if defined(__SANITIZE_ADDRESS__)
constexpr int DefaultPerRow = 30;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int DefaultPerRow = 30;
#else
constexpr int DefaultPerRow = 60;
#endif
#else
constexpr int DefaultPerRow = 60;
#endif

int DocumentsPerRow()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("MEROVIK_RANDOM_DOCUMENTS", &ok);
    return ok && count > 0 ? count : DefaultPerRow;
}

// What a generated label may contain.
enum TFeature
{
    ExtremeNumbers = 1,
    LongTexts = 2,
    MixedScripts = 4,
    Pictures = 8,
};

// Runs of characters from scripts that stress the text layout: right-to-left
// letters that join (Arabic) and that do not (Hebrew), surrogate pairs,
// combining marks, joiners, controls and wide characters.
const QStringList& Alphabets()
{
    static const QStringList alphabets = {
        QStringLiteral("Velmar Kaaskelder Gouda 1234567890"),
        QStringLiteral("éèëïöüçñÅØ߀"),
        QString::fromUtf8("שלום גבינה עזים"),
        QString::fromUtf8("جبنة ماعز طازجة"),
        QString::fromUtf8("🧀🐐🐄👩‍🌾🇳🇱"),
        QString::fromUtf8("𝔊𝔬𝔲𝔡𝔞 𐐷𐑌"),
        QString::fromUtf8("e\u0301a\u0308\u200d\u200f\u202e\u2066"),
        QString::fromUtf8("\t\x01\x1f\u00ad\ufeff"),
        QString::fromUtf8("奶酪チーズ치즈"),
    };
    return alphabets;
}

QString RandomText(QRandomGenerator& aRandom, int aFeatures)
{
    const int maxLength = (aFeatures & LongTexts) ? 2000 : 40;
    const int length = aRandom.bounded(maxLength + 1);
    const QStringList& alphabets = Alphabets();
    const int alphabetCount = (aFeatures & MixedScripts) ? int(alphabets.size()) : 1;
    QString text;
    text.reserve(length + 2);
    while (text.size() < length) {
        const QString& alphabet = alphabets[aRandom.bounded(alphabetCount)];
        const int run = 1 + aRandom.bounded(12);
        for (int i = 0; i < run && text.size() < length; ++i) {
            const qsizetype at = aRandom.bounded(int(alphabet.size()));
            // Whole surrogate pairs: the characters come from typing or a UTF-8 file.
            if (alphabet[at].isLowSurrogate() && at > 0)
                text += alphabet.mid(at - 1, 2);
            else if (alphabet[at].isHighSurrogate() && at + 1 < alphabet.size())
                text += alphabet.mid(at, 2);
            else if (!alphabet[at].isSurrogate())
                text += alphabet[at];
        }
    }
    return text;
}

int32_t Between(QRandomGenerator& aRandom, int32_t aLow, int32_t aHigh)
{
    return int32_t(aRandom.bounded(qint64(aLow), qint64(aHigh) + 1));
}

// Now and then the very edges of 32 bits, else the ranges given.
int32_t Extreme(QRandomGenerator& aRandom, int32_t aLow, int32_t aHigh)
{
    switch (aRandom.bounded(10)) {
    case 0: return INT32_MIN;
    case 1: return INT32_MAX;
    default: return Between(aRandom, aLow, aHigh);
    }
}

struct TPictureFiles
{
    QStringList Paths;  // good and bad pictures, a folder, a missing file, none
};

TLabelDocument RandomDocument(QRandomGenerator& aRandom, int aFeatures, const TPictureFiles& aPictures)
{
    TLabelDocument doc;
    const bool extreme = aFeatures & ExtremeNumbers;
    static const char* const Fonts[] = {"Arial", "DejaVu Sans", "Liberation Serif", "", "No Such Font"};
    for (int tag = 1; tag <= 5; ++tag) {
        TLabelText& text = *doc.TextByTag(tag);
        text.Text = RandomText(aRandom, aFeatures);
        text.FontName = QLatin1String(Fonts[aRandom.bounded(int(std::size(Fonts)))]);
        // Every glyph of a curved text at a huge size covers the whole raster,
        // so a long text at such a size takes seconds to fill; the two
        // extremes meet in short texts here and once in WorstDocument().
        const int32_t largest = text.Text.size() > 200 ? 400 : 100000;
        text.FontSize = extreme ? Extreme(aRandom, -5, largest) : Between(aRandom, 8, 120);
        text.FontColor = aRandom.generate();
    }
    TLabelImage& bg = doc.FLabelBg;
    bg.Color = aRandom.generate();
    bg.UseColor = aRandom.bounded(2) == 0;
    bg.Effect = extreme ? Between(aRandom, -1, 99) : Between(aRandom, 0, 2);
    bg.Trans = extreme ? Between(aRandom, -50, 500) : 10 * Between(aRandom, 0, 9);
    bg.UsePng = aRandom.bounded(2) == 0;
    bg.PngWidth = extreme ? Between(aRandom, -100, 1000) : Between(aRandom, 10, 90);
    bg.BgPosX = extreme ? Extreme(aRandom, -100000, 100000) : Between(aRandom, 0, 300);
    bg.BgPosY = extreme ? Extreme(aRandom, -100000, 100000) : Between(aRandom, 0, 300);
    bg.PngPosX = extreme ? Extreme(aRandom, -100000, 100000) : Between(aRandom, -590, 590);
    bg.PngPosY = extreme ? Extreme(aRandom, -100000, 100000) : Between(aRandom, -590, 590);
    if (aFeatures & Pictures) {
        bg.FileName = aPictures.Paths[aRandom.bounded(int(aPictures.Paths.size()))];
        bg.PngFile = aPictures.Paths[aRandom.bounded(int(aPictures.Paths.size()))];
    }
    for (int tag = 1; tag <= 4; ++tag) {
        doc.RingByTag(tag)->Use = aRandom.bounded(2) == 0;
        doc.RingByTag(tag)->Color = aRandom.generate();
    }
    return doc;
}

// The longest texts at the largest size, right-to-left and surrogate pairs
// among them, over a photo with extreme placement.
TLabelDocument WorstDocument(const TPictureFiles& aPictures)
{
    TLabelDocument doc;
    QString text;
    while (text.size() < 2000)
        text += Alphabets().join(QString());
    text.truncate(2000);
    if (text.back().isHighSurrogate())
        text.chop(1);
    for (int tag = 1; tag <= 5; ++tag) {
        doc.TextByTag(tag)->Text = text;
        doc.TextByTag(tag)->FontName = QStringLiteral("Arial");
        doc.TextByTag(tag)->FontSize = 100000;
    }
    doc.FLabelBg.UseColor = false;
    doc.FLabelBg.FileName = aPictures.Paths[1];
    doc.FLabelBg.BgPosX = -100000;
    doc.FLabelBg.BgPosY = 100000;
    doc.FLabelBg.Trans = 500;
    doc.FLabelBg.Effect = 99;
    doc.FLabelBg.UsePng = true;
    doc.FLabelBg.PngFile = aPictures.Paths[2];
    doc.FLabelBg.PngWidth = 1000;
    doc.FLabelBg.PngPosX = -100000;
    return doc;
}

QByteArray RasterHash(const QImage& aImage)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int y = 0; y < aImage.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(aImage.constScanLine(y)), aImage.width() * 4));
    return hash.result();
}

}  // namespace

class TstRandomDocuments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyLabelRenders_data();
    void everyLabelRenders();

private:
    QTemporaryDir FDir;
    TPictureFiles FPictures;
};

void TstRandomDocuments::initTestCase()
{
    QVERIFY(FDir.isValid());
    const QDir dir(FDir.path());
    QImage photo(640, 427, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    QVERIFY(photo.save(dir.filePath("photo.jpg"), "JPEG", 90));
    QVERIFY(photo.transformed(QTransform().rotate(90)).save(dir.filePath("portrait.png"), "PNG"));
    QImage alpha(200, 120, QImage::Format_ARGB32);
    alpha.fill(qRgba(200, 30, 30, 90));
    QVERIFY(alpha.save(dir.filePath("alpha.png"), "PNG"));
    QImage indexed(50, 50, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 0)});
    indexed.fill(1);
    QVERIFY(indexed.save(dir.filePath("indexed.gif"), "PNG"));
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::green);
    QVERIFY(tiny.save(dir.filePath("tiny.bmp"), "BMP"));
    QFile truncated(dir.filePath("truncated.jpg"));
    QVERIFY(truncated.open(QIODevice::WriteOnly));
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(photo.save(&buffer, "JPEG"));
    }
    truncated.write(jpeg.left(jpeg.size() / 2));
    truncated.close();
    QFile empty(dir.filePath("empty.png"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(dir.mkpath("folder.jpg"));
    FPictures.Paths = {QString(),
                       dir.filePath("photo.jpg"),
                       dir.filePath("portrait.png"),
                       dir.filePath("alpha.png"),
                       dir.filePath("indexed.gif"),
                       dir.filePath("tiny.bmp"),
                       dir.filePath("truncated.jpg"),
                       dir.filePath("empty.png"),
                       dir.filePath("folder.jpg"),
                       dir.filePath("missing.png")};
}

void TstRandomDocuments::everyLabelRenders_data()
{
    QTest::addColumn<int>("features");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("numbers at their extremes") << int(ExtremeNumbers) << 1u;
    QTest::newRow("texts up to 2000 characters") << int(LongTexts) << 2u;
    QTest::newRow("right-to-left, surrogate pairs and controls") << int(MixedScripts) << 3u;
    QTest::newRow("pictures good and bad, extreme placement") << int(Pictures | ExtremeNumbers) << 4u;
    QTest::newRow("everything at once") << int(ExtremeNumbers | LongTexts | MixedScripts | Pictures) << 5u;
}

void TstRandomDocuments::everyLabelRenders()
{
    QFETCH(int, features);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const int count = DocumentsPerRow();
    // One renderer for all, as the editor keeps its one for the whole session.
    TLabelRenderer renderer;
    renderer.SetLabelSize(0);
    QList<TLabelDocument> drawnFirst;
    QList<QByteArray> firstHashes;
    const bool everything = features == (ExtremeNumbers | LongTexts | MixedScripts | Pictures);
    for (int i = 0; i < count; ++i) {
        const TLabelDocument doc = everything && i == 0 ? WorstDocument(FPictures)
                                                        : RandomDocument(random, features, FPictures);
        renderer.DrawLabel(doc);
        QCOMPARE(renderer.Raster().size(), QSize(750, 750));
        QCOMPARE(renderer.Raster().format(), QImage::Format_RGB32);
        QCOMPARE(renderer.LabelWidth(), 750);
        if (i < 5) {
            drawnFirst.append(doc);
            firstHashes.append(RasterHash(renderer.Raster()));
        }
    }
    // After all the others, with their pictures, fonts and texts in the caches.
    for (qsizetype i = 0; i < drawnFirst.size(); ++i) {
        renderer.DrawLabel(drawnFirst[i]);
        QVERIFY2(RasterHash(renderer.Raster()) == firstHashes[i],
                 qPrintable(QStringLiteral("label %1 draws differently the second time").arg(i)));
    }
}

QTEST_MAIN(TstRandomDocuments)
#include "tst_random_documents.moc"
