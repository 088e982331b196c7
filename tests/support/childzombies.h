#pragma once

#include <QList>

// ChildProcesses::running() leaves out children that have exited; this lists
// exactly those which nobody has waited for yet, so a test can tell a child
// that was never reaped from one that is still running.
namespace ChildProcesses {
QList<qint64> zombies();
}
