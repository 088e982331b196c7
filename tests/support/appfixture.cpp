#include "appfixture.h"

#include <QMainWindow>

std::unique_ptr<AppDelegate> AppTesting::launchedDelegate(const QString &resourceFolder,
                                                          const QString &temporaryBase)
{
    auto delegate = std::make_unique<AppDelegate>(resourceFolder, temporaryBase);
    delegate->window()->show();
    delegate->applicationDidFinishLaunching();
    return delegate;
}
