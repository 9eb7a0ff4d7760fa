// The desktop files as the system-wide install puts them: the menu entry, the
// icon, the label files' type, the software centre's metadata and the
// thumbnailer, checked with the desktop's own tools, and what a file manager
// then makes of .lbl files.
#include "kit/icons.h"
#include "label/label_document.h"
#include "tst_render_support.h"

#include <QFile>
#include <QIcon>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString LabelType = QStringLiteral("application/x-merovik-label");
// Another program's text format that claims *.lbl as well, as a desktop may have one.
const QString OtherType = QStringLiteral("application/x-other-label");
const QByteArray OtherProgramPackage = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other-label">
    <comment>Another program's label</comment>
    <sub-class-of type="text/plain"/>
    <glob pattern="*.lbl"/>
  </mime-type>
</mime-info>
)";

// Runs a tool; its exit code and everything it printed.
QPair<int, QString> Run(const QString& aProgram, const QStringList& aArguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(aProgram, aArguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, aProgram + QStringLiteral(" did not run: ") + process.errorString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

// The value of aKey in a .desktop file's main group.
QString DesktopValue(const QByteArray& aEntry, const QString& aKey)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(aKey)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(aEntry)).captured(1).trimmed();
}

}  // namespace

class TstDesktopFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void desktopEntryValid();
    void mimeInfoValid();
    void labelFileType_data();
    void labelFileType();
    void windowIconIsTheInstalledIcon();
    void thumbnailerDrawsLabelFiles();

private:
    QString Installed(const QString& aPath) const { return FPrefix.filePath(aPath); }

    QTemporaryDir FPrefix;
    QTemporaryDir FFiles;
};

void TstDesktopFiles::initTestCase()
{
    QVERIFY(FPrefix.isValid() && FFiles.isValid());
    const auto [code, output] = Run(QStringLiteral(CMAKE_COMMAND),
                                    {QStringLiteral("--install"), QStringLiteral(MEROVIK_BUILD_DIR),
                                     QStringLiteral("--prefix"), FPrefix.path()});
    QVERIFY2(code == 0, qPrintable(output));

    // As on a desktop that has the other program too: its package beside
    // ours, one database made from both.
    const QString mime = Installed(QStringLiteral("share/mime"));
    QVERIFY(WriteFile(mime + QStringLiteral("/packages/other.xml"), OtherProgramPackage));
    const auto [updateCode, updateOutput] = Run(QStringLiteral("update-mime-database"), {mime});
    QVERIFY2(updateCode == 0, qPrintable(updateOutput));
    // The installed types and the system's; no user's own.
    qputenv("XDG_DATA_HOME", FFiles.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (Installed(QStringLiteral("share")) + QStringLiteral(":/usr/share")).toLocal8Bit());
}

void TstDesktopFiles::desktopEntryValid()
{
    const QString file = Installed(QStringLiteral("share/applications/nl.merovik.Merovik.desktop"));
    const auto [code, output] = Run(QStringLiteral("desktop-file-validate"), {file});
    QVERIFY2(code == 0 && output.isEmpty(), qPrintable(output));

    // What it names is installed with it, and the file manager hands the program one file.
    const QByteArray entry = ReadAll(file);
    const QStringList exec = DesktopValue(entry, QStringLiteral("Exec")).split(QLatin1Char(' '));
    QVERIFY2(QFileInfo(Installed(QStringLiteral("bin/") + exec.value(0))).isExecutable(), qPrintable(exec.value(0)));
    QCOMPARE(exec.value(1), QStringLiteral("%f"));
    const QString icon = DesktopValue(entry, QStringLiteral("Icon"));
    QVERIFY2(QFile::exists(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))),
             qPrintable(icon));
    QCOMPARE(DesktopValue(entry, QStringLiteral("MimeType")), LabelType + QLatin1Char(';'));
    QVERIFY(QMimeDatabase().mimeTypeForName(LabelType).isValid());

    // Software centres find the entry by the metadata's id, and the programs and type it names.
    const QString metainfo =
        QString::fromUtf8(ReadAll(Installed(QStringLiteral("share/metainfo/nl.merovik.Merovik.metainfo.xml"))));
    QVERIFY(metainfo.contains(QStringLiteral("<id>nl.merovik.Merovik</id>")));
    QVERIFY(metainfo.contains(
        QStringLiteral("<launchable type=\"desktop-id\">%1</launchable>").arg(QFileInfo(file).fileName())));
    QVERIFY(metainfo.contains(QStringLiteral("<mediatype>%1</mediatype>").arg(LabelType)));
    for (const QString& program : {QStringLiteral("merovik"), QStringLiteral("merovik-render")})
        QVERIFY2(metainfo.contains(QStringLiteral("<binary>%1</binary>").arg(program))
                     && QFileInfo(Installed(QStringLiteral("bin/") + program)).isExecutable(),
                 qPrintable(program));
}

void TstDesktopFiles::mimeInfoValid()
{
    // shared-mime-info ships the schema of its package files as the inline
    // DTD of its own package file; check ours against it.
    const QByteArray system = ReadAll(QStringLiteral("/usr/share/mime/packages/freedesktop.org.xml"));
    const qsizetype start = system.indexOf("<!DOCTYPE mime-info [");
    const qsizetype end = system.indexOf("]>", start);
    QVERIFY2(start >= 0 && end > start, "no schema in the system's MIME package");
    const qsizetype subset = system.indexOf('[', start) + 1;
    const QString dtd = FFiles.filePath(QStringLiteral("mime-info.dtd"));
    QVERIFY(WriteFile(dtd, system.mid(subset, end - subset)));

    const auto [code, output] =
        Run(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--dtdvalid"), dtd,
                                        Installed(QStringLiteral("share/mime/packages/merovik.xml"))});
    QVERIFY2(code == 0 && output.isEmpty(), qPrintable(output));
    // The type's own icon, for label files in the file manager.
    QVERIFY(QFile::exists(
        Installed(QStringLiteral("share/icons/hicolor/scalable/mimetypes/application-x-merovik-label.svg"))));
}

void TstDesktopFiles::labelFileType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");  // empty: a label as the editor saves it
    QTest::addColumn<QString>("type");

    QTest::newRow("saved by the editor") << "saved.lbl" << QByteArray() << LabelType;
    QTest::newRow("saved by the editor, no extension") << "saved" << QByteArray() << LabelType;
    QTest::newRow("ring section first") << "ring.lbl" << QByteArray("[Ring3]\nUse=0\n[Name]\nText=Gouda\n")
                                        << LabelType;
    QTest::newRow("byte order mark") << "bom.lbl" << QByteArray("\xEF\xBB\xBF[Name]\r\nText=Gouda\r\n")
                                     << LabelType;
    QTest::newRow("comment lines first, Windows line ends")
        << "notes.lbl" << QByteArray("; Kaaslabel voor de markt\r\n# met de hand\r\n\r\n[Back]\r\nUseColor=1\r\n")
        << LabelType;
    QTest::newRow("byte order mark and a comment")
        << "bomnote.lbl" << QByteArray("\xEF\xBB\xBF; markt\n[Date]\nText=2024\n") << LabelType;
    QTest::newRow("another program's text label") << "address.lbl"
                                                  << QByteArray("Jan Jansen\nKaasmarkt 1\nAlkmaar\n") << OtherType;
    QTest::newRow("another program's INI without label sections")
        << "printer.lbl" << QByteArray("[Printer]\nName=Zebra\n[Layout]\nColumns=2\n") << OtherType;
}

void TstDesktopFiles::labelFileType()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(QString, type);

    const QString file = FFiles.filePath(name);
    if (contents.isEmpty()) {
        TLabelDocument document;
        document.FLabelName.Text = QStringLiteral("Boerenkaas");
        QCOMPARE(FileProblemText(document.SaveToFile(file)), QString());
    } else {
        QVERIFY(WriteFile(file, contents));
    }
    QCOMPARE(QMimeDatabase().mimeTypeForFile(file).name(), type);
}

void TstDesktopFiles::windowIconIsTheInstalledIcon()
{
    const QString compiledIn = MerovikProgramIconPath();
    QCOMPARE(ReadAll(compiledIn), ReadAll(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/merovik.svg"))));

    // Round: drawn in the middle, clear in the corners, at a task bar's size and a title bar's.
    for (const int size : {16, 48}) {
        const QImage image = QIcon(compiledIn).pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
            QCOMPARE(qAlpha(image.pixel(corner)), 0);
    }
}

// The thumbnailer as a file manager reads and runs it: for the label type,
// its program installed, %s %i %o filled in, a file name with a space.
void TstDesktopFiles::thumbnailerDrawsLabelFiles()
{
    const QByteArray entry = ReadAll(Installed(QStringLiteral("share/thumbnailers/merovik.thumbnailer")));
    QVERIFY(entry.startsWith("[Thumbnailer Entry]\n"));
    QCOMPARE(DesktopValue(entry, QStringLiteral("MimeType")), LabelType + QLatin1Char(';'));
    const QString tryExec = DesktopValue(entry, QStringLiteral("TryExec"));
    QStringList exec = DesktopValue(entry, QStringLiteral("Exec")).split(QLatin1Char(' '));
    QCOMPARE(exec.takeFirst(), tryExec);
    const QString program = Installed(QStringLiteral("bin/") + tryExec);
    QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));

    const QString label = FFiles.filePath(QStringLiteral("kaas van de week.lbl"));
    TLabelDocument document;
    document.FLabelName.Text = QStringLiteral("Boerenkaas");
    QVERIFY(document.SaveToFile(label).IsNone());
    const QString output = FFiles.filePath(QStringLiteral("thumbnail-out"));
    for (QString& argument : exec)
        argument.replace(QLatin1String("%s"), QLatin1String("128"))
            .replace(QLatin1String("%i"), label)
            .replace(QLatin1String("%o"), output);
    const auto [code, messages] = Run(program, exec);
    QVERIFY2(code == 0 && messages.isEmpty(), qPrintable(messages));
    QCOMPARE(QImage(output).size(), QSize(128, 128));
}

QTEST_MAIN(TstDesktopFiles)
#include "tst_desktop_files.moc"
