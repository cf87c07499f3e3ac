#pragma once

#include "RecoveryInfo.h"
#include "RecoverySet.h"

#include <QString>

#include <optional>

namespace tavix {

// The question that offers a chart an ended editor left behind: what it belongs to, when it
// was kept, and what is not as it should be (a side file that is missing or belongs to an
// earlier copy, a song that is not where it was).
struct RecoveryQuestion
{
    static QString text(const std::optional<RecoveryInfo>& info, RecoverySet::Pairing pairing);
};

} // namespace tavix
