#pragma once

#include <QByteArray>
#include <QString>

// The application style sheet from the bytes of its resource: Latin-1 text up
// to the first NUL byte, or the whole of it when there is none.
QString styleSheetText(const QByteArray& bytes);
