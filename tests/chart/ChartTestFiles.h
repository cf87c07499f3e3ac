#pragma once

#include "ChartEdit.h"
#include "KeP.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace tavix::test {

inline QString goldenPath(const char* name)
{
    return QStringLiteral(TAVIX_SOURCE_DIR "/tests/chart/golden/") + QLatin1String(name);
}

inline QString examplePath(const char* name)
{
    return QStringLiteral(TAVIX_SOURCE_DIR "/resources/examples/") + QLatin1String(name);
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A chart of `cells` cells with the given (cell, row) elements set to 1.
inline KeP chartWith(int32_t cells, std::initializer_list<std::pair<int32_t, int>> set)
{
    KeP kep;
    ChartEdit(kep).resizeCells(cells);
    for (const auto& [c, r] : set)
        ChartEdit(kep).set(KeP::flatIndex(c, r), 1);
    return kep;
}

// Cell 4 holds keys 7 and 1; cell 8 keys 4 and 9 and the confirm marker; cell 21 the
// confirm marker alone.
inline KeP workedExample(int32_t cells = 22)
{
    return chartWith(cells, {{4, 1}, {4, 3}, {8, 2}, {8, 4}, {8, 7}, {21, 7}});
}

// The native file bytes for an upper index and grid, assembled by hand.
inline QByteArray nativeFile(int32_t upper, const QByteArray& grid)
{
    QByteArray out("ZorvikTuneScribeFile");
    const auto u = uint32_t(upper);
    for (int i = 0; i < 4; ++i)
        out.append(char((u >> (8 * i)) & 0xFF));
    return out + grid;
}

inline QByteArray gridBytes(const KeP& kep)
{
    return QByteArray(reinterpret_cast<const char*>(kep.KeyGrid.data()),
                      qsizetype(kep.KeyGrid.size()));
}

} // namespace tavix::test
