#pragma once

#include <QAccessibleWidget>

class QWidget;

// What a screen reader is told of a widget that only decorates the window,
// such as the maker's logo: a picture without a name, which readers pass
// over. The widget goes on working as it is for the mouse.
class DecorativeAccessible : public QAccessibleWidget
{
public:
    // Makes widgets whose dynamic property "decorative" is true decorative;
    // call before they are made (before a form's setupUi()), since a widget's
    // accessible interface is made once.
    static void install();

    explicit DecorativeAccessible(QWidget* widget);
    QString text(QAccessible::Text kind) const override;

private:
    static QAccessibleInterface* make(const QString& className, QObject* object);
};
