#pragma once

#include "boardtable.h"

#include <QObject>
#include <QString>

class InstrumentHost;
class QShortcut;
class QWidget;

// The window's firmware files: the dialog behind the three load buttons, the
// question before a file replaces a group's image, and the hidden tool that
// sorts and stamps files for distribution (Ctrl+Alt+F8, or Ctrl+Shift+F8
// where the desktop keeps the first for itself). Each file is read and
// checked once by the host, and the image checked is the image used.
class FileOffering : public QObject
{
    Q_OBJECT

public:
    // The host is borrowed and must outlive the offering; its boxes and
    // dialogs open on the window.
    FileOffering(InstrumentHost* host, QWidget* window);

    // Inactive while an update runs, so that the images it sends stay as they are.
    void setEnabled(bool enabled);

public slots:
    // Asks for files and offers each for the board group its part code names.
    void chooseFiles();
    // Offers the file: a usable one replaces its group's image once the user agrees.
    void offerFile(const QString& path);
    // The stamping tool: sorts and stamps the chosen files, offers each, then
    // makes the built-in images the ones to install again.
    void stampFiles();

signals:
    // A group's image has changed.
    void imagesChanged();

private:
    InstrumentHost* host;
    QWidget* window;
    QShortcut* stampShortcut;
    QShortcut* stampShortcutAlternative;
};
