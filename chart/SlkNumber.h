#pragma once

#include <QByteArrayView>

#include <optional>

namespace tavix::Internal {

// Numbers in script records, read the way a general number reader reads them: optional
// blanks, an optional sign, digits with an optional decimal point, an optional exponent.
// Values too large for any integer the charts use come back as infinities, so that range
// checks fail for them without the parse itself ever failing.
class SlkNumber
{
public:
    // The number that starts the text (after leading blanks); 0 when none does.
    static double leading(QByteArrayView text);

    // The value when the whole text, trailing blanks allowed, is one number.
    static std::optional<double> whole(QByteArrayView text);
};

} // namespace tavix::Internal
