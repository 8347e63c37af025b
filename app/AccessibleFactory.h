#pragma once
// Gives every widget of one class its own accessible interface.
#include <QAccessible>

// Installs, the first time it is called for W, the factory the accessibility framework asks
// for each object's interface: an object of class W (exactly, not a subclass) gets an I.
template <class W, class I>
void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(
            [](const QString& className, QObject* object) -> QAccessibleInterface* {
                if (className == QLatin1String(W::staticMetaObject.className()))
                    if (auto* w = qobject_cast<W*>(object))
                        return new I(w);
                return nullptr;
            });
        return true;
    }();
    Q_UNUSED(installed);
}
