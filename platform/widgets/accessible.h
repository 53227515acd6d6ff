#pragma once

#include <QAccessible>

// Installs `factory` the first time a widget that needs it is made; Qt asks every installed
// factory for every object, so each is installed once only.
template <QAccessible::InterfaceFactory factory> void InstallAccessibleFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}
