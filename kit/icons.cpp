#include "kit/icons.h"

#include <array>

namespace
{
// Index order is the image list's order that the window's buttons refer to.
constexpr std::array<const char*, MerovikIconCount> IconFiles = {
    "00_photo",     "01_new",       "02_load",       "03_save_label", "04_delete",
    "05_export",    "06_folder_up", "07_printer",    "08_colours",    "09_arrow_down",
    "10_arrow_up",  "11_arrow_left", "12_arrow_right", "13_undo",        "14_redo",
};
}

QString MerovikIconPath(int aIndex)
{
    if (aIndex < 0 || aIndex >= MerovikIconCount)
        return {};
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(IconFiles[static_cast<size_t>(aIndex)]));
}

QIcon MerovikIcon(int aIndex)
{
    const QString path = MerovikIconPath(aIndex);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

QString MerovikProgramIconPath()
{
    return QStringLiteral(":/desktop/merovik.svg");
}
