#pragma once
// The program's name as people read it: the title of its message boxes, and the menu entry's
// name. (Not the application's display name: the platform would append that to every window's
// title.)
#include <QString>

inline const QString kProgramName = QStringLiteral("Справочник г.Ведрогорска");
