#pragma once

#include "trvinterface.h"

#include <QList>
#include <QMap>
#include <QString>

// What an update of the boards asked for would do, and what deserves a word
// before it starts. All lists are in the order of the rows.
struct UpdatePlan
{
    using PartType = trvInterface::PartType;

    // The plan for the boards asked for, from the versions the boards have
    // reported since the last connect (those that have not are silent) and
    // the version of each board's image.
    static UpdatePlan make(const QList<PartType>& asked, const QMap<PartType, QString>& reported,
                           const QMap<PartType, QString>& imageVersions);
    // The plan with its older boards kept as they are: the others are
    // updated as the plan says.
    UpdatePlan withoutOlder(const QMap<PartType, QString>& reported,
                            const QMap<PartType, QString>& imageVersions) const;
    // The plan with the boards that already run their image's version left
    // out (named in alreadyCurrent): only what is needed is sent. When every
    // board is current, the plan has no board and nothing is sent.
    UpdatePlan withoutCurrent(const QMap<PartType, QString>& reported,
                              const QMap<PartType, QString>& imageVersions) const;

    // The plan without the boards left out: the others as make() plans them,
    // with what this plan kept and found already current.
    UpdatePlan without(const QList<PartType>& leftOut, const QMap<PartType, QString>& reported,
                       const QMap<PartType, QString>& imageVersions) const;
    // The boards in the order of the rows, each once.
    static QList<PartType> inRowOrder(const QList<PartType>& some);

    // The boards asked for that have answered since the last connect: the
    // update's boards.
    QList<PartType> boards;
    // The update's steps in order, each with its boards.
    QList<QList<PartType>> steps;
    // Boards asked for that have not answered since the last connect; left out.
    QList<PartType> silent;
    // Boards of the update that run newer firmware than their image.
    QList<PartType> older;
    // Boards of the update that already run their image's version: the
    // update installs it again.
    QList<PartType> current;
    // Boards asked for that are kept as they are, since their image is
    // older than what they run (see withoutOlder()).
    QList<PartType> kept;
    // Boards asked for that are left out, since they already run their
    // image's version (see withoutCurrent()).
    QList<PartType> alreadyCurrent;
    // Every board of the update already runs its image's version (false
    // when the update has no board).
    bool allCurrent = false;
    // The connection the versions above were reported on (1 for the first
    // since the program started); 0 when made without one. A plan is for
    // that connection only.
    int connection = 0;
};
