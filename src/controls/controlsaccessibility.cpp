// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlsaccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

// Qt asks with each class name of the object's ancestry in turn, and keeps
// the interface it is given: its cache owns it.
QAccessibleInterface *interfaceFor(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *const widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("RangeSlider"))
        return new QAccessibleWidget(widget, QAccessible::Slider);
    if (className == QLatin1String("ImageDropView"))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

} // namespace

void ControlsAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
}
