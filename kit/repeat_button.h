#pragma once

#include <QToolButton>

// A push button that clicks once when pressed and, held down, again after
// 400 ms and then every 100 ms until released.
class TRepeatButton : public QToolButton
{
    Q_OBJECT

public:
    explicit TRepeatButton(QWidget* aParent = nullptr);

    static constexpr int RepeatDelayMs = 400;
    static constexpr int RepeatIntervalMs = 100;
};
