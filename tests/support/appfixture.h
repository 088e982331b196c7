#pragma once

#include <memory>

#include <QString>

#include "appdelegate.h"

namespace AppTesting {

// A controller as the app starts it: window shown, launch sequence run.
std::unique_ptr<AppDelegate> launchedDelegate(const QString &resourceFolder, const QString &temporaryBase);

} // namespace AppTesting
