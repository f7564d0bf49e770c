#pragma once

#include <QWidget>

class InstrumentHost;
class QComboBox;
class QLabel;

// Which instrument the window talks to: the serial number of the one
// connected, and where several are attached, a list to choose one from. Until
// one is chosen none is opened; the choice stays until that instrument is
// unplugged. No other can be chosen while an update runs.
class InstrumentChooser : public QWidget
{
    Q_OBJECT

public:
    // The host is borrowed and must outlive the chooser.
    explicit InstrumentChooser(InstrumentHost* host, QWidget* parent = nullptr);

    // While an update runs the choice is fixed.
    void setUpdating(bool updating);

    // The label naming the instrument, and the list to choose from.
    QLabel* identityLabel() const;
    QComboBox* choiceBox() const;

private slots:
    void refresh();
    void chosen(int index);

private:
    InstrumentHost* host;
    QLabel* identity;
    QComboBox* choices;
    bool updating = false;
};
