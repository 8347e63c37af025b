#pragma once
// The program's own look: the same style and light palette whatever the desktop's theme or
// colour scheme, and the Russian name the program's message boxes carry.
#include <QString>

// The program's name as people read it (also the menu entry's name).
inline const QString kProgramName = QStringLiteral("Справочник г.Ведрогорска");

// Sets the program's style and its light palette on the running application, and its display
// name. Every colour the windows give their texts is chosen for a light background; a dark
// desktop theme would leave the navy, maroon and purple captions unreadable.
void applyOwnLook();
