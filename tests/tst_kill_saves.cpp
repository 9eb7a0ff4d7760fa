// A process that saves labels over and over is killed with SIGKILL at random
// moments: every label file it leaves behind is the version it last saved or
// the one it was saving, complete, never a mixture or a cut-off file.
#include "label/label_document.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdio>

namespace {

// The files the saver writes, in turn: two labels and a settings file.
const QStringList& FileNames()
{
    static const QStringList names = {QStringLiteral("Gouda_10.lbl"), QStringLiteral("Boerenkaas_14.lbl"),
                                      QStringLiteral("merovik.ini")};
    return names;
}

// Two versions of a label that differ in every element and greatly in
// length, so a file cut off or mixed from both cannot pass for either.
TLabelDocument Version(int aVersion)
{
    TLabelDocument doc;
    const bool second = aVersion == 1;
    const QString filler = second ? QStringLiteral(" — Velmar Kaaskelder, Hoeve de Vlinder").repeated(60) : QString();
    for (int tag = 1; tag <= 5; ++tag) {
        TLabelText& text = *doc.TextByTag(tag);
        text.Text = QStringLiteral("%1 tekst %2").arg(second ? "tweede" : "eerste").arg(tag) + filler;
        text.FontName = second ? QStringLiteral("DejaVu Sans") : QStringLiteral("Arial");
        text.FontSize = second ? 52 + tag : 30 + tag;
        text.FontColor = second ? 0x00336699u : 0x00000080u;
    }
    TLabelImage& bg = doc.FLabelBg;
    bg.UseColor = true;
    bg.Color = second ? 0x00F0CAA6u : 0x0000FFFFu;
    bg.Effect = second ? 2 : 1;
    bg.Trans = second ? 40 : 10;
    bg.BgPosX = second ? 120 : 0;
    bg.BgPosY = second ? -30 : 5;
    bg.PngPosX = second ? 590 : -590;
    bg.PngPosY = second ? 20 : -20;
    bg.PngWidth = second ? 88 : 12;
    for (int tag = 1; tag <= 4; ++tag) {
        doc.RingByTag(tag)->Use = second == (tag % 2 == 0);
        doc.RingByTag(tag)->Color = second ? 0x00800080u + tag : 0x00008000u + tag;
    }
    return doc;
}

// Save k writes file k % 3 with version (k / 3) % 2.
int FileOfSave(qint64 aSave)
{
    return int(aSave % FileNames().size());
}

int VersionOfSave(qint64 aSave)
{
    return int((aSave / FileNames().size()) % 2);
}

// The child: saves for ever, one line on stdout after each save.
int SaveLoop(const QString& aFolder)
{
    const TLabelDocument versions[2] = {Version(0), Version(1)};
    const QDir folder(aFolder);
    for (qint64 save = 0;; ++save) {
        const QString file = folder.filePath(FileNames()[FileOfSave(save)]);
        const QString error = FileProblemText(versions[VersionOfSave(save)].SaveToFile(file));
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("saved\n");
        std::fflush(stdout);
    }
}

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Copies, for the element lookups by tag are not const.
QStringList Differences(TLabelDocument aA, TLabelDocument aB)
{
    QStringList diffs;
    for (int tag = 1; tag <= 5; ++tag) {
        const TLabelText& a = *aA.TextByTag(tag);
        const TLabelText& b = *aB.TextByTag(tag);
        if (a.Text != b.Text || a.FontName != b.FontName || a.FontSize != b.FontSize || a.FontColor != b.FontColor)
            diffs << a.Id;
    }
    const TLabelImage& a = aA.FLabelBg;
    const TLabelImage& b = aB.FLabelBg;
    if (a.FileName != b.FileName || a.Color != b.Color || a.UseColor != b.UseColor || a.Effect != b.Effect
        || a.Trans != b.Trans || a.PngFile != b.PngFile || a.UsePng != b.UsePng || a.BgPosX != b.BgPosX
        || a.BgPosY != b.BgPosY || a.PngPosX != b.PngPosX || a.PngPosY != b.PngPosY || a.PngWidth != b.PngWidth)
        diffs << a.Id;
    for (int tag = 1; tag <= 4; ++tag) {
        const TLabelItem& ra = *aA.RingByTag(tag);
        const TLabelItem& rb = *aB.RingByTag(tag);
        if (ra.Use != rb.Use || ra.Color != rb.Color)
            diffs << ra.Id;
    }
    return diffs;
}

}  // namespace

class TstKillSaves : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedWhileSaving();

private:
    // The bytes a complete file of each version may hold: written into a new
    // file, or over the other version (which edits the lines in place).
    QList<QByteArray> FComplete[2];
};

void TstKillSaves::initTestCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("versions.lbl"));
    for (const int version : {0, 1, 0}) {
        QCOMPARE(FileProblemText(Version(version).SaveToFile(file)), QString());
        const QByteArray bytes = ReadAll(file);
        if (!FComplete[version].contains(bytes))
            FComplete[version].append(bytes);
    }
    QVERIFY(FComplete[1].first().size() > 4 * FComplete[0].first().size());
}

void TstKillSaves::killedWhileSaving()
{
    // A fixed seed: the same moments on every run.
    QRandomGenerator random(20240312);
    const int rounds = 60;
    int killedMidSave = 0;
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QProcess saver;
        saver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        saver.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-loop"), dir.path()});
        QVERIFY(saver.waitForStarted());

        // Every file saved once, then a few saves more; then a moment
        // within the next save or so.
        const qint64 wanted = FileNames().size() + random.bounded(12);
        qint64 saves = 0;
        while (saves < wanted) {
            if (!saver.canReadLine() && !saver.waitForReadyRead(60000))
                QFAIL("the saver stopped saving");
            while (saver.canReadLine()) {
                QCOMPARE(saver.readLine(), QByteArray("saved\n"));
                ++saves;
            }
        }
        QThread::usleep(random.bounded(3000));
        QCOMPARE(saver.state(), QProcess::Running);
        saver.kill();  // SIGKILL
        QVERIFY(saver.waitForFinished(60000));
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);
        while (saver.canReadLine()) {
            QCOMPARE(saver.readLine(), QByteArray("saved\n"));
            ++saves;
        }

        // Save number `saves` may have been under way, or done but not yet
        // reported; every earlier one is complete.
        for (int f = 0; f < FileNames().size(); ++f) {
            qint64 last = saves - 1;
            while (FileOfSave(last) != f)
                --last;
            QList<int> allowed = {VersionOfSave(last)};
            if (FileOfSave(saves) == f)
                allowed.append(VersionOfSave(saves));
            const QString path = dir.filePath(FileNames()[f]);
            const QByteArray bytes = ReadAll(path);
            int found = -1;
            for (const int version : allowed) {
                if (FComplete[version].contains(bytes))
                    found = version;
            }
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("round %1: %2 (%3 bytes) is no complete version")
                                                .arg(round)
                                                .arg(FileNames()[f])
                                                .arg(bytes.size())));
            if (found != VersionOfSave(last))
                ++killedMidSave;
            TLabelDocument loaded;
            QVERIFY(loaded.LoadFromFile(path).Ok());
            QCOMPARE(Differences(loaded, Version(found)), QStringList());
        }
    }
    qInfo("%d of %d kills left a file that the save under way had completed", killedMidSave, rounds);
}

// The test runs as usual, or re-invoked by killedWhileSaving() as the saver.
int main(int argc, char** argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--save-loop") == 0)
        return SaveLoop(QString::fromLocal8Bit(argv[2]));
    QCoreApplication application(argc, argv);
    TstKillSaves test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kill_saves.moc"
