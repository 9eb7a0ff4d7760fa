#pragma once

#include <QIcon>
#include <QString>

// The program's 15 icons, compiled in from resources/icons.
constexpr int MerovikIconCount = 15;

// Resource path of icon aIndex (0 to 14), empty outside that range.
QString MerovikIconPath(int aIndex);

// The icon of that index; a null icon outside 0 to 14.
QIcon MerovikIcon(int aIndex);

// Resource path of the program's own icon, the one the desktop files install:
// the window's icon in the title bar and the task bar.
QString MerovikProgramIconPath();
