#include "Judgement.h"

#include <QString>

#include <cmath>

namespace tavix {

bool JudgeWindows::valid() const
{
    return perfectMs > 0.0 && perfectMs <= greatMs && greatMs <= goodMs && goodMs <= badMs &&
           std::isfinite(badMs);
}

Judgement JudgeWindows::of(double errorMs) const
{
    const double e = std::abs(errorMs);
    if (e <= perfectMs)
        return Judgement::Perfect;
    if (e <= greatMs)
        return Judgement::Great;
    if (e <= goodMs)
        return Judgement::Good;
    if (e <= badMs)
        return Judgement::Bad;
    return Judgement::Miss;
}

QString judgementName(Judgement j)
{
    switch (j) {
    case Judgement::Perfect:
        return QStringLiteral("Perfect");
    case Judgement::Great:
        return QStringLiteral("Great");
    case Judgement::Good:
        return QStringLiteral("Good");
    case Judgement::Bad:
        return QStringLiteral("Bad");
    case Judgement::Miss:
        break;
    }
    return QStringLiteral("Miss");
}

} // namespace tavix
