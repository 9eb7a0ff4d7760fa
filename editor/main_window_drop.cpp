// Files dropped on the window: a label file anywhere loads it; a picture on
// the label picture becomes the background photo, or with Shift held the
// middle picture. Anything else is refused while it is dragged.
#include "editor/main_window.h"

#include "editor/image_view.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>

namespace {

// The one local file the drag carries; empty for anything else.
QString DraggedFile(const QMimeData* aData)
{
    if (!aData || !aData->hasUrls())
        return {};
    const QList<QUrl> urls = aData->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

bool IsPictureFile(const QFileInfo& aFile)
{
    const QByteArray suffix = aFile.suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

bool IsLabelFile(const QFileInfo& aFile)
{
    return aFile.suffix().compare(QStringLiteral("lbl"), Qt::CaseInsensitive) == 0;
}

}  // namespace

TFrmMain::TDropKind TFrmMain::DropKind(const QDropEvent* aEvent, const QPoint& aPos) const
{
    const QFileInfo file(DraggedFile(aEvent->mimeData()));
    if (file.filePath().isEmpty() || !file.isFile())
        return TDropKind::None;
    if (IsLabelFile(file))
        return TDropKind::Label;
    if (IsPictureFile(file) && Image1->rect().contains(Image1->mapFrom(this, aPos)))
        return aEvent->modifiers().testFlag(Qt::ShiftModifier) ? TDropKind::MiddlePicture : TDropKind::Photo;
    return TDropKind::None;
}

void TFrmMain::AnswerDrag(QDropEvent* aEvent, const QPoint& aPos) const
{
    if (DropKind(aEvent, aPos) == TDropKind::None) {
        aEvent->ignore();
        return;
    }
    aEvent->setDropAction(Qt::CopyAction);
    aEvent->accept();
}

void TFrmMain::DropAt(QDropEvent* aEvent, const QPoint& aPos)
{
    const TDropKind kind = DropKind(aEvent, aPos);
    if (kind == TDropKind::None) {
        aEvent->ignore();
        return;
    }
    aEvent->setDropAction(Qt::CopyAction);
    aEvent->accept();
    const QString file = QFileInfo(DraggedFile(aEvent->mimeData())).absoluteFilePath();
    if (kind == TDropKind::Label) {
        OpenLabelFile(file);
        return;
    }
    TLabelDocument doc = FDocument;
    if (kind == TDropKind::Photo) {
        doc.FLabelBg.FileName = file;
        doc.FLabelBg.UseColor = false;
    } else {
        doc.FLabelBg.PngFile = file;
        doc.FLabelBg.UsePng = true;
    }
    ShowDocument(doc);
    RecordStep();
}

void TFrmMain::dragEnterEvent(QDragEnterEvent* aEvent)
{
    EnterDrag(aEvent);
}

void TFrmMain::EnterDrag(QDropEvent* aEvent) const
{
    // Accepted for a usable file wherever it enters, also far from the label
    // picture: an entry refused gets no moves after it. Each move then says
    // where it may be dropped.
    const QFileInfo file(DraggedFile(aEvent->mimeData()));
    if (file.isFile() && (IsLabelFile(file) || IsPictureFile(file))) {
        aEvent->setDropAction(Qt::CopyAction);
        aEvent->accept();
    } else {
        aEvent->ignore();
    }
}

void TFrmMain::dragMoveEvent(QDragMoveEvent* aEvent)
{
    AnswerDrag(aEvent, aEvent->position().toPoint());
}

void TFrmMain::dropEvent(QDropEvent* aEvent)
{
    DropAt(aEvent, aEvent->position().toPoint());
}

bool TFrmMain::eventFilter(QObject* aWatched, QEvent* aEvent)
{
    auto* edit = qobject_cast<QLineEdit*>(aWatched);
    if (!edit)
        return QMainWindow::eventFilter(aWatched, aEvent);
    switch (aEvent->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        // A line edit keeps an undo history of its own and claims Ctrl+Z
        // before the window's shortcut sees it; the window's steps already
        // hold the typing, so the keys go to them.
        const auto* key = static_cast<const QKeyEvent*>(aEvent);
        const QKeySequence pressed(key->keyCombination());
        QList<QKeySequence> undoKeys = btnUndo->defaultAction()->shortcuts();
        undoKeys << btnRedo->defaultAction()->shortcuts();
        if (undoKeys.contains(pressed) || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
            return true;
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        // Files are the window's; a text edit would take their names as text.
        auto* drop = static_cast<QDropEvent*>(aEvent);
        if (!drop->mimeData() || !drop->mimeData()->hasUrls())
            break;
        const QPoint pos = edit->mapTo(this, drop->position().toPoint());
        if (aEvent->type() == QEvent::Drop)
            DropAt(drop, pos);
        else if (aEvent->type() == QEvent::DragEnter)
            EnterDrag(drop);
        else
            AnswerDrag(drop, pos);
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(aWatched, aEvent);
}
