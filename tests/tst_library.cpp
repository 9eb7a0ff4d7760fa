// The toolbar commands: new label, load, save and delete label files, and the
// JPEG export, through the window's buttons and its dialog seam.
#include "editor/image_view.h"
#include "editor/radio_group.h"
#include "editor_fixture.h"
#include "kit/color_selector.h"

#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

namespace {

QByteArray ReadAll(const QString& aPath)
{
    QFile file(aPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double MeanDifference(const QImage& aA, const QImage& aB)
{
    const QImage a = aA.convertToFormat(QImage::Format_RGB32);
    const QImage b = aB.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
            sum += std::abs(qRed(pa) - qRed(pb)) + std::abs(qGreen(pa) - qGreen(pb)) + std::abs(qBlue(pa) - qBlue(pb));
        }
    return sum / (3.0 * a.width() * a.height());
}

enum TCommand { SaveLabel, Export, Delete };

enum TLoadWay { LoadDialog, Argument, Dropped };

// Where a drag is over: the label picture, the tabs or a text edit.
enum TDropPlace { OnPicture, OnTabs, OnTextEdit };


}  // namespace

class TstLibrary : public QObject
{
    Q_OBJECT

private slots:
    void suggestedNames_data();
    void suggestedNames();
    void saveNewLoad();
    void loadingAMissingFileGivesDefaults();
    void deleteAsksAndObeys_data();
    void deleteAsksAndObeys();
    void exportWritesTheFullRaster_data();
    void exportWritesTheFullRaster();
    void failuresAreReported_data();
    void failuresAreReported();
    void exportKeepsOtherFiles_data();
    void exportKeepsOtherFiles();
    void loadTellsOfAPhotoThatIsGone();
    void failedLoadKeepsTheDesign_data();
    void failedLoadKeepsTheDesign();
    void titleNamesTheLabelFile();
    void exportDrawsPendingTyping();
    void drops_data();
    void drops();
};

void TstLibrary::suggestedNames_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("picture");
    QTest::newRow("asterisks and spaces kept, 10 cm")
        << "* * Proosdij Kaas * *" << 1 << "* * Proosdij Kaas * *_10.lbl" << "* * Proosdij Kaas * *.jpg";
    QTest::newRow("6 cm") << "Gouda" << 0 << "Gouda_6.lbl" << "Gouda.jpg";
    QTest::newRow("14 cm") << "Edam" << 2 << "Edam_14.lbl" << "Edam.jpg";
    QTest::newRow("empty type") << "" << 1 << "_10.lbl" << ".jpg";
    QTest::newRow("slash becomes dash") << "Jong/Belegen" << 0 << "Jong-Belegen_6.lbl" << "Jong-Belegen.jpg";
}

void TstLibrary::suggestedNames()
{
    QFETCH(QString, type);
    QFETCH(int, size);
    QFETCH(QString, label);
    QFETCH(QString, picture);
    TFixture f;
    TFrmMain& w = f.Open();
    w.edtType->setText(type);
    Click(w.rdgLabelSize->Item(size));
    Click(w.btnSaveLbl);  // both dialogs cancelled
    Click(w.BtnSave);
    const QString folder = f.Paths().LabelsFolder;
    QCOMPARE(f.Dialogs.SaveLabelRequests.value(0).FileName, label);
    QCOMPARE(f.Dialogs.SaveLabelRequests.value(0).Folder, folder);
    QCOMPARE(f.Dialogs.SavePictureRequests.value(0).FileName, picture);
    QCOMPARE(f.Dialogs.SavePictureRequests.value(0).Folder, folder);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    QCOMPARE(w.Document().FLabelType.Text, type);  // the text keeps its slash
}

void TstLibrary::saveNewLoad()
{
    TFixture f;
    // Every element away from its defaults, and a key added by hand.
    const QString rich = QStringLiteral(MEROVIK_TEST_DATA "/label_windows1252.lbl");
    const QString file = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("Gruyere_10.lbl"));
    const QString again = f.Dir.filePath(QStringLiteral("again.lbl"));
    QVERIFY(QDir().mkpath(f.Paths().LabelsFolder));
    for (const QString& copy : {f.Paths().SettingsFile, file, again})
        QVERIFY(QFile::copy(rich, copy));
    TFrmMain& w = f.Open();
    const TLabelDocument saved = w.Document();
    f.Dialogs.SaveLabelAnswers = {file, again};
    f.Dialogs.OpenLabelAnswers = {file};
    const int draws = w.DrawCount();
    Click(w.btnSaveLbl);
    QCOMPARE(w.DrawCount(), draws);  // saving draws nothing
    QVERIFY(ReadAll(file).contains("Opmerking=handmatig toegevoegd"));

    // A new label: texts, white background and no rings; fonts and colours stay. Drawn once.
    Click(w.btnNew);
    const TLabelDocument& doc = w.Document();
    QCOMPARE(w.edtName->text(), QStringLiteral("Naam kaasmerk"));
    QVERIFY(doc.FLabelBg.UseColor && doc.FLabelBg.FileName.isEmpty());
    QCOMPARE(w.colbBackground->SelectedColor(), 0x00FFFFFFu);
    QVERIFY(!doc.FLabelRing1.Use && !doc.FLabelRing3.Use && !w.chkbRing3->isChecked());
    QCOMPARE(doc.FLabelName.FontSize, saved.FLabelName.FontSize);
    QCOMPARE(doc.FLabelRing3.Color, saved.FLabelRing3.Color);
    QCOMPARE(doc.FLabelBg.Trans, saved.FLabelBg.Trans);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY(!w.Timer->isActive());

    Click(w.btnLoad);
    QCOMPARE(f.Dialogs.OpenLabelRequests.last().Folder, f.Paths().LabelsFolder);
    QCOMPARE(Differences(w.Document(), saved), QStringList());
    QCOMPARE(w.DrawCount(), draws + 2);
    QCOMPARE(w.edtType->text(), saved.FLabelType.Text);
    // Written again from the loaded state: the same bytes.
    Click(w.btnSaveLbl);
    QCOMPARE(ReadAll(again), ReadAll(file));
    QVERIFY(f.Dialogs.Errors.isEmpty());
}

void TstLibrary::loadingAMissingFileGivesDefaults()
{
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Back]\nColor=clRed\n[Ring1]\nUse=0\nColor=clBlue\n");
    TFrmMain& w = f.Open();
    const int draws = w.DrawCount();
    const QString missing = f.Dir.filePath(QStringLiteral("bestaat niet.lbl"));
    f.Dialogs.OpenLabelAnswers.push_back(missing);
    Click(w.btnLoad);
    QCOMPARE(w.DrawCount(), draws + 1);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QVERIFY(w.edtName->text().isEmpty() && w.chkbRing1->isChecked());
    QCOMPARE(w.Document().FLabelBg.Color, 0x0000FFFFu);
    QVERIFY(!QFile::exists(missing));  // reading creates no file
}

void TstLibrary::deleteAsksAndObeys_data()
{
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("remains");
    QTest::newRow("Yes deletes") << true << true << false;
    QTest::newRow("No keeps") << true << false << true;
    QTest::newRow("cancelled dialog asks nothing") << false << true << true;
}

void TstLibrary::deleteAsksAndObeys()
{
    QFETCH(bool, chosen);
    QFETCH(bool, yes);
    QFETCH(bool, remains);
    TFixture f;
    TFrmMain& w = f.Open();
    QVERIFY(QDir().mkpath(f.Paths().LabelsFolder));
    const QString file = QDir(f.Paths().LabelsFolder).filePath(QStringLiteral("Gouda_6.lbl"));
    TFixture::WriteFile(file, "[Name]\nText=Gouda\n");
    w.HandleIniFile(file, false);  // the label on screen came from that very file
    const TLabelDocument shown = w.Document();
    const QImage raster = w.Renderer().Raster().copy();
    const int draws = w.DrawCount();
    if (chosen)
        f.Dialogs.OpenLabelAnswers.push_back(file);
    f.Dialogs.ConfirmAnswers.push_back(yes);
    Click(w.btnDel);
    QCOMPARE(f.Dialogs.Questions, chosen ? QStringList{QStringLiteral("Wilt u \"Gouda_6.lbl\" verwijderen?")} : QStringList());
    QCOMPARE(QFile::exists(file), remains);
    QVERIFY(f.Dialogs.Errors.isEmpty());
    QCOMPARE(Differences(w.Document(), shown), QStringList());
    QCOMPARE(w.DrawCount(), draws);
    QCOMPARE(w.Renderer().Raster(), raster);
    QCOMPARE(w.edtName->text(), QStringLiteral("Gouda"));
}

void TstLibrary::exportWritesTheFullRaster_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("width");
    QTest::newRow("6 cm") << 0 << 750;
    QTest::newRow("10 cm") << 1 << 1200;
    QTest::newRow("14 cm") << 2 << 1650;
}

void TstLibrary::exportWritesTheFullRaster()
{
    QFETCH(int, size);
    QFETCH(int, width);
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar's Kaaskelder\n[Type]\nText=Gouda\n[Back]\nColor=$0099E6FF\n"
                    "[Ring1]\nColor=$00336699\n");
    TFrmMain& w = f.Open();
    int draws = w.DrawCount();
    Click(w.rdgLabelSize->Item(size));
    QCOMPARE(w.DrawCount(), draws + (size != 1));
    draws = w.DrawCount();
    const QString folder = f.Paths().LabelsFolder;
    const QString file = QDir(folder).filePath(QStringLiteral("Gouda.jpg"));
    QVERIFY(QDir().mkpath(folder));
    TFixture::WriteFile(file, "an older picture");
    f.Dialogs.SavePictureAnswers.push_back(file);
    Click(w.BtnSave);
    QVERIFY2(f.Dialogs.Errors.isEmpty(), qPrintable(f.Dialogs.Errors.join(QLatin1Char('\n'))));
    QCOMPARE(w.DrawCount(), draws);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Gouda.jpg")});

    const QByteArray data = ReadAll(file);
    QImage picture;
    QVERIFY(picture.loadFromData(data, "JPEG"));
    QCOMPARE(picture.size(), QSize(width, width));
    QCOMPARE(qRound(picture.dotsPerMeterX() * 0.0254), 300);
    // libjpeg's luminance table peaks at 5 for quality 98 (7 at 97, 2 at 99).
    const qsizetype dqt = data.indexOf("\xFF\xDB");
    QVERIFY(dqt > 0 && data.at(dqt + 4) == 0);
    QCOMPARE(*std::max_element(data.begin() + dqt + 5, data.begin() + dqt + 69), char(5));
    for (const QPoint corner : {QPoint(2, 2), QPoint(width - 3, 2), QPoint(2, width - 3), QPoint(width - 3, width - 3)})
        QVERIFY2(qGray(picture.pixel(corner)) >= 250, qPrintable(QString::number(picture.pixel(corner), 16)));
    // The raster itself, not the picture on screen.
    const double difference = MeanDifference(picture, w.Renderer().Raster());
    QVERIFY2(difference < 1.5, qPrintable(QString::number(difference)));
}

void TstLibrary::failuresAreReported_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("target");  // in the temporary folder, where "blocker" is a regular file
    QTest::addColumn<bool>("folder");
    QTest::newRow("label saved under a regular file") << int(SaveLabel) << "blocker/Gouda_10.lbl" << false;
    QTest::newRow("picture exported under a regular file") << int(Export) << "blocker/label.jpg" << false;
    QTest::newRow("picture exported onto a folder") << int(Export) << "label.jpg" << true;
    QTest::newRow("deleting a file already gone") << int(Delete) << "weg.lbl" << false;
    QTest::newRow("deleting a folder") << int(Delete) << "map.lbl" << true;
}

void TstLibrary::failuresAreReported()
{
    QFETCH(int, command);
    QFETCH(QString, target);
    QFETCH(bool, folder);
    TFixture f;
    TFixture::WriteFile(f.Dir.filePath(QStringLiteral("blocker")), "a file");
    const QString path = f.Dir.filePath(target);
    if (folder)
        QVERIFY(QDir().mkpath(path));
    TFrmMain& w = f.Open();
    f.Dialogs.SaveLabelAnswers.push_back(path);
    f.Dialogs.SavePictureAnswers.push_back(path);
    f.Dialogs.OpenLabelAnswers.push_back(path);
    f.Dialogs.ConfirmAnswers.push_back(true);
    Click(command == SaveLabel ? w.btnSaveLbl : command == Export ? w.BtnSave : w.btnDel);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(QFileInfo(path).fileName()), qPrintable(f.Dialogs.Errors.first()));
    QCOMPARE(QFileInfo(path).isDir(), folder);
    // Nothing half-written is left, and the blocking file is untouched.
    QCOMPARE(QDir(f.Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("blocker")});
    QCOMPARE(ReadAll(f.Dir.filePath(QStringLiteral("blocker"))), QByteArray("a file"));
}

void TstLibrary::exportKeepsOtherFiles_data()
{
    QTest::addColumn<QString>("target");  // "photo": the label's photo; "link": a link to a file elsewhere
    QTest::newRow("the label's own photo is refused") << "photo";
    QTest::newRow("a hard link to the label's photo is refused") << "hard";
    QTest::newRow("a link is replaced, not written through") << "link";
}

// The export never replaces a picture the label draws, and never writes
// through a link into another folder.
void TstLibrary::exportKeepsOtherFiles()
{
    QFETCH(QString, target);
    TFixture f;
    const QString photo = f.Picture();
    f.WriteSettings("[Back]\nUseColor=0\nFileName=" + photo.toUtf8() + '\n');
    const QString elsewhere = f.Dir.filePath(QStringLiteral("elders/victim.txt"));
    QVERIFY(QDir().mkpath(QFileInfo(elsewhere).path()));
    TFixture::WriteFile(elsewhere, "not a picture of ours");
    const QString link = f.Dir.filePath(QStringLiteral("label.jpg"));
    if (target == "link")
        QVERIFY(QFile::link(elsewhere, link));
    if (target == "hard")
        QVERIFY(::link(QFile::encodeName(photo).constData(), QFile::encodeName(link).constData()) == 0);
    const QByteArray photoBytes = ReadAll(photo);
    TFrmMain& w = f.Open();
    f.Dialogs.SavePictureAnswers.push_back(target == "photo" ? photo : link);
    Click(w.BtnSave);
    QCOMPARE(ReadAll(photo), photoBytes);
    QCOMPARE(ReadAll(elsewhere), QByteArray("not a picture of ours"));
    if (target == "link") {
        QVERIFY2(f.Dialogs.Errors.isEmpty(), qPrintable(f.Dialogs.Errors.join('\n')));
        QVERIFY(!QFileInfo(link).isSymLink() && QImage(link).width() > 0);
    } else {
        QCOMPARE(f.Dialogs.Errors.size(), 1);
        QVERIFY2(f.Dialogs.Errors[0].contains(QStringLiteral("de achtergrondfoto van het label")),
                 qPrintable(f.Dialogs.Errors[0]));
    }
}

void TstLibrary::loadTellsOfAPhotoThatIsGone()
{
    TFixture f;
    const QByteArray gone = "[Name]\nText=Gouda\n[Back]\nUseColor=0\nFileName=weg.jpg\n";
    f.WriteSettings(gone);
    const QString label = f.Dir.filePath(QStringLiteral("Gouda_10.lbl"));
    TFixture::WriteFile(label, gone);
    TFrmMain& w = f.Open();
    QVERIFY(f.Dialogs.Errors.isEmpty());  // not at start, where no one asked for a file
    f.Dialogs.OpenLabelAnswers.push_back(label);
    Click(w.btnLoad);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(QLatin1String("weg.jpg")), qPrintable(f.Dialogs.Errors.first()));
    QCOMPARE(w.edtName->text(), QStringLiteral("Gouda"));  // loaded all the same
}

void TstLibrary::failedLoadKeepsTheDesign_data()
{
    QTest::addColumn<bool>("dialog");  // else named on the command line
    QTest::addColumn<QString>("target");  // in the temporary folder; "map.lbl" is a folder
    QTest::newRow("folder through the load dialog") << true << "map.lbl";
    QTest::newRow("device through the load dialog") << true << "/dev/null";
    QTest::newRow("picture through the load dialog") << true << "middle.png";
    QTest::newRow("picture on the command line") << false << "middle.png";
    QTest::newRow("folder on the command line") << false << "map.lbl";
    QTest::newRow("missing file on the command line") << false << "weg.lbl";
}

void TstLibrary::failedLoadKeepsTheDesign()
{
    QFETCH(bool, dialog);
    QFETCH(QString, target);
    TFixture f;
    f.WriteSettings("[Name]\nText=Velmar\n[Ring1]\nUse=0\n");
    QVERIFY(QDir().mkpath(f.Dir.filePath(QStringLiteral("map.lbl"))));
    f.Picture();
    const QString path = target.startsWith(QLatin1Char('/')) ? target : f.Dir.filePath(target);
    TFrmMain& w = f.Open();
    // Unsaved work on screen.
    QTest::keyClicks(w.edtType, QStringLiteral("Gouda"));
    w.colbRing2->Pick(0x00FF00FF);
    const TLabelDocument design = w.Document();
    const int draws = w.DrawCount();
    f.Dialogs.OpenLabelAnswers.push_back(path);
    if (dialog)
        Click(w.btnLoad);
    else
        w.OpenLabelFile(path);
    QCOMPARE(f.Dialogs.Errors.size(), 1);
    QVERIFY2(f.Dialogs.Errors.first().contains(path), qPrintable(f.Dialogs.Errors.first()));
    QCOMPARE(Differences(w.Document(), design), QStringList());
    QVERIFY(w.edtType->text() == QStringLiteral("Gouda") && !w.chkbRing1->isChecked());
    QCOMPARE(w.UndoStack().count(), 2);
    QCOMPARE(w.windowTitle(), QStringLiteral("Merovik"));
    QTRY_COMPARE(w.DrawCount(), draws + 1);  // only the typing's own redraw
}

void TstLibrary::titleNamesTheLabelFile()
{
    TFixture f;
    const QString gouda = f.Dir.filePath(QStringLiteral("Gouda_6.lbl"));
    const QString edam = f.Dir.filePath(QStringLiteral("Edam_10.lbl"));
    TFixture::WriteFile(gouda, "[Type]\nText=Gouda\n");
    f.Dialogs.SaveLabelAnswers = {edam};
    TFrmMain& w = f.Open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Merovik"));
    // A name on the command line is taken from the current folder.
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(f.Dir.path()));
    w.OpenLabelFile(QStringLiteral("Gouda_6.lbl"));
    QVERIFY(QDir::setCurrent(current));
    QCOMPARE(w.FileName(), gouda);
    QCOMPARE(w.edtType->text(), QStringLiteral("Gouda"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Gouda_6.lbl \u2013 Merovik"));
    Click(w.btnSaveLbl);
    QCOMPARE(w.windowTitle(), QStringLiteral("Edam_10.lbl \u2013 Merovik"));
    Click(w.btnNew);
    QCOMPARE(w.windowTitle(), QStringLiteral("Merovik"));
}

void TstLibrary::exportDrawsPendingTyping()
{
    TFixture f;
    f.WriteSettings("[Back]\nColor=clWhite\n[Type]\nFontSize=80\n");
    TFrmMain& w = f.Open();
    const QString file = f.Dir.filePath(QStringLiteral("label.jpg"));
    f.Dialogs.SavePictureAnswers.push_back(file);
    QTest::keyClicks(w.edtType, QStringLiteral("MMMM"));
    Click(w.BtnSave);  // within the typing interval
    QImage picture;
    QVERIFY(picture.load(file));
    // The cheese type across the middle: dark ink where the label was blank.
    int ink = 0;
    for (int x = 300; x < 900; ++x)
        ink += qGray(picture.pixel(x, 600)) < 100;
    QVERIFY2(ink > 50, qPrintable(QString::number(ink)));
}

void TstLibrary::drops_data()
{
    QTest::addColumn<QStringList>("files");  // in the temporary folder; none: plain text
    QTest::addColumn<int>("entry");          // where the drag enters the window
    QTest::addColumn<int>("place");          // where it moves to and is dropped
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("entered");       // the entry is accepted
    QTest::addColumn<bool>("accepted");
    const QStringList label{"Gouda_6.lbl"};
    const QStringList photo{"photo.png"};
    QTest::newRow("label file on the tabs loads") << label << int(OnTabs) << int(OnTabs) << false << true << true;
    QTest::newRow("label file on a text edit loads") << label << int(OnTextEdit) << int(OnTextEdit) << false << true
                                                     << true;
    QTest::newRow("picture on the label picture: photo") << photo << int(OnPicture) << int(OnPicture) << false << true
                                                         << true;
    QTest::newRow("picture with Shift: middle picture") << photo << int(OnPicture) << int(OnPicture) << true << true
                                                        << true;
    QTest::newRow("picture entering over the tabs, dropped on the picture")
        << photo << int(OnTabs) << int(OnPicture) << false << true << true;
    QTest::newRow("picture on the tabs refused") << photo << int(OnTabs) << int(OnTabs) << false << true << false;
    QTest::newRow("picture on a text edit refused") << photo << int(OnTextEdit) << int(OnTextEdit) << false << true
                                                    << false;
    QTest::newRow("two label files refused") << QStringList{"Gouda_6.lbl", "Edam.lbl"} << int(OnTabs) << int(OnTabs)
                                             << false << false << false;
    QTest::newRow("text file refused") << QStringList{"notes.txt"} << int(OnPicture) << int(OnPicture) << false
                                       << false << false;
    QTest::newRow("folder named like a label refused") << QStringList{"map.lbl"} << int(OnTabs) << int(OnTabs) << false
                                                       << false << false;
    QTest::newRow("plain text refused") << QStringList() << int(OnPicture) << int(OnPicture) << false << false
                                        << false;
}

void TstLibrary::drops()
{
    QFETCH(QStringList, files);
    QFETCH(int, entry);
    QFETCH(int, place);
    QFETCH(bool, shift);
    QFETCH(bool, entered);
    QFETCH(bool, accepted);
    TFixture f;
    for (const char* name : {"Gouda_6.lbl", "Edam.lbl", "notes.txt"})
        TFixture::WriteFile(f.Dir.filePath(QLatin1String(name)), "[Type]\nText=Gouda\n");
    QVERIFY(QDir().mkpath(f.Dir.filePath(QStringLiteral("map.lbl"))));
    const QString photo = f.Dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(QFile::copy(f.Picture(), photo));
    TFrmMain& w = f.Open();
    const TLabelDocument before = w.Document();
    const auto widgetAt = [&w](int aPlace) {
        return aPlace == OnPicture ? static_cast<QWidget*>(w.Image1)
               : aPlace == OnTabs  ? static_cast<QWidget*>(w.pcLayout)
                                   : static_cast<QWidget*>(w.edtName);
    };
    QWidget* target = widgetAt(place);
    // The window takes drops for its children; a text edit gets its own.
    QWidget* receiver = place == OnTextEdit ? target : static_cast<QWidget*>(&w);
    const QPoint at = receiver->mapFromGlobal(target->mapToGlobal(target->rect().center()));
    QWidget* entryTarget = widgetAt(entry);
    QWidget* entryReceiver = entry == OnTextEdit ? entryTarget : static_cast<QWidget*>(&w);
    const QPoint enterAt = entryReceiver->mapFromGlobal(entryTarget->mapToGlobal(entryTarget->rect().center()));
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(f.Dir.filePath(file));
    if (!urls.isEmpty())
        data.setUrls(urls);
    // File managers offer the paths as text too, which a text edit would take.
    data.setText(files.isEmpty() ? QStringLiteral("Gouda") : files.join(QLatin1Char('\n')));
    const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    QDragEnterEvent enter(enterAt, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(entryReceiver, &enter);
    QCOMPARE(enter.isAccepted(), entered);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(receiver, &move);
    QCOMPARE(move.isAccepted(), accepted);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QCoreApplication::sendEvent(receiver, &drop);
    QCOMPARE(drop.isAccepted(), accepted);

    const TLabelImage& bg = w.Document().FLabelBg;
    QCOMPARE(w.edtName->text(), before.FLabelName.Text);  // no file name typed into it
    QCOMPARE(w.UndoStack().count(), accepted ? 1 : 0);
    QCOMPARE(w.edtType->text(), accepted && place != OnPicture ? QStringLiteral("Gouda") : before.FLabelType.Text);
    QCOMPARE(w.edtBgImage->text(), accepted && place == OnPicture && !shift ? photo : before.FLabelBg.FileName);
    QCOMPARE(w.edtMiddleImg->text(), accepted && shift ? photo : before.FLabelBg.PngFile);
    QCOMPARE(bg.UseColor, !(accepted && place == OnPicture && !shift) && before.FLabelBg.UseColor);
    QCOMPARE(bg.UsePng, (accepted && shift) || before.FLabelBg.UsePng);
}

QTEST_MAIN(TstLibrary)
#include "tst_library.moc"
