// The program's pictures: the tool bar's buttons, the program's own icon and the icons of the
// two document types. They are drawn as XPM images compiled into the program's resources.
#pragma once

#include <QIcon>

// The 16 x 15 button picture of a command ID; an empty icon for a command without one.
QIcon ToolbarIcon(int commandId);

// The program's icon, 32 x 32.
QIcon AppIcon();
// The icons of a phase profile document and of a voltage-phase document, 32 x 32.
QIcon ProfileDocIcon();
QIcon VoltDocIcon();
