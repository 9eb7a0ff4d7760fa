#include "label/colors.h"

#include "label/ini_file.h"

#include <array>

namespace {

struct TColorName
{
    const char* Name;
    uint32_t Value;
};

// The twenty plain colours, two special values and thirty system colours
// (0xFF000000 plus the system colour index); no value or name occurs twice.
constexpr std::array<TColorName, 52> ColorNames = {{
    {"clBlack", 0x00000000}, {"clMaroon", 0x00000080}, {"clGreen", 0x00008000},
    {"clOlive", 0x00008080}, {"clNavy", 0x00800000}, {"clPurple", 0x00800080},
    {"clTeal", 0x00808000}, {"clGray", 0x00808080}, {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF}, {"clLime", 0x0000FF00}, {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000}, {"clFuchsia", 0x00FF00FF}, {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF}, {"clMoneyGreen", 0x00C0DCC0}, {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF}, {"clMedGray", 0x00A4A0A0}, {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001},
    {"clActiveCaption", 0xFF000002}, {"clInactiveCaption", 0xFF000003},
    {"clMenu", 0xFF000004}, {"clWindow", 0xFF000005}, {"clWindowFrame", 0xFF000006},
    {"clMenuText", 0xFF000007}, {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A},
    {"clInactiveBorder", 0xFF00000B}, {"clAppWorkSpace", 0xFF00000C},
    {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F}, {"clBtnShadow", 0xFF000010}, {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012}, {"clInactiveCaptionText", 0xFF000013},
    {"clBtnHighlight", 0xFF000014}, {"cl3DDkShadow", 0xFF000015},
    {"cl3DLight", 0xFF000016}, {"clInfoText", 0xFF000017}, {"clInfoBk", 0xFF000018},
    {"clHotLight", 0xFF00001A}, {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C}, {"clMenuHighlight", 0xFF00001D},
    {"clMenuBar", 0xFF00001E},
}};

} // namespace

QString ColorToString(uint32_t aColor)
{
    for (const TColorName& entry : ColorNames) {
        if (entry.Value == aColor)
            return QLatin1String(entry.Name);
    }
    return QLatin1Char('$') + QStringLiteral("%1").arg(aColor, 8, 16, QLatin1Char('0')).toUpper();
}

TColorConversion StringToColor(const QString& aText)
{
    for (const TColorName& entry : ColorNames) {
        if (aText.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            return {true, entry.Value, {}};
    }
    if (const std::optional<int32_t> value = ParseIntegerLiteral(aText))
        return {true, static_cast<uint32_t>(*value), {}};
    return {false, 0, InvalidIntegerMessage(aText)};
}

QString InvalidIntegerMessage(const QString& aText)
{
    return QStringLiteral("''%1'' is not a valid integer value").arg(aText);
}
