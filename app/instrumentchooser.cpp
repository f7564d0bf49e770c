#include "instrumentchooser.h"

#include "instrumenthost.h"
#include "usertexts.h"

#include <QComboBox>
#include <QVBoxLayout>
#include <QLabel>

InstrumentChooser::InstrumentChooser(InstrumentHost* instrumentHost, QWidget* parent)
    : QWidget(parent), host(instrumentHost), identity(new QLabel(this)),
      choices(new QComboBox(this))
{
    // The margins of the controls beneath, so that the texts line up; the
    // list under its question, as wide as its longest entry.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(layout->contentsMargins().left(), layout->contentsMargins().top(),
                               layout->contentsMargins().right(), 0);
    layout->addWidget(identity);
    layout->addWidget(choices, 0, Qt::AlignLeft);
    identity->setObjectName(QStringLiteral("instrumentLabel"));
    identity->setWordWrap(true);
    identity->setBuddy(choices);
    choices->setObjectName(QStringLiteral("instrumentChoice"));
    choices->setAccessibleName(tr("Instrument"));
    choices->setPlaceholderText(tr("Choose an instrument"));
    choices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    choices->setMinimumContentsLength(choices->placeholderText().size() + 2);

    connect(choices, QOverload<int>::of(&QComboBox::activated), this, &InstrumentChooser::chosen);
    for (auto changed : {&InstrumentHost::attachedChanged, &InstrumentHost::connected,
                         &InstrumentHost::disconnected}) {
        connect(host, changed, this, &InstrumentChooser::refresh);
    }
    refresh();
}

void InstrumentChooser::setUpdating(bool running)
{
    updating = running;
    refresh();
}

QLabel* InstrumentChooser::identityLabel() const
{
    return identity;
}

QComboBox* InstrumentChooser::choiceBox() const
{
    return choices;
}

void InstrumentChooser::refresh()
{
    const QList<InstrumentHost::Device> attached = host->attached();
    if (host->choiceNeeded()) {
        identity->setText(UserTexts::severalText(attached) + QLatin1Char(' ') +
                          tr("Choose the one to update:"));
    } else if (host->isConnected()) {
        identity->setText(UserTexts::instrumentText(host->serialNumber()));
    } else {
        identity->clear();
    }

    // The list only where there is a choice to make, or one made among several.
    const bool several = attached.size() > 1;
    choices->setVisible(several);
    choices->setEnabled(several && !updating);
    const QSignalBlocker quiet(choices);
    choices->clear();
    for (const InstrumentHost::Device& device : attached) {
        choices->addItem(UserTexts::deviceName(device), device.identity());
    }
    choices->setCurrentIndex(choices->findData(host->chosenInstrument()));
    setVisible(!identity->text().isEmpty() || several);
}

void InstrumentChooser::chosen(int index)
{
    const QString picked = choices->itemData(index).toString();
    if (picked.isEmpty() || picked == host->chosenInstrument()) {
        return;
    }
    host->logUserAction(QStringLiteral("Chose the instrument %1").arg(picked));
    host->chooseInstrument(picked);
}
