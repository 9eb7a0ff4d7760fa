#include "kit/color_selector.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QCursor>
#include <QEnterEvent>
#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace
{
// Preset table entries are written as #RRGGBB, the way people read them;
// the selector's values keep red in the low byte.
constexpr uint32_t FromRgb(uint32_t aRgb)
{
    return ((aRgb & 0xFF0000u) >> 16) | (aRgb & 0x00FF00u) | ((aRgb & 0x0000FFu) << 16);
}

QColor ToQColor(uint32_t aColor)
{
    return QColor(aColor & 0xFFu, (aColor >> 8) & 0xFFu, (aColor >> 16) & 0xFFu);
}

uint32_t FromQColor(const QColor& aColor)
{
    const QColor rgb = aColor.toRgb();
    return static_cast<uint32_t>(rgb.red()) | (static_cast<uint32_t>(rgb.green()) << 8)
           | (static_cast<uint32_t>(rgb.blue()) << 16);
}

const QColor FrameColor(0x5A, 0x64, 0x74);

// One colour of the grid: a plain square that no style sheet reshapes.
class TColorSwatch : public QAbstractButton
{
public:
    TColorSwatch(uint32_t aColor, QWidget* aParent) : QAbstractButton(aParent), FColor(aColor)
    {
        setFixedSize(18, 18);
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_Hover);
        setToolTip(ToQColor(aColor).name(QColor::HexRgb).toUpper());
        setAccessibleName(toolTip());
    }

    uint32_t Color() const { return FColor; }

protected:
    // Hover is tracked here rather than read from underMouse(): a menu that
    // closes under the pointer sends no leave event, and the swatch would
    // show hot at the next opening until the pointer passed over it again.
    void enterEvent(QEnterEvent* aEvent) override
    {
        FHot = true;
        QAbstractButton::enterEvent(aEvent);
    }
    void leaveEvent(QEvent* aEvent) override
    {
        FHot = false;
        QAbstractButton::leaveEvent(aEvent);
    }
    void hideEvent(QHideEvent* aEvent) override
    {
        FHot = false;
        QAbstractButton::hideEvent(aEvent);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const bool hot = FHot || hasFocus();
        p.fillRect(rect(), (hot || isChecked()) ? QColor(0x2E, 0x4A, 0x70) : QColor(0xA0, 0xA8, 0xB4));
        const int inset = (hot || isChecked()) ? 2 : 1;
        const QRect inner = rect().adjusted(inset, inset, -inset, -inset);
        if (isChecked() || hot)
            p.fillRect(inner, Qt::white);
        p.fillRect(isChecked() || hot ? inner.adjusted(1, 1, -1, -1) : inner, ToQColor(FColor));
    }

private:
    uint32_t FColor = 0;
    bool FHot = false;
};

QPixmap SwatchPixmap(const QColor& aColor, int aSize)
{
    QPixmap pix(aSize, aSize);
    pix.fill(FrameColor);
    QPainter p(&pix);
    p.fillRect(QRect(1, 1, aSize - 2, aSize - 2), aColor);
    return pix;
}
}

const uint32_t TColorSelector::PresetColors[40] = {
    FromRgb(0x000000), FromRgb(0x993300), FromRgb(0x333300), FromRgb(0x003300),
    FromRgb(0x003366), FromRgb(0x000080), FromRgb(0x333335), FromRgb(0x333333),
    FromRgb(0x800000), FromRgb(0xFF6600), FromRgb(0x808000), FromRgb(0x008000),
    FromRgb(0x008080), FromRgb(0x0000FF), FromRgb(0x666699), FromRgb(0x808080),
    FromRgb(0xFF0000), FromRgb(0xFF9900), FromRgb(0x99CC00), FromRgb(0x339966),
    FromRgb(0x33CCCC), FromRgb(0x3366FF), FromRgb(0x800080), FromRgb(0x999999),
    FromRgb(0xFF00FF), FromRgb(0xFFCC00), FromRgb(0xFFFF00), FromRgb(0x00FF00),
    FromRgb(0x00FFFF), FromRgb(0x00CCFF), FromRgb(0x993366), FromRgb(0xC0C0C0),
    FromRgb(0xFF99CC), FromRgb(0xFFCC99), FromRgb(0xFFFF99), FromRgb(0xCCFFCC),
    FromRgb(0xCCFFFF), FromRgb(0x99CCFF), FromRgb(0xCC99FF), FromRgb(0xFFFFFF),
};

TColorSelector::TColorSelector(QWidget* aParent) : QToolButton(aParent)
{
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);

    FMenu = new QMenu(this);
    FMenu->setObjectName(QStringLiteral("colorMenu"));
    FMenu->setTearOffEnabled(false);

    auto* panel = new QWidget(FMenu);
    panel->setObjectName(QStringLiteral("colorPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    auto* automatic = new QToolButton(panel);
    automatic->setObjectName(QStringLiteral("colorAutomatic"));
    automatic->setText(QStringLiteral("Automatic"));
    automatic->setIcon(SwatchPixmap(Qt::black, 14));
    automatic->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    automatic->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    automatic->setAutoRaise(true);
    connect(automatic, &QToolButton::clicked, this, [this] { PickFromMenu(0x00000000); });
    column->addWidget(automatic);

    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    for (int i = 0; i < 40; ++i) {
        auto* swatch = new TColorSwatch(PresetColors[i], panel);
        swatch->setObjectName(QStringLiteral("colorPreset%1").arg(i));
        const uint32_t color = PresetColors[i];
        connect(swatch, &QAbstractButton::clicked, this, [this, color] { PickFromMenu(color); });
        grid->addWidget(swatch, i / 8, i % 8);
        FSwatches.append(swatch);
    }
    column->addLayout(grid);

    auto* more = new QToolButton(panel);
    more->setObjectName(QStringLiteral("colorMore"));
    more->setText(QStringLiteral("More Colors..."));
    more->setToolTip(QStringLiteral("More Colors"));
    more->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    more->setAutoRaise(true);
    connect(more, &QToolButton::clicked, this, [this] {
        FMenu->hide();
        // Queued, so the menu's own event loop has ended before the dialog's starts.
        QMetaObject::invokeMethod(this, &TColorSelector::ShowMoreColors, Qt::QueuedConnection);
    });
    column->addWidget(more);

    auto* action = new QWidgetAction(FMenu);
    action->setDefaultWidget(panel);
    FMenu->addAction(action);
    connect(FMenu, &QMenu::aboutToShow, this, &TColorSelector::MarkSelectedSwatch);
    // The pick usually ends with the pointer over the menu, not the button;
    // the button may have missed its leave event while the menu held the
    // mouse and would stay drawn as hovered.
    connect(FMenu, &QMenu::aboutToHide, this, [this] {
        QMetaObject::invokeMethod(this, &TColorSelector::RefreshHover, Qt::QueuedConnection);
    });
    setMenu(FMenu);
}

QSize TColorSelector::sizeHint() const
{
    return QSize(65, 23);
}

QSize TColorSelector::minimumSizeHint() const
{
    return QSize(36, 18);
}

void TColorSelector::SetSelectedColor(uint32_t aColor)
{
    FSelectedColor = aColor;
    FHasSelection = true;
    UpdateSwatch();
}

void TColorSelector::Pick(uint32_t aColor)
{
    SetSelectedColor(aColor);
    emit SelectColor(aColor);
}

QMenu* TColorSelector::Menu() const
{
    return FMenu;
}

void TColorSelector::PickFromMenu(uint32_t aColor)
{
    FMenu->hide();
    Pick(aColor);
}

void TColorSelector::ShowMoreColors()
{
    QColorDialog dlg(FHasSelection ? ToQColor(FSelectedColor) : QColor(Qt::black), this);
    dlg.setObjectName(QStringLiteral("colorDialog"));
    dlg.setWindowTitle(QStringLiteral("More Colors"));
    if (dlg.exec() == QDialog::Accepted && dlg.selectedColor().isValid())
        Pick(FromQColor(dlg.selectedColor()));
}

void TColorSelector::MarkSelectedSwatch()
{
    for (QAbstractButton* swatch : std::as_const(FSwatches)) {
        const auto* colorSwatch = static_cast<TColorSwatch*>(swatch);
        // Compare the drawn colour only: a value with a top byte draws as its low three.
        swatch->setChecked(FHasSelection && colorSwatch->Color() == (FSelectedColor & 0x00FFFFFFu));
    }
}

void TColorSelector::RefreshHover()
{
    if (underMouse() && !rect().contains(mapFromGlobal(QCursor::pos()))) {
        setAttribute(Qt::WA_UnderMouse, false);
        update();
    }
}

void TColorSelector::UpdateSwatch()
{
    update();
}

void TColorSelector::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    // The button draws its own swatch and arrow; the style's small menu
    // indicator would sit on top of the swatch.
    opt.features &= ~QStyleOptionToolButton::HasMenu;
    opt.icon = QIcon();
    opt.text.clear();
    p.drawComplexControl(QStyle::CC_ToolButton, opt);

    const int arrowWidth = 12;
    const QRect swatch = rect().adjusted(5, 4, -(arrowWidth + 6), -4);
    if (swatch.width() > 2 && swatch.height() > 2) {
        const bool enabled = isEnabled();
        if (FHasSelection) {
            QColor fill = ToQColor(FSelectedColor);
            if (!enabled) {
                // Fade towards the background so a disabled selector reads as such.
                const QColor bg = palette().color(QPalette::Disabled, QPalette::Button);
                fill = QColor((fill.red() + 2 * bg.red()) / 3, (fill.green() + 2 * bg.green()) / 3,
                              (fill.blue() + 2 * bg.blue()) / 3);
            }
            p.fillRect(swatch, enabled ? FrameColor : QColor(0xA8, 0xAE, 0xB8));
            p.fillRect(swatch.adjusted(1, 1, -1, -1), fill);
        } else {
            // Nothing selected yet: an empty frame, no colour suggested.
            p.setPen(QPen(QColor(0x9A, 0xA3, 0xAF), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(swatch.adjusted(0, 0, -1, -1));
        }
    }

    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(width() - arrowWidth - 4, 0, arrowWidth, height());
    p.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);
}
