#include "decorativeaccessible.h"

#include <QWidget>

namespace {

const char* const decorativeProperty = "decorative";

} // namespace

void DecorativeAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&DecorativeAccessible::make);
        return true;
    }();
    Q_UNUSED(installed)
}

DecorativeAccessible::DecorativeAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::Graphic)
{
}

QString DecorativeAccessible::text(QAccessible::Text) const
{
    return QString();
}

QAccessibleInterface* DecorativeAccessible::make(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(decorativeProperty).toBool()) {
        return new DecorativeAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}
