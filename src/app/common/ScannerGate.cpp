#include "app/common/ScannerGate.h"

namespace romwright {

IdentityAnswer identityOfModel(const QString &model)
{
    IdentityAnswer answer;
    const ScannerFamily *family = familyNamed(model);
    if (!family)
        return answer;
    answer.kind = IdentityAnswer::Kind::Model;
    answer.model = model;
    answer.typeOfScanner = family->type;
    return answer;
}

ModelDecision decideModel(const IdentityAnswer &answer, const QString &claimed, int port)
{
    ModelDecision decision;
    const ScannerFamily *claimedFamily = familyNamed(claimed);
    switch (answer.kind) {
    case IdentityAnswer::Kind::Model:
        if (claimed.isEmpty() || claimed == answer.model) {
            decision.kind = ModelDecision::Kind::Go;
        } else {
            decision.kind = ModelDecision::Kind::Contradiction;
            decision.text =
                QString::fromLatin1(kAnswersAsAnotherModel).arg(QString::number(port), answer.model, claimed);
        }
        decision.model = answer.model;
        decision.typeOfScanner = answer.typeOfScanner;
        return decision;
    case IdentityAnswer::Kind::Unknown:
        decision.kind = ModelDecision::Kind::Refused;
        decision.text =
            QString::fromLatin1(kAnswersUnknown).arg(QString::number(port), shownAnswer(answer.raw)) +
            QString::fromLatin1(kNothingChanged);
        return decision;
    case IdentityAnswer::Kind::NoPort:
        decision.kind = ModelDecision::Kind::Refused;
        decision.text = QString::fromLatin1(kPortUnreadable).arg(QString::number(port), answer.portError) +
                        QString::fromLatin1(kNothingChanged);
        return decision;
    case IdentityAnswer::Kind::BootPrompt:
    case IdentityAnswer::Kind::Silent:
        break;
    }
    if (!claimedFamily)
        return decision; // Choose
    decision.kind = ModelDecision::Kind::Go;
    decision.model = claimed;
    decision.typeOfScanner = claimedFamily->type;
    return decision;
}

} // namespace romwright
