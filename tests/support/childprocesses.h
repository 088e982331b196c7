#pragma once

#include <QList>

// Lists the children of this process, so a test can check that it left no
// tool running and none unreaped.
namespace ChildProcesses {
// Children still running.
QList<qint64> running();
// Children that have exited but that nobody has waited for.
QList<qint64> zombies();
}
