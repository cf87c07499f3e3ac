#pragma once

#include <QString>

namespace tavix {

// The system clipboard as the editor uses it: plain text in and out.
class ClipboardService
{
public:
    virtual ~ClipboardService() = default;
    // The clipboard's text; empty when it holds none.
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

} // namespace tavix
