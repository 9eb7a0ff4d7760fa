// Soak: the real editor window, offscreen, through thousands of random edits
// (texts, fonts, rings, colours, sizes, move buttons, background modes and
// photos, effects, transparency, the middle picture, undo and redo), each
// with its render pass. Reports the heap in use and the resident memory at
// the start, after the first 1000 edits and at the end, each read in the
// same settled state, and fails when the heap in use grew by more than 2 MB
// after those first 1000. The heap in use (mallinfo2 after malloc_trim) is
// what the program holds; resident memory also counts pages the allocator
// keeps, and wanders with fragmentation, so it is reported only.
//
//   merovik-soak [EDITS] [SEED]      (defaults 5000 and 1)
#include "editor/main_window.h"
#include "editor/radio_group.h"
#include "kit/color_selector.h"
#include "kit/repeat_button.h"
#include "kit/spin_edit.h"
#include "tests/scripted_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPixmapCache>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

#include <cstdio>
#include <cstdlib>

#include <malloc.h>

namespace {

constexpr int WarmUpEdits = 1000;
constexpr qint64 AllowedGrowthKb = 2 * 1024;

struct TMemory
{
    qint64 HeapKb = -1;      // allocated and not freed
    qint64 ResidentKb = -1;  // VmRSS
};

// VmRSS of /proc/self/status, in kB; -1 when it cannot be read.
qint64 ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QString RandomText(QRandomGenerator& aRandom)
{
    static const QStringList words = {QStringLiteral("Velmar"), QStringLiteral("Kaaskelder"),
                                      QStringLiteral("Gouda"), QStringLiteral("belegen"),
                                      QStringLiteral("Boerenkaas"), QStringLiteral("Hoeve"),
                                      QStringLiteral("12-03-2024"), QStringLiteral("geitenkaas"),
                                      QString::fromUtf8("crème"), QString::fromUtf8("שלום"),
                                      QString::fromUtf8("جبنة"), QString::fromUtf8("🧀")};
    QStringList text;
    const int count = aRandom.bounded(8);
    for (int i = 0; i < count; ++i)
        text << words[aRandom.bounded(int(words.size()))];
    return text.join(QLatin1Char(' '));
}

QString SavePicture(const QImage& aImage, const QString& aPath, const char* aFormat)
{
    if (!aImage.save(aPath, aFormat)) {
        std::fprintf(stderr, "merovik-soak: cannot write %s\n", qPrintable(aPath));
        std::exit(2);
    }
    return aPath;
}

// Photos with some detail, and a middle picture with transparency.
QStringList MakePictures(const QString& aFolder)
{
    QImage photo(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb((x / 7) % 256, (y / 5) % 256, (x + y) % 256));
    QImage portrait(900, 1400, QImage::Format_RGB32);
    portrait.fill(qRgb(180, 140, 60));
    QImage middle(400, 300, QImage::Format_ARGB32_Premultiplied);
    middle.fill(Qt::transparent);
    {
        QPainter painter(&middle);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(30, 90, 200, 180));
        painter.drawEllipse(QRectF(20, 20, 360, 260));
    }
    return {SavePicture(photo, aFolder + QStringLiteral("/photo.jpg"), "JPEG"),
            SavePicture(portrait, aFolder + QStringLiteral("/portrait.jpg"), "JPEG"),
            SavePicture(middle, aFolder + QStringLiteral("/middle.png"), "PNG")};
}

// One random edit, as a user makes it through the controls.
void Edit(TFrmMain& aWindow, TScriptedDialogs& aDialogs, const QStringList& aPictures, QRandomGenerator& aRandom)
{
    const auto pick = [&](std::initializer_list<QAbstractButton*> aButtons) {
        return *(aButtons.begin() + aRandom.bounded(int(aButtons.size())));
    };
    switch (aRandom.bounded(17)) {
    case 0:
    case 1: {
        QLineEdit* edit = *(std::initializer_list<QLineEdit*>{aWindow.edtName, aWindow.edtType, aWindow.edtSub1,
                                                              aWindow.edtSub2, aWindow.edtDate}
                                .begin()
                            + aRandom.bounded(5));
        edit->setText(RandomText(aRandom));
        // The typing timer runs at 0 ms here; its pass comes with the next events.
        const int draws = aWindow.DrawCount();
        for (int i = 0; i < 100 && aWindow.DrawCount() == draws; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        break;
    }
    case 2: {
        static const char* const fonts[] = {"Arial", "DejaVu Sans", "Liberation Serif", "Liberation Mono"};
        aDialogs.FontAnswers.push_back(
            TFontChoice{QLatin1String(fonts[aRandom.bounded(4)]), 10 + aRandom.bounded(90), aRandom.generate() & 0xFFFFFF});
        pick({aWindow.spbFontName, aWindow.SpeedButton1, aWindow.SpeedButton3, aWindow.SpeedButton4})->click();
        break;
    }
    case 3:
        pick({aWindow.chkbRing1, aWindow.chkbRing2, aWindow.chkbRing3, aWindow.chkbRing4})->click();
        break;
    case 4: {
        TColorSelector* selector = *(std::initializer_list<TColorSelector*>{aWindow.colbRing1, aWindow.colbRing2,
                                                                            aWindow.colbRing3, aWindow.colbRing4,
                                                                            aWindow.colbBackground}
                                         .begin()
                                     + aRandom.bounded(5));
        selector->Pick(TColorSelector::PresetColors[aRandom.bounded(40)]);
        break;
    }
    case 5:
        aWindow.rdgLabelSize->Item(aRandom.bounded(3))->click();
        break;
    case 6:
    case 7:
        pick({aWindow.AdvRepeatButton1, aWindow.AdvRepeatButton2, aWindow.AdvRepeatButton3,
              aWindow.AdvRepeatButton4})
            ->click();
        break;
    case 8:
        aWindow.rdgBgSelection->Item(aRandom.bounded(2))->click();
        break;
    case 9:
        aWindow.rdgEffect->Item(aRandom.bounded(3))->click();
        break;
    case 10:
        aWindow.spEdit->setValue(10 * aRandom.bounded(10));
        break;
    case 11:
        aWindow.spePngWidth->setValue(10 + 2 * aRandom.bounded(41));
        break;
    case 12:
        aWindow.chkMiddleImg->click();
        break;
    case 13:
    case 14:
        // A disabled button does not click: nothing to undo or redo.
        aWindow.btnUndo->click();
        break;
    case 15:
        aWindow.btnRedo->click();
        break;
    default:
        aDialogs.OpenPictureAnswers.push_back(aPictures[aRandom.bounded(int(aPictures.size()))]);
        pick({aWindow.btnBgImage, aWindow.btnMiddleImg})->click();
        break;
    }
}

// Brings the window to one fixed state: empties the renderer's caches, then
// runs a fixed sequence of edits that fills them the same way every time and
// fills the undo stack to its limit with the same steps; then hands
// free heap pages back to the system and reads the memory. What is left to
// differ between two readings is what the window holds beyond its bounded
// caches and stack.
TMemory SettledMemory(TFrmMain& aWindow, TScriptedDialogs& aDialogs, const QStringList& aPictures)
{
    aWindow.rdgLabelSize->Item(2)->click();
    aWindow.rdgBgSelection->Item(0)->click();
    if (!aWindow.chkMiddleImg->isChecked())
        aWindow.chkMiddleImg->click();
    for (const QString& picture : aPictures) {
        aDialogs.OpenPictureAnswers.push_back(picture);
        aWindow.btnBgImage->click();
        aDialogs.OpenPictureAnswers.push_back(picture);
        aWindow.btnMiddleImg->click();
        for (int step = 0; step < 6; ++step) {
            aWindow.rdgEffect->Item(step % 3)->click();
            aWindow.spEdit->setValue(10 * step);
            aWindow.spePngWidth->setValue(20 + 10 * step);
        }
    }
    for (QToolButton* font : {aWindow.spbFontName, aWindow.SpeedButton1, aWindow.SpeedButton3, aWindow.SpeedButton4}) {
        aDialogs.FontAnswers.push_back(TFontChoice{QStringLiteral("Arial"), 40, 0});
        font->click();
    }
    int tag = 0;
    for (QLineEdit* edit : {aWindow.edtName, aWindow.edtType, aWindow.edtSub1, aWindow.edtSub2, aWindow.edtDate})
        edit->setText(QStringLiteral("Velmar Kaaskelder %1").arg(++tag));
    const int draws = aWindow.DrawCount();
    for (int i = 0; i < 100 && aWindow.DrawCount() == draws; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int i = 0; i < TFrmMain::UndoLimit; ++i)
        aWindow.chkbRing1->click();
    // The caches are bounded but start afresh when full, so how much they
    // hold depends on the edits before: they are left out of the reading.
    // Qt's pixmap cache of the style's drawings likewise.
    const qint64 withCaches = qint64(mallinfo2().uordblks / 1024);
    aWindow.Renderer().ClearCaches();
    QPixmapCache::clear();
    malloc_trim(0);
    std::printf("settled: the renderer's caches held %lld kB, emptied for the reading\n",
                withCaches - qint64(mallinfo2().uordblks / 1024));
    return {qint64(mallinfo2().uordblks / 1024), ResidentKb()};
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int edits = arguments.size() > 1 ? arguments[1].toInt() : 5000;
    const quint32 seed = arguments.size() > 2 ? arguments[2].toUInt() : 1;
    if (edits <= WarmUpEdits) {
        std::fprintf(stderr, "usage: merovik-soak [EDITS above %d] [SEED]\n", WarmUpEdits);
        return 2;
    }

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "merovik-soak: no temporary folder\n");
        return 2;
    }
    const QStringList pictures = MakePictures(folder.path());
    TScriptedDialogs dialogs;
    TFrmMain window(dialogs, TProgramPaths::InFolder(folder.path()));
    window.show();
    window.Timer->setInterval(0);
    QCoreApplication::processEvents();
    // The middle picture on, so the move buttons move it.
    if (!window.chkMiddleImg->isChecked())
        window.chkMiddleImg->click();

    QRandomGenerator random(seed);
    QElapsedTimer clock;
    clock.start();
    const TMemory start = SettledMemory(window, dialogs, pictures);
    TMemory warm;
    for (int i = 1; i <= edits; ++i) {
        Edit(window, dialogs, pictures, random);
        QCoreApplication::processEvents();
        if (i % 500 == 0)
            std::printf("%5d edits, %5d passes, %3d undo steps, VmRSS %lld kB\n", i, window.DrawCount(),
                        int(window.UndoStack().count()), ResidentKb());
        if (i == WarmUpEdits) {
            warm = SettledMemory(window, dialogs, pictures);
            std::printf("settled after %d edits: heap in use %lld kB, VmRSS %lld kB\n", i, warm.HeapKb,
                        warm.ResidentKb);
        }
    }
    const TMemory end = SettledMemory(window, dialogs, pictures);
    const qint64 growth = end.HeapKb - warm.HeapKb;
    std::printf("heap in use at start %lld kB, after %d edits %lld kB, after %d edits %lld kB; "
                "growth after the first %d: %lld kB (allowed %lld kB)\n",
                start.HeapKb, WarmUpEdits, warm.HeapKb, edits, end.HeapKb, WarmUpEdits, growth, AllowedGrowthKb);
    std::printf("VmRSS at start %lld kB, after %d edits %lld kB, after %d edits %lld kB\n", start.ResidentKb,
                WarmUpEdits, warm.ResidentKb, edits, end.ResidentKb);
    std::printf("%d render passes in %.1f s; %lld error boxes\n", window.DrawCount(), clock.elapsed() / 1000.0,
                qint64(dialogs.Errors.size()));
    window.close();
    if (start.ResidentKb < 0 || warm.ResidentKb < 0 || end.ResidentKb < 0) {
        std::fprintf(stderr, "merovik-soak: cannot read VmRSS from /proc/self/status\n");
        return 2;
    }
    if (!dialogs.Errors.isEmpty()) {
        std::fprintf(stderr, "merovik-soak: an error box was shown: %s\n", qPrintable(dialogs.Errors.first()));
        return 1;
    }
    return growth > AllowedGrowthKb ? 1 : 0;
}
