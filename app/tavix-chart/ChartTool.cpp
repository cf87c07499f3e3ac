#include "ChartTool.h"

#include "ChartEdit.h"
#include "ChartFile.h"
#include "KeP.h"
#include "Rounding.h"
#include "SylkWriter.h"

#include <QTextStream>

#include <optional>
#include <variant>

namespace tavix {

namespace {

constexpr auto ToolName = "tavix-chart";

struct Options
{
    QString command;
    QStringList files;
    int64_t cells = 0;
    double bpm = 100.0;
    bool help = false;
};

struct UsageError
{
    QString what;
};

std::optional<int64_t> parseCells(const QString& text)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < 0 || n > KeP::MaxCells)
        return std::nullopt;
    return n;
}

std::optional<double> parseBpm(const QString& text)
{
    bool ok = false;
    const double b = text.toDouble(&ok);
    // A tempo whose single-precision rate is above 0, and not absurdly fast.
    if (!ok || !(b > 0.0) || b > 1.0e6 || !(KeP::rateFromBpm(b) > 0.0f))
        return std::nullopt;
    return b;
}

// Options may stand anywhere after the command, as "--cells N" or "--cells=N".
std::variant<Options, UsageError> parse(const QStringList& args)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
            return o;
        }
    }
    if (args.isEmpty())
        return UsageError{QStringLiteral("no command given")};
    o.command = args[0];
    if (o.command != QLatin1String("convert") && o.command != QLatin1String("info"))
        return UsageError{QStringLiteral("unknown command '%1'").arg(o.command)};

    for (qsizetype i = 1; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool hasValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            value = a.mid(a.indexOf(QLatin1Char('=')) + 1);
            a = a.left(a.indexOf(QLatin1Char('=')));
            hasValue = true;
        }
        const auto takeValue = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--cells")) {
            const auto v = takeValue();
            const auto n = v ? parseCells(*v) : std::nullopt;
            if (!n)
                return UsageError{
                    QStringLiteral("--cells needs a whole number from 0 to %1").arg(KeP::MaxCells)};
            o.cells = *n;
        } else if (a == QLatin1String("--bpm") && o.command == QLatin1String("info")) {
            const auto v = takeValue();
            const auto b = v ? parseBpm(*v) : std::nullopt;
            if (!b)
                return UsageError{QStringLiteral("--bpm needs a tempo above 0 (and up to 1e6)")};
            o.bpm = *b;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return UsageError{QStringLiteral("unknown option '%1' for %2").arg(a, o.command)};
        } else {
            o.files << args[i];
        }
    }
    const qsizetype wanted = o.command == QLatin1String("convert") ? 2 : 1;
    if (o.files.size() != wanted)
        return UsageError{QStringLiteral("%1 takes %2, got %3")
                              .arg(o.command, wanted == 2 ? QStringLiteral("INPUT and OUTPUT")
                                                          : QStringLiteral("one FILE"))
                              .arg(o.files.size())};
    return o;
}

int usageError(QTextStream& err, const QString& what)
{
    err << ToolName << ": " << what << "\n\n" << chartToolUsage() << Qt::flush;
    return 2;
}

int fileError(QTextStream& err, const QString& file, const QString& reason)
{
    err << ToolName << ": " << file << ": " << reason << Qt::endl;
    return 1;
}

// An empty grid of the asked size, then the file merged in or read over it.
std::optional<KeP> loadChart(const Options& o, const QString& file, QTextStream& err, int& status)
{
    KeP kep;
    // A tool run keeps no history: what the edit records is let go with it.
    ChartEdit edit(kep);
    if (o.cells > 0)
        edit.resizeCells(o.cells);
    const ChartResult r = LoadChart(edit, file);
    if (!r.ok()) {
        status = fileError(err, file, r.reason);
        return std::nullopt;
    }
    // Read all the same; the line tells that it is not the whole chart.
    if (!r.note.isEmpty())
        err << ToolName << ": " << file << ": " << r.note << Qt::endl;
    return kep;
}

int convert(const Options& o, QTextStream& err)
{
    const QString& input = o.files[0];
    const QString& output = o.files[1];
    int status = 0;
    auto kep = loadChart(o, input, err, status);
    if (!kep)
        return status;
    // As the save command does with the script filter in script mode.
    const bool script = hasExtension(output, QLatin1StringView(".slk"));
    kep->ScriptMode = script;
    const ChartResult r = SaveChart(*kep, output, script ? 1 : 2);
    if (!r.ok())
        return fileError(err, r.path.isEmpty() ? output : r.path, r.reason);
    return 0;
}

int info(const Options& o, QTextStream& out, QTextStream& err)
{
    const QString& file = o.files[0];
    int status = 0;
    auto kep = loadChart(o, file, err, status);
    if (!kep)
        return status;
    int64_t keys = 0;
    int64_t markers = 0;
    for (int32_t c = 0; c < kep->TotalBeats; ++c) {
        for (int r = 1; r <= 6; ++r)
            keys += kep->isSet(c, r);
        markers += kep->isSet(c, 7);
    }
    kep->setTempo(o.bpm);
    // The length is a 32-bit count of milliseconds; beyond it no length can be shown.
    if (!nearestTo<int32_t>(double(kep->TotalBeats) / double(kep->BeatRate)))
        return usageError(err, QStringLiteral("--bpm %1 is too slow: %2 cells would last longer "
                                              "than a length can show")
                                   .arg(o.bpm)
                                   .arg(kep->TotalBeats));
    out << "cells: " << kep->TotalBeats << '\n'
        << "keys: " << keys << '\n'
        << "markers: " << markers << '\n'
        << "final cell: " << SylkWriter::finalCell(*kep) << '\n'
        << "length: " << KeP::MstoMin(kep->songLenFromChart()) << Qt::endl;
    return 0;
}

} // namespace

QString chartToolUsage()
{
    return QStringLiteral(
        "usage: tavix-chart convert [--cells N] INPUT OUTPUT\n"
        "       tavix-chart info FILE [--cells N] [--bpm B]\n"
        "       tavix-chart --help\n"
        "\n"
        "Both commands start from an empty grid of N cells (no grid when N is 0 or not\n"
        "given) and load the file into it: a name ending in .zts is a native chart, which\n"
        "replaces the grid; any other name is a SYLK script, merged into the grid.\n"
        "\n"
        "convert  writes OUTPUT: the SYLK script when it ends in .slk, otherwise the\n"
        "         native chart (.zts appended when missing).\n"
        "info     prints the cells, keys, confirm markers, the final cell and the\n"
        "         length m:ss at the tempo B (default 100 BPM).\n"
        "\n"
        "A native chart shorter than its header claims is read with the cells it lacks\n"
        "empty, and a line on standard error says so.\n"
        "\n"
        "Exit status: 0 done, 1 a file could not be read or written, 2 usage error.\n");
}

int runChartTool(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const auto parsed = parse(args);
    if (const auto* e = std::get_if<UsageError>(&parsed))
        return usageError(err, e->what);
    const Options& o = std::get<Options>(parsed);
    if (o.help) {
        out << chartToolUsage() << Qt::flush;
        return 0;
    }
    if (o.command == QLatin1String("convert"))
        return convert(o, err);
    return info(o, out, err);
}

} // namespace tavix
