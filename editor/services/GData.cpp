#include "GData.h"

#include "Rounding.h"

namespace tavix {

namespace {

// The switch, each byte XORed with the mask; nothing else holds its letters.
constexpr char EncodedSwitch[] = "88F3C6D1CEDFF4C4D5CED7D3EAC8C3C2";
constexpr uint8_t SwitchMask = 0xA7;

int hexValue(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Reads a piece of at most two digits the way the original's hex literal did: as far as
// it goes.
uint8_t pieceValue(const QString& upper, qsizetype from)
{
    int value = 0;
    for (qsizetype i = from; i < from + 2 && i < upper.size(); ++i) {
        const int d = hexValue(upper.at(i));
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return uint8_t(value);
}

} // namespace

std::vector<uint8_t> GData(const QString& DataA)
{
    const QString upper = DataA.toUpper();
    const double half = double(upper.size()) / 2.0 - 1.0;
    const int64_t k = int64_t(nearestReal(half));
    std::vector<uint8_t> bytes;
    if (k < 0)
        return bytes;
    bytes.reserve(size_t(k + 1));
    for (int64_t i = 0; i <= k; ++i)
        bytes.push_back(pieceValue(upper, qsizetype(2 * i)));
    return bytes;
}

QString scriptModeSwitch()
{
    QByteArray text;
    for (uint8_t b : GData(QString::fromLatin1(EncodedSwitch)))
        text.append(char(b ^ SwitchMask));
    return QString::fromLocal8Bit(text);
}

bool commandLineHasScriptSwitch(const QString& commandLine)
{
    return commandLine.contains(scriptModeSwitch(), Qt::CaseSensitive);
}

} // namespace tavix
