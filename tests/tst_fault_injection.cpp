// Failures of the file system provoked under the real window: files that
// cannot be written (a folder in the way, a file-size limit, which hold for
// root too) and pictures that change between two render passes. Each gives
// the message of the command concerned, the earlier file stays as it was,
// and the editor goes on working.
#include "editor/main_window.h"
#include "editor_fixture.h"
#include "editor/radio_group.h"
#include "render/picture_cache.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QThread>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>

namespace {

// The file-size limit of the child processes: above every file a test leaves
// there beforehand, below every file the child tries to write.
constexpr rlim_t ChildFileSizeLimit = 4096;

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Jpeg(const QSize& aSize, const QColor& aColor)
{
    QImage image(aSize, QImage::Format_RGB32);
    image.fill(aColor);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

bool Near(QRgb aPixel, const QColor& aColor)
{
    return qAbs(qRed(aPixel) - aColor.red()) <= 40 && qAbs(qGreen(aPixel) - aColor.green()) <= 40
           && qAbs(qBlue(aPixel) - aColor.blue()) <= 40;
}

QString PixelText(QRgb aPixel)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(qRed(aPixel)).arg(qGreen(aPixel)).arg(qBlue(aPixel));
}

QRgb Centre(const TFrmMain& aWindow)
{
    const QImage& raster = aWindow.Renderer().Raster();
    return raster.pixel(raster.width() / 2, raster.height() / 2);
}

// The files in aFolder whose names start with aName: the file itself and any
// temporary file a failed save left beside it.
QStringList FilesNamed(const QString& aFolder, const QString& aName)
{
    return QDir(aFolder).entryList({aName + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
}

// A label text long enough that no label or settings file holding it fits
// under the child's file-size limit.
QString LongText()
{
    return QStringLiteral("Velmar Kaaskelder ").repeated(int(ChildFileSizeLimit / 8));
}

// The child process: the window under a file-size limit. It runs one command
// that has to write more than the limit allows, prints each message of the
// error box on a line of its own, then shows that the editor goes on.
int LimitedChild(const QString& aScenario, const QString& aFolder, int aArgc, char** aArgv)
{
    // Without this the limit kills the process instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{ChildFileSizeLimit, ChildFileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 2;
    QApplication application(aArgc, aArgv);
    TScriptedDialogs dialogs;
    TFrmMain window(dialogs, TProgramPaths::InFolder(aFolder));
    window.show();
    const QString text = LongText();
    const QDir folder(aFolder);
    if (aScenario == QLatin1String("label")) {
        window.edtName->setText(text);
        dialogs.SaveLabelAnswers.push_back(folder.filePath(QStringLiteral("label.lbl")));
        window.btnSaveLbl->click();
    } else if (aScenario == QLatin1String("settings")) {
        window.edtName->setText(text);
        window.close();
    } else if (aScenario == QLatin1String("plain export") || aScenario == QLatin1String("busy export")) {
        // The smallest picture an export writes: white and empty at 6 cm,
        // about 33 KB.
        if (aScenario == QLatin1String("plain export"))
            window.rdgLabelSize->Item(0)->click();
        dialogs.SavePictureAnswers.push_back(folder.filePath(QStringLiteral("label.jpg")));
        window.BtnSave->click();
    } else {
        return 3;
    }
    for (const QString& error : std::as_const(dialogs.Errors))
        std::printf("error: %s\n", qPrintable(error));
    // The editor goes on: the edit is still there and the next change redraws.
    if (window.Document().FLabelName.Text == text)
        std::printf("text kept\n");
    const int draws = window.DrawCount();
    window.chkbRing2->click();
    if (window.DrawCount() == draws + 1)
        std::printf("redrawn\n");
    std::fflush(stdout);
    return 0;
}

}  // namespace

class TstFaultInjection : public QObject
{
    Q_OBJECT

private slots:
    void settingsFileThatIsAFolder();
    void labelFileThatIsAFolder();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void pictureChangedBetweenPasses_data();
    void pictureChangedBetweenPasses();
    void pictureRewrittenInPlaceDuringDecode();
    void commandLineRendererUnderFileSizeLimit_data();
    void commandLineRendererUnderFileSizeLimit();
};

void TstFaultInjection::settingsFileThatIsAFolder()
{
    TFixture f;
    const QString settings = f.Paths().SettingsFile;
    QVERIFY(QDir().mkpath(settings));
    TFixture::WriteFile(QDir(settings).filePath(QStringLiteral("inside.txt")), "kept");

    TFrmMain& w = f.Open();
    // It cannot be read: said once, and the label of defaults is drawn.
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(settings), qPrintable(f.Dialogs.Errors.first()));
    QVERIFY(w.DrawCount() >= 1);
    const int draws = w.DrawCount();
    Click(w.chkbRing1);
    QCOMPARE(w.DrawCount(), draws + 1);

    QVERIFY(w.close());
    QCOMPARE(f.Dialogs.Errors.size(), 2);
    QCOMPARE(f.Dialogs.Errors.last(), QStringLiteral("Unable to write to %1: het is een map").arg(settings));
    QVERIFY(QFileInfo(settings).isDir());
    QCOMPARE(ReadAll(QDir(settings).filePath(QStringLiteral("inside.txt"))), QByteArray("kept"));
}

void TstFaultInjection::labelFileThatIsAFolder()
{
    TFixture f;
    TFrmMain& w = f.Open();
    const QString target = f.Dir.filePath(QStringLiteral("Gouda_10.lbl"));
    QVERIFY(QDir().mkpath(target));
    TFixture::WriteFile(QDir(target).filePath(QStringLiteral("inside.txt")), "kept");
    w.edtType->setText(QStringLiteral("Gouda"));

    f.Dialogs.SaveLabelAnswers.push_back(target);
    Click(w.btnSaveLbl);
    QCOMPARE(f.Dialogs.Errors, QStringList{QStringLiteral("Unable to write to %1: het is een map").arg(target)});
    QCOMPARE(ReadAll(QDir(target).filePath(QStringLiteral("inside.txt"))), QByteArray("kept"));
    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("inside.txt")});

    // The editor goes on: the same label saves under another name.
    const QString other = f.Dir.filePath(QStringLiteral("Gouda.lbl"));
    f.Dialogs.SaveLabelAnswers.push_back(other);
    Click(w.btnSaveLbl);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    TLabelDocument saved;
    QVERIFY(saved.LoadFromFile(other).Ok());
    QCOMPARE(saved.FLabelType.Text, QStringLiteral("Gouda"));
}

void TstFaultInjection::fileSizeLimit_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("target");  // in the program folder
    QTest::newRow("label save over an earlier label") << "label" << "label.lbl";
    QTest::newRow("settings written at closing") << "settings" << "merovik.ini";
    QTest::newRow("export of a plain label over an earlier picture") << "plain export" << "label.jpg";
    QTest::newRow("export of a busy label over an earlier picture") << "busy export" << "label.jpg";
}

void TstFaultInjection::fileSizeLimit()
{
    QFETCH(QString, scenario);
    QFETCH(QString, target);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(target);
    // A busy label, or a white one without rings or texts whose JPEG is
    // small, yet above the limit.
    const QByteArray settings = scenario == QLatin1String("busy export")
        ? QByteArray("[Name]\nText=Velmar Kaaskelder\n[Type]\nText=Boerenkaas belegen\n[Sub1]\nText=Hoeve de Vlinder\n"
                     "[Date]\nText=12-03-2024\n[Back]\nColor=clSkyBlue\n")
        : QByteArray("[Back]\nUseColor=1\nColor=clWhite\n[Ring1]\nUse=0\n[Ring2]\nUse=0\n[Ring3]\nUse=0\n"
                     "[Ring4]\nUse=0\n");
    const QByteArray earlier = target.endsWith(QLatin1String(".jpg")) ? QByteArray("an earlier picture") : settings;
    TFixture::WriteFile(dir.filePath(QStringLiteral("merovik.ini")), settings);
    TFixture::WriteFile(path, earlier);
    QVERIFY(qint64(earlier.size()) < qint64(ChildFileSizeLimit));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--limited-child"), scenario, dir.path()});
    QVERIFY2(child.waitForFinished(300000), "the child did not finish");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList errors = lines.filter(QRegularExpression(QStringLiteral("^error: ")));
    QCOMPARE(errors.size(), 1);
    // The system's own reason, as for a full disk, not "Unknown error"; a
    // label file's save keeps the words it has always had.
    const QString failed = target.endsWith(QLatin1String(".jpg")) ? QStringLiteral("Kan niet schrijven naar %1: %2")
                                                                  : QStringLiteral("Unable to write to %1: %2");
    QCOMPARE(errors.first().mid(7), failed.arg(path, QStringLiteral("het bestand wordt te groot")));
    QVERIFY2(lines.contains(QStringLiteral("redrawn")), qPrintable(lines.join(QLatin1Char('|'))));
    if (scenario == QLatin1String("label") || scenario == QLatin1String("settings"))
        QVERIFY2(lines.contains(QStringLiteral("text kept")), qPrintable(lines.join(QLatin1Char('|'))));

    // The earlier file as it was, and nothing half-written beside it.
    QCOMPARE(ReadAll(path), earlier);
    QCOMPARE(FilesNamed(dir.path(), target), QStringList{target});
}

void TstFaultInjection::pictureChangedBetweenPasses_data()
{
    QTest::addColumn<bool>("middle");  // the middle picture, else the background photo
    QTest::addColumn<QString>("change");
    for (const bool middle : {false, true}) {
        const char* const which = middle ? "middle picture" : "background photo";
        for (const char* change : {"deleted", "emptied", "garbage", "truncated", "folder", "another picture"})
            QTest::addRow("%s %s", which, change) << middle << QString::fromLatin1(change);
    }
}

void TstFaultInjection::pictureChangedBetweenPasses()
{
    QFETCH(bool, middle);
    QFETCH(QString, change);
    TFixture f;
    const QString picture = f.Dir.filePath(QStringLiteral("picture.jpg"));
    const QByteArray red = Jpeg(QSize(80, 80), Qt::red);
    TFixture::WriteFile(picture, red);
    // Blue where no picture is drawn; no texts over the centre.
    const QByteArray back = middle ? "[Back]\nUseColor=1\nColor=$00FF0000\nUsePng=1\nPngWidth=50\nPngPosX=0\nPngPosY=0\n"
                                     "PngFile=" + picture.toUtf8() + "\n"
                                   : "[Back]\nUseColor=0\nColor=$00FF0000\nFileName=" + picture.toUtf8() + "\n";
    f.WriteSettings(back);
    TFrmMain& w = f.Open();
    QVERIFY2(Near(Centre(w), Qt::red), qPrintable(PixelText(Centre(w))));

    QColor expected = Qt::blue;
    if (change == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(picture));
    } else if (change == QLatin1String("emptied")) {
        QVERIFY(QFile::resize(picture, 0));
    } else if (change == QLatin1String("garbage")) {
        QByteArray garbage(5000, Qt::Uninitialized);
        for (qsizetype i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 7919) >> 3);
        TFixture::WriteFile(picture, garbage);
    } else if (change == QLatin1String("truncated")) {
        const QByteArray other = Jpeg(QSize(300, 300), Qt::green);
        TFixture::WriteFile(picture, other.left(other.size() / 2));
    } else if (change == QLatin1String("folder")) {
        QVERIFY(QFile::remove(picture));
        QVERIFY(QDir().mkpath(picture));
    } else {
        TFixture::WriteFile(picture, Jpeg(QSize(90, 70), Qt::green));
        expected = Qt::green;
    }
    int draws = w.DrawCount();
    Click(w.chkbRing1);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY2(Near(Centre(w), expected), qPrintable(PixelText(Centre(w))));
    QVERIFY(f.Dialogs.Errors.isEmpty());
    // The path stays: the picture is read anew on every pass.
    QCOMPARE(middle ? w.Document().FLabelBg.PngFile : w.Document().FLabelBg.FileName, picture);

    // Put back, the picture shows again at the next pass.
    if (QFileInfo(picture).isDir())
        QVERIFY(QDir(picture).removeRecursively());
    TFixture::WriteFile(picture, Jpeg(QSize(64, 64), Qt::red));
    draws = w.DrawCount();
    Click(w.chkbRing1);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY2(Near(Centre(w), Qt::red), qPrintable(PixelText(Centre(w))));
}

void TstFaultInjection::pictureRewrittenInPlaceDuringDecode()
{
    // An image editor or a copy saving over the photo truncates the file and
    // writes it anew; a decode running meanwhile must see a short or a whole
    // file, never crash. A second thread keeps rewriting the photo in place
    // while it is decoded again and again.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage noise(2400, 1600, QImage::Format_RGB32);
    quint32 seed = 1;
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xFF000000u | (seed >> 8);
        }
    }
    QByteArray photo;
    {
        QBuffer buffer(&photo);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(noise.save(&buffer, "JPEG", 95));
    }
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    TFixture::WriteFile(path, photo);

    std::atomic<bool> stop = false;
    std::thread rewriter([&] {
        while (!stop) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
                return;
            QThread::usleep(1000);
            file.write(photo);
            file.close();
            QThread::usleep(5000);
        }
    });
    int whole = 0;
    const int decodes = 30;
    for (int i = 0; i < decodes; ++i) {
        if (!TPictureCache::Decode(path).IsNull())
            ++whole;
    }
    stop = true;
    rewriter.join();
    // Every decode returned; which of them met a whole file depends on timing.
    qInfo("%d of %d decodes met a whole file", whole, decodes);
    QCOMPARE(TPictureCache::Decode(path).Image.size(), QSize(2400, 1600));
}

void TstFaultInjection::commandLineRendererUnderFileSizeLimit_data()
{
    QTest::addColumn<QString>("output");  // with --out-dir: the picture of the first label
    QTest::addColumn<int>("limit");       // bytes; the output needs more
    QTest::addColumn<bool>("batch");      // a second label follows, whose picture would fit
    // A file writes through a 16 KB buffer: past it the first part reaches the
    // disk at once, the rest only when the file is closed.
    QTest::newRow("PNG refused within the write buffer") << "label.png" << 4096 << false;
    QTest::newRow("PNG refused past the write buffer") << "label.png" << 17 * 1024 << false;
    QTest::newRow("JPEG refused past the write buffer") << "label.jpg" << 20 * 1024 << false;
    // A busy label makes about 110 KB of PNG at 6 cm, a plain one 20 KB.
    // The limit is the disk's for every file: the batch stops at the first.
    QTest::newRow("batch stops at a refused picture") << "busy.png" << 64 * 1024 << true;
}

// Under a file-size limit, with SIGXFSZ as the shell leaves it, the refused
// write is reported like any other: exit code 1, the earlier file kept; a
// batch stops there with one message instead of rendering the rest in vain.
void TstFaultInjection::commandLineRendererUnderFileSizeLimit()
{
    QFETCH(QString, output);
    QFETCH(int, limit);
    QFETCH(bool, batch);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // White, without rings or texts: the smallest pictures a label makes
    // (about 20 KB as PNG, 33 KB as JPEG at 6 cm).
    const QString plain = dir.filePath(QStringLiteral("plain.lbl"));
    TFixture::WriteFile(plain, "[Back]\nUseColor=1\nColor=clWhite\n[Ring1]\nUse=0\n[Ring2]\nUse=0\n[Ring3]\nUse=0\n"
                               "[Ring4]\nUse=0\n");
    const QString busy = dir.filePath(QStringLiteral("busy.lbl"));
    TFixture::WriteFile(busy, "[Name]\nText=Velmar Kaaskelder\n[Type]\nText=Boerenkaas belegen\n[Back]\nColor=clSkyBlue\n");
    const QString folder = batch ? dir.filePath(QStringLiteral("out")) : dir.path();
    QVERIFY(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(output);
    TFixture::WriteFile(path, "an earlier picture");

    QProcess renderer;
    renderer.setChildProcessModifier([limit] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit fileSize{rlim_t(limit), rlim_t(limit)};
        setrlimit(RLIMIT_FSIZE, &fileSize);
    });
    const QStringList arguments = batch ? QStringList{"--size", "6", "--format", "png", "--out-dir", folder, busy, plain}
                                        : QStringList{"--size", "6", plain, path};
    renderer.start(QStringLiteral(MEROVIK_RENDER_BIN), arguments);
    QVERIFY2(renderer.waitForStarted(), qPrintable(renderer.errorString()));
    QVERIFY2(renderer.waitForFinished(300000), "merovik-render did not finish");
    const QString errors = QString::fromLocal8Bit(renderer.readAllStandardError());
    QCOMPARE(renderer.exitStatus(), QProcess::NormalExit);
    QVERIFY2(renderer.exitCode() == 1, qPrintable(QStringLiteral("exit code %1").arg(renderer.exitCode())));
    QVERIFY2(errors.contains(QStringLiteral("Unable to write to %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(EFBIG)))),
             qPrintable(errors));
    QCOMPARE(ReadAll(path), QByteArray("an earlier picture"));
    QCOMPARE(FilesNamed(folder, output), QStringList{output});
    if (batch) {
        QVERIFY2(errors.contains(QStringLiteral("; stopped, 2 of 2 pictures not written")) && errors.count('\n') == 1,
                 qPrintable(errors));
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("plain.png"))));
    }
}

// The test runs as usual, or re-invoked by fileSizeLimit() as its child.
int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--limited-child") == 0)
        return LimitedChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), argc, argv);
    QApplication application(argc, argv);
    TstFaultInjection test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fault_injection.moc"
