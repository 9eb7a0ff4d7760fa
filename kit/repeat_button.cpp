#include "kit/repeat_button.h"

TRepeatButton::TRepeatButton(QWidget* aParent) : QToolButton(aParent)
{
    setAutoRepeat(true);
    setAutoRepeatDelay(RepeatDelayMs);
    setAutoRepeatInterval(RepeatIntervalMs);
    setFixedSize(27, 27);
    setIconSize(QSize(19, 19));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The widget's own sheet wins over the application's on every property it
    // names, so it names all that shape the box: padding and minimum sizes
    // from the application's QToolButton rules would otherwise leak in.
    setStyleSheet(QStringLiteral(
        "TRepeatButton { border: 1px solid #000000; border-radius: 5px;"
        " background-color: #EEF0F4; padding: 0px; margin: 0px;"
        " min-width: 0px; min-height: 0px; }"
        "TRepeatButton:hover { background-color: #C7C7CA; }"
        "TRepeatButton:pressed { background-color: #D2D3D8; }"
        // Keyboard focus as on the other buttons: a wider frame in the accent colour.
        "TRepeatButton:focus { border: 2px solid #3D6DB5; }"
        "TRepeatButton:disabled { border-color: #9A9A9A; background-color: #EEF0F4; }"));
}
