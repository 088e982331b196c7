#pragma once

#include <QList>

// Lists the running children of this process, so a test can check that it
// left no tool running.
namespace ChildProcesses {
QList<qint64> running();
}
