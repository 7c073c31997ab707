// Registers the pictures and texts compiled into the program.
#pragma once

void InitAppResources();

class QIcon;
// The program's icon in every size drawn from resources/tallybrook.svg, the
// same pictures the desktop entry shows in the launcher.
QIcon AppIcon();
