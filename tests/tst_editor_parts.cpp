// The editor's small parts: program paths, the error box text, the link
// target, the display scaling and the radio group.
#include "editor/dialogs.h"
#include "editor/image_view.h"
#include "editor/main_window.h"
#include "editor/program_paths.h"
#include "editor/radio_group.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TstEditorParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsFileName_data();
    void settingsFileName();
    void pathsBesideAWritableExecutable();
    void pathsOfAnUnwritableFolderArePerUser();
    void errorBoxText_data();
    void errorBoxText();
    void linkTarget_data();
    void linkTarget();
    void scaleForDisplay_data();
    void scaleForDisplay();
    void scaleForDisplayKeepsTheRasterUnshared();
    void radioGroupClicksOnEveryChange();
};

void TstEditorParts::initTestCase()
{
    // Per-user locations under a test folder, never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Merovik"));
}

void TstEditorParts::settingsFileName_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("settings");
    QTest::newRow("no extension gets .ini") << "/opt/merovik/merovik" << "/opt/merovik/merovik.ini";
    QTest::newRow("extension replaced") << "/opt/merovik/merovik.exe" << "/opt/merovik/merovik.ini";
    QTest::newRow("only the last extension") << "/opt/m/merovik.v2.bin" << "/opt/m/merovik.v2.ini";
    QTest::newRow("dot in a folder name is no extension") << "/home/a.b/merovik" << "/home/a.b/merovik.ini";
    QTest::newRow("bare name") << "merovik" << "merovik.ini";
}

void TstEditorParts::settingsFileName()
{
    QFETCH(QString, executable);
    QFETCH(QString, settings);
    QCOMPARE(SettingsFileFor(executable), settings);
}

void TstEditorParts::pathsBesideAWritableExecutable()
{
    QTemporaryDir dir;
    const TProgramPaths paths = TProgramPaths::ForExecutable(dir.filePath(QStringLiteral("merovik")));
    QCOMPARE(paths.SettingsFile, dir.filePath(QStringLiteral("merovik.ini")));
    QCOMPARE(paths.LabelsFolder, dir.filePath(QStringLiteral("labels")));
}

void TstEditorParts::pathsOfAnUnwritableFolderArePerUser()
{
    // A folder that does not exist cannot be written by anyone, root included.
    const TProgramPaths paths = TProgramPaths::ForExecutable(QStringLiteral("/nonexistent/merovik-bin/merovik"));
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(!config.isEmpty());
    QCOMPARE(paths.SettingsFile, config + QStringLiteral("/merovik.ini"));
    QCOMPARE(paths.LabelsFolder, data + QStringLiteral("/labels"));
}

void TstEditorParts::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a full stop")
        << "''geel'' is not a valid integer value" << "''geel'' is not a valid integer value.";
    QTest::newRow("file name gets one") << "Unable to write to /a/merovik.ini" << "Unable to write to /a/merovik.ini.";
    QTest::newRow("full stop kept single") << "Klaar." << "Klaar.";
    QTest::newRow("exclamation mark sorts before .") << "Let op!" << "Let op!";
    QTest::newRow("closing parenthesis sorts before .") << "fout (2)" << "fout (2)";
    QTest::newRow("slash sorts after .") << "map /tmp/" << "map /tmp/.";
    QTest::newRow("digit sorts after .") << "fout 2" << "fout 2.";
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("each line of several") << "''a'' is not valid\n''b'' is not valid"
                                          << "''a'' is not valid.\n''b'' is not valid.";
}

void TstEditorParts::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
}

void TstEditorParts::linkTarget_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("url");
    QTest::newRow("bare host gets https") << "cheeseforum.org" << "https://cheeseforum.org";
    QTest::newRow("host and path") << "www.cheeseforum.org/index.php" << "https://www.cheeseforum.org/index.php";
    QTest::newRow("scheme kept") << "http://example.org/kaas" << "http://example.org/kaas";
}

void TstEditorParts::linkTarget()
{
    QFETCH(QString, link);
    QFETCH(QString, url);
    QCOMPARE(LinkTarget(link), QUrl(url));
}

void TstEditorParts::scaleForDisplay_data()
{
    QTest::addColumn<int>("raster");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<int>("side");  // device pixels; 0 for a null image

    QTest::newRow("designed size") << 1200 << QSize(641, 641) << 1.0 << 641;
    QTest::newRow("wide area: height decides") << 1650 << QSize(1000, 500) << 1.0 << 500;
    QTest::newRow("tall area: width decides") << 750 << QSize(300, 900) << 1.0 << 300;
    QTest::newRow("high dpi doubles the pixels") << 1200 << QSize(641, 641) << 2.0 << 1282;
    QTest::newRow("fractional dpi rounds") << 1200 << QSize(641, 700) << 1.5 << 962;
    QTest::newRow("empty area shows nothing") << 1200 << QSize(0, 400) << 1.0 << 0;
}

void TstEditorParts::scaleForDisplay()
{
    QFETCH(int, raster);
    QFETCH(QSize, target);
    QFETCH(qreal, dpr);
    QFETCH(int, side);

    QImage image(raster, raster, QImage::Format_RGB32);
    image.fill(Qt::white);
    // A dark left half: the scaled copy must keep the picture, not just its size.
    for (int y = 0; y < raster; ++y)
        for (int x = 0; x < raster / 2; ++x)
            image.setPixel(x, y, qRgb(0, 0, 80));
    const QImage shown = ScaleForDisplay(image, target, dpr);
    if (side == 0) {
        QVERIFY(shown.isNull());
        return;
    }
    QCOMPARE(shown.size(), QSize(side, side));
    QCOMPARE(shown.devicePixelRatio(), dpr);
    QCOMPARE(shown.pixel(side / 4, side / 2), qRgb(0, 0, 80));
    QCOMPARE(shown.pixel(side * 3 / 4, side / 2), qRgb(255, 255, 255));
}

void TstEditorParts::scaleForDisplayKeepsTheRasterUnshared()
{
    QImage raster(1200, 1200, QImage::Format_RGB32);
    raster.fill(Qt::yellow);
    TImageView view;
    view.resize(641, 641);
    view.SetRaster(&raster);
    QVERIFY(view.Shown().isNull());
    view.RasterChanged();
    QVERIFY(!view.Shown().isNull());
    // Drawing into the raster again must not copy it: it is not shared.
    const uchar* before = raster.constBits();
    raster.fill(Qt::red);
    QCOMPARE(raster.constBits(), before);
    QCOMPARE(view.Shown().pixel(10, 10), qRgb(255, 255, 0));
    view.RasterChanged();
    QCOMPARE(view.Shown().pixel(10, 10), qRgb(255, 0, 0));
}

void TstEditorParts::radioGroupClicksOnEveryChange()
{
    TRadioGroup group(QStringLiteral("Formaat"), {QStringLiteral("6 cm"), QStringLiteral("10 cm"), QStringLiteral("14 cm")}, 3);
    QSignalSpy clicks(&group, &TRadioGroup::Click);
    QCOMPARE(group.ItemIndex(), -1);

    group.SetItemIndex(1);
    QCOMPARE(group.ItemIndex(), 1);
    QCOMPARE(clicks.size(), 1);
    group.SetItemIndex(1);
    QCOMPARE(clicks.size(), 1);

    // The handler sees the new item when it runs.
    int seen = -2;
    connect(&group, &TRadioGroup::Click, &group, [&] { seen = group.ItemIndex(); });
    group.Item(2)->click();
    QCOMPARE(seen, 2);
    QCOMPARE(clicks.size(), 2);

    group.SetItemIndex(7);
    QCOMPARE(group.ItemIndex(), -1);
    QCOMPARE(clicks.size(), 2);
    group.SetItemIndex(0);
    QCOMPARE(seen, 0);
}

QTEST_MAIN(TstEditorParts)
#include "tst_editor_parts.moc"
