#include "editor/font_dialog.h"

#include "kit/color_selector.h"

#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const int CommonSizes[] = {8,  9,  10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28,
                           32, 36, 40, 44, 48, 54, 60, 66, 72, 80, 90, 100};

// The preview is a guide to the letter shapes; past this size it would show
// only a few letters of the sample.
constexpr int PreviewMaxPoints = 28;
// Below this a long sample is elided rather than shrunk further.
constexpr int PreviewMinPoints = 7;
// Room the frame and a little air take inside the preview.
constexpr int PreviewMargin = 8;
}

TFontDialog::TFontDialog(QWidget* aParent) : QDialog(aParent)
{
    setWindowTitle(QStringLiteral("Lettertype"));

    cbFontName = new QFontComboBox(this);
    cbFontName->setObjectName(QStringLiteral("cbFontName"));
    // A typed name that no installed family matches would be stored as is;
    // choosing from the list keeps the names real.
    cbFontName->setEditable(false);
    cbFontName->setMinimumWidth(220);

    lblMissingFont = new QLabel(this);
    lblMissingFont->setObjectName(QStringLiteral("lblMissingFont"));
    lblMissingFont->setWordWrap(true);
    lblMissingFont->setVisible(false);

    speFontSize = new QSpinBox(this);
    speFontSize->setObjectName(QStringLiteral("speFontSize"));
    speFontSize->setRange(MinFontSize, MaxFontSize);
    speFontSize->setValue(8);

    lbFontSizes = new QListWidget(this);
    lbFontSizes->setObjectName(QStringLiteral("lbFontSizes"));
    for (const int size : CommonSizes)
        lbFontSizes->addItem(QString::number(size));
    lbFontSizes->setFixedWidth(70);
    lbFontSizes->setFixedHeight(150);

    colbFontColor = new TColorSelector(this);
    colbFontColor->setObjectName(QStringLiteral("colbFontColor"));
    colbFontColor->setFixedSize(65, 23);
    colbFontColor->SetSelectedColor(0x00000000);

    lblPreview = new QLabel(this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    lblPreview->setAlignment(Qt::AlignCenter);
    lblPreview->setTextFormat(Qt::PlainText);
    lblPreview->setFixedSize(PreviewWidth, PreviewHeight);
    lblPreview->setAutoFillBackground(true);
    lblPreview->setFrameShape(QFrame::StyledPanel);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Annuleren"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* familyLabel = new QLabel(QStringLiteral("&Lettertype:"), this);
    familyLabel->setBuddy(cbFontName);
    auto* sizeLabel = new QLabel(QStringLiteral("&Grootte:"), this);
    sizeLabel->setBuddy(speFontSize);

    auto* colorBox = new QGroupBox(QStringLiteral("Kleur"), this);
    auto* colorRow = new QHBoxLayout(colorBox);
    colorRow->addWidget(colbFontColor);
    colorRow->addStretch();

    // Family and colour on the left; the sizes run down the right.
    auto* left = new QVBoxLayout;
    left->addWidget(familyLabel);
    left->addWidget(cbFontName);
    left->addWidget(lblMissingFont);
    left->addWidget(colorBox);
    left->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(sizeLabel);
    right->addWidget(speFontSize);
    right->addWidget(lbFontSizes, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);

    auto* previewBox = new QGroupBox(QStringLiteral("Voorbeeld"), this);
    auto* previewColumn = new QVBoxLayout(previewBox);
    previewColumn->addWidget(lblPreview);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(previewBox);
    main->addWidget(buttons);

    connect(cbFontName, &QFontComboBox::currentFontChanged, this, &TFontDialog::FamilyChosen);
    connect(speFontSize, &QSpinBox::valueChanged, this, &TFontDialog::SizeChanged);
    connect(lbFontSizes, &QListWidget::itemClicked, this, &TFontDialog::SizeListClicked);
    connect(colbFontColor, &TColorSelector::SelectColor, this, &TFontDialog::UpdatePreview);

    FFontName = cbFontName->currentFont().family();
    SizeChanged(speFontSize->value());
}

void TFontDialog::SetFontName(const QString& aName)
{
    const QString name = aName.trimmed();
    {
        const QSignalBlocker block(cbFontName);
        if (!name.isEmpty())
            cbFontName->setCurrentFont(QFont(name));
    }
    // An empty name has no family to keep: the dialog's own choice stands.
    FFontName = name.isEmpty() ? cbFontName->currentFont().family() : name;
    const bool missing = !QFontDatabase::hasFamily(FFontName);
    lblMissingFont->setText(
        missing ? QStringLiteral("\"%1\" is hier niet geïnstalleerd; het voorbeeld toont een vervanger.")
                      .arg(FFontName)
                : QString());
    lblMissingFont->setVisible(missing);
    UpdatePreview();
}

void TFontDialog::SetFontSize(int aSize)
{
    speFontSize->setValue(std::clamp(aSize, MinFontSize, MaxFontSize));
}

void TFontDialog::SetFontColor(uint32_t aColor)
{
    colbFontColor->SetSelectedColor(aColor);
    UpdatePreview();
}

void TFontDialog::SetSampleText(const QString& aText)
{
    FSampleText = aText;
    UpdatePreview();
}

int TFontDialog::FontSize() const
{
    return speFontSize->value();
}

uint32_t TFontDialog::FontColor() const
{
    return colbFontColor->SelectedColor();
}

void TFontDialog::FamilyChosen()
{
    FFontName = cbFontName->currentFont().family();
    lblMissingFont->setVisible(false);
    UpdatePreview();
}

void TFontDialog::SizeChanged(int aSize)
{
    const QList<QListWidgetItem*> matches = lbFontSizes->findItems(QString::number(aSize), Qt::MatchExactly);
    {
        const QSignalBlocker block(lbFontSizes);
        if (matches.isEmpty())
            lbFontSizes->clearSelection();
        else {
            lbFontSizes->setCurrentItem(matches.first());
            lbFontSizes->scrollToItem(matches.first(), QAbstractItemView::PositionAtCenter);
        }
    }
    UpdatePreview();
}

void TFontDialog::SizeListClicked()
{
    if (QListWidgetItem* item = lbFontSizes->currentItem())
        speFontSize->setValue(item->text().toInt());
}

int TFontDialog::PreviewPointSize(const QFont& aFont, const QString& aText, const QSize& aArea, int aWanted)
{
    QFont font = aFont;
    int size = aWanted;
    // Text width and line height grow about in proportion to the size, so
    // one scaled guess and a few steps down settle it.
    for (int step = 0; step < 8 && size > PreviewMinPoints; ++step) {
        font.setPointSize(size);
        const QFontMetricsF metrics(font);
        const qreal width = metrics.horizontalAdvance(aText);
        const qreal height = metrics.height();
        if (width <= aArea.width() && height <= aArea.height())
            break;
        const qreal scale = std::min(aArea.width() / std::max<qreal>(width, 1), aArea.height() / std::max<qreal>(height, 1));
        size = std::max(PreviewMinPoints, std::min(size - 1, int(size * scale)));
    }
    return size;
}

void TFontDialog::UpdatePreview()
{
    const QString sample = FSampleText.isEmpty() ? QStringLiteral("AaBbYyZz 123") : FSampleText;
    const QSize area(PreviewWidth - 2 * PreviewMargin, PreviewHeight - 2 * PreviewMargin);
    // Bold, as the label draws every text; smaller where the sample would
    // not fit whole.
    QFont font(FFontName);
    font.setBold(true);
    font.setPointSize(PreviewPointSize(font, sample, area, std::min(speFontSize->value(), PreviewMaxPoints)));
    lblPreview->setFont(font);

    const uint32_t value = colbFontColor->SelectedColor();
    const QColor ink(value & 0xFFu, (value >> 8) & 0xFFu, (value >> 16) & 0xFFu);
    // Light ink on a dark ground and dark ink on a light one, so white and
    // pale text stay visible.
    const QColor ground = ink.lightness() > 170 ? QColor(0x3A, 0x44, 0x55) : QColor(Qt::white);
    QPalette pal = lblPreview->palette();
    pal.setColor(QPalette::Window, ground);
    pal.setColor(QPalette::WindowText, ink);
    lblPreview->setPalette(pal);
    lblPreview->setText(QFontMetrics(font).elidedText(sample, Qt::ElideRight, area.width()));
}
