#pragma once

#include <QString>
#include <cstdint>

// Colour values are 0x00BBGGRR (red in the low byte); the top byte marks the
// symbolic colours of the identifier table.

// The defaults of the background and ring colours.
inline constexpr uint32_t ColorBlack = 0x00000000;
inline constexpr uint32_t ColorYellow = 0x0000FFFF;

// Identifier of the table, or "$" and eight upper-case hexadecimal digits.
QString ColorToString(uint32_t aColor);

struct TColorConversion
{
    bool Ok = false;
    uint32_t Value = 0;
    QString Error;  // "''<text>'' is not a valid integer value" when not Ok
};

// Table identifier (any letter case) or integer literal; anything else,
// the empty text included, is a conversion error.
TColorConversion StringToColor(const QString& aText);

// The message a colour text that cannot be read gives.
QString InvalidIntegerMessage(const QString& aText);
