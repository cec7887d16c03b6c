#include "survey/RowDecision.h"

SurveyTarget newSurveyTarget(const QString& ip, const OwnIdentity& me)
{
    return {{ip, {}, {}}, ip == me.myIp ? SurveyTarget::Kind::Own : SurveyTarget::Kind::Probe};
}

SurveyTarget resurveyTarget(const AddressEntry& before, const OwnIdentity& me)
{
    SurveyTarget target{before, SurveyTarget::Kind::Probe};
    // A complete entry is kept even at the own address: it may carry an older name.
    if (!target.before.host.isEmpty() && !target.before.mac.isEmpty())
        target.kind = SurveyTarget::Kind::Carry;
    else if (target.before.ip == me.myIp)
        target.kind = SurveyTarget::Kind::Own;
    return target;
}

AddressEntry surveyedRow(const SurveyTarget& target, const OwnIdentity& me,
                         const AddressFindings& found)
{
    const AddressEntry& before = target.before;
    switch (target.kind) {
    case SurveyTarget::Kind::Carry:
        return before;
    case SurveyTarget::Kind::Own:
        return {before.ip, me.pcName, me.myMac};
    case SurveyTarget::Kind::Probe:
        break;
    }
    if (found.host.isEmpty() && found.mac.isEmpty())
        return before;
    return {before.ip, found.host, found.mac};
}
