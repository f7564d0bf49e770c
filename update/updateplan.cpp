#include "updateplan.h"

#include "boardtable.h"
#include "firmwareversion.h"

UpdatePlan UpdatePlan::make(const QList<PartType>& asked, const QMap<PartType, QString>& reported,
                            const QMap<PartType, QString>& imageVersions)
{
    UpdatePlan result;
    for (PartType board : BoardTable::boards()) {
        if (!asked.contains(board)) {
            continue;
        }
        if (!reported.contains(board)) {
            result.silent.append(board);
            continue;
        }
        result.boards.append(board);
    }

    result.allCurrent = !result.boards.isEmpty();
    for (PartType board : qAsConst(result.boards)) {
        const int order =
            FirmwareVersion::compare(reported.value(board), imageVersions.value(board));
        if (order == FirmwareVersion::Equal) {
            result.current.append(board);
        } else {
            result.allCurrent = false;
        }
        if (order == FirmwareVersion::Newer) {
            result.older.append(board);
        }
    }
    result.steps = BoardTable::steps(result.boards);
    return result;
}

UpdatePlan UpdatePlan::withoutOlder(const QMap<PartType, QString>& reported,
                                    const QMap<PartType, QString>& imageVersions) const
{
    UpdatePlan result = without(older, reported, imageVersions);
    result.kept = inRowOrder(kept + older);
    return result;
}

UpdatePlan UpdatePlan::withoutCurrent(const QMap<PartType, QString>& reported,
                                      const QMap<PartType, QString>& imageVersions) const
{
    UpdatePlan result = without(current, reported, imageVersions);
    result.alreadyCurrent = inRowOrder(alreadyCurrent + current);
    return result;
}

UpdatePlan UpdatePlan::without(const QList<PartType>& leftOut,
                               const QMap<PartType, QString>& reported,
                               const QMap<PartType, QString>& imageVersions) const
{
    QList<PartType> asked;
    for (PartType board : boards + silent) {
        if (!leftOut.contains(board)) {
            asked.append(board);
        }
    }
    UpdatePlan result = make(asked, reported, imageVersions);
    result.connection = connection;
    result.kept = kept;
    result.alreadyCurrent = alreadyCurrent;
    return result;
}

QList<UpdatePlan::PartType> UpdatePlan::inRowOrder(const QList<PartType>& some)
{
    QList<PartType> ordered;
    for (PartType board : BoardTable::boards()) {
        if (some.contains(board)) {
            ordered.append(board);
        }
    }
    return ordered;
}
