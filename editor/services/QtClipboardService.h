#pragma once

#include "ClipboardService.h"

namespace tavix {

// The clipboard of the running Qt application.
class QtClipboardService : public ClipboardService
{
public:
    QString text() const override;
    void setText(const QString& text) override;
};

} // namespace tavix
