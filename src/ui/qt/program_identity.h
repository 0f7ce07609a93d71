// The program's name as its windows and message boxes show it, and its icon:
// a pair on its orbit and a third body falling in (resources/encounter.svg,
// compiled into the program).
#pragma once

#include <QIcon>
#include <QString>

namespace lab {

inline QString ProgramTitle() { return QStringLiteral("Encounter"); }

inline QIcon ProgramIcon() { return QIcon(QStringLiteral(":/encounter.svg")); }

}  // namespace lab
