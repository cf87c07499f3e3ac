#include "ChartTool.h"

#include "CellTiming.h"
#include "ChartChecks.h"
#include "ChartEdit.h"
#include "ChartFile.h"
#include "ChartStats.h"
#include "KeP.h"
#include "NumberReading.h"
#include "Rounding.h"
#include "SongForChecks.h"
#include "SylkWriter.h"

#include <QLocale>
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
    // The editor's offset text when it starts, read as its offset box reads it.
    QString offset = QStringLiteral("0.7");
    double offsetTerm = tavix::offsetTerm(0.7);
    QString song;
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
    const bool timed = o.command == QLatin1String("info") || o.command == QLatin1String("stats") ||
                       o.command == QLatin1String("check");
    const bool check = o.command == QLatin1String("check");
    if (o.command != QLatin1String("convert") && !timed)
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
        } else if (a == QLatin1String("--bpm") && timed) {
            const auto v = takeValue();
            const auto b = v ? parseBpm(*v) : std::nullopt;
            if (!b)
                return UsageError{QStringLiteral("--bpm needs a tempo above 0 (and up to 1e6)")};
            o.bpm = *b;
        } else if (a == QLatin1String("--offset") && check) {
            const auto v = takeValue();
            // The C locale's rules, whatever the user's: a script gives "0.7" everywhere.
            const auto term = v ? offsetTermOf(QLocale::c(), *v) : std::nullopt;
            if (!term)
                return UsageError{QStringLiteral("--offset needs a number, such as 0.7")};
            o.offset = *v;
            o.offsetTerm = *term;
        } else if (a == QLatin1String("--song") && check) {
            const auto v = takeValue();
            if (!v || v->isEmpty())
                return UsageError{QStringLiteral("--song needs a sound file")};
            o.song = *v;
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

QString decimals(double x)
{
    return QString::number(x, 'f', 2);
}

QString cellOrNone(int32_t cell)
{
    return cell < 0 ? QStringLiteral("none") : QString::number(cell);
}

int stats(const Options& o, QTextStream& out, QTextStream& err)
{
    int status = 0;
    auto kep = loadChart(o, o.files[0], err, status);
    if (!kep)
        return status;
    const ChartStats s = ChartStats::of(*kep, KeP::rateFromBpm(o.bpm));
    QStringList measures;
    measures.reserve(qsizetype(s.keysPerMeasure.size()));
    for (const int32_t n : s.keysPerMeasure)
        measures << QString::number(n);
    out << "cells: " << kep->TotalBeats << '\n'
        << "keys: " << s.keys << '\n'
        << "chords: " << s.chords << '\n'
        << "markers: " << s.markers << '\n'
        << "first keyed cell: " << cellOrNone(s.firstKeyed) << '\n'
        << "last keyed cell: " << cellOrNone(s.lastKeyed) << '\n'
        << "keyed cells: " << s.keyedCells << '\n'
        << "keyed ms: " << QString::number(s.keyedMs, 'f', 0) << '\n'
        << "keys per second: " << decimals(s.keysPerSecond) << '\n'
        << "densest 4 s keys per second: " << decimals(s.densestKeysPerSecond) << '\n'
        << "densest 4 s from cell: " << cellOrNone(s.densestFirst) << '\n'
        << "longest run without a rest: " << s.longestRun << '\n'
        << "longest run from cell: " << cellOrNone(s.longestRunFirst) << '\n'
        << "keys per measure:" << (measures.isEmpty() ? QString() : u' ' + measures.join(u' '))
        << Qt::endl;
    return 0;
}

int check(const Options& o, QTextStream& out, QTextStream& err)
{
    int status = 0;
    auto kep = loadChart(o, o.files[0], err, status);
    if (!kep)
        return status;
    CheckInput in;
    in.timing = CellTiming::of(KeP::rateFromBpm(o.bpm), o.offsetTerm);
    std::optional<SongForChecks> song;
    if (!o.song.isEmpty()) {
        QString why;
        song = SongForChecks::read(o.song, &why);
        if (!song)
            return fileError(err, o.song, why);
        in.songLenMs = song->lengthMs;
        in.levels = SongLevels{song->msPerPeak, song->peaks};
    }
    const std::vector<CheckFinding> found = ChartChecks::all(*kep, in);
    for (const CheckFinding& f : found)
        out << "cells " << f.first << '-' << f.last << ": " << f.message << '\n';
    out << Qt::flush;
    return found.empty() ? 0 : 1;
}

} // namespace

QString chartToolUsage()
{
    return QStringLiteral(
        "usage: tavix-chart convert [--cells N] INPUT OUTPUT\n"
        "       tavix-chart info FILE [--cells N] [--bpm B]\n"
        "       tavix-chart stats FILE [--cells N] [--bpm B]\n"
        "       tavix-chart check FILE [--cells N] [--bpm B] [--offset O] [--song S]\n"
        "       tavix-chart --help\n"
        "\n"
        "Every command starts from an empty grid of N cells (no grid when N is 0 or not\n"
        "given) and loads the file into it: a name ending in .zts is a native chart, which\n"
        "replaces the grid; any other name is a SYLK script, merged into the grid.\n"
        "\n"
        "convert  writes OUTPUT: the SYLK script when it ends in .slk, otherwise the\n"
        "         native chart (.zts appended when missing).\n"
        "info     prints the cells, keys, confirm markers, the final cell and the\n"
        "         length m:ss at the tempo B (default 100 BPM).\n"
        "stats    prints one \"name: value\" line for each figure: keys, chords (cells\n"
        "         with two keys or more), markers, the keyed length from the first to\n"
        "         the last keyed cell, keys per second over it and in the densest 4 s,\n"
        "         the longest run of keyed cells without a rest (a cell with no key),\n"
        "         and the keys of each measure of 16 cells on one line.\n"
        "check    prints \"cells A-B: what\" for each thing to look at: keys before\n"
        "         the music starts (in the lead the offset O gives, default 0.7, read as\n"
        "         the editor's offset box reads it), keys after the song S ends and\n"
        "         keys where it is silent, under -40 dBFS for 250 ms or more (with\n"
        "         --song), grid values other than 0 and 1, confirm markers off the\n"
        "         every-32-cells pattern of the others, more than 12 keys/s over 2 s,\n"
        "         the same key again within 60 ms.\n"
        "\n"
        "A native chart shorter than its header claims is read with the cells it lacks\n"
        "empty, and a line on standard error says so.\n"
        "\n"
        "Exit status: 0 done, 1 a file could not be read or written, 2 usage error;\n"
        "check also exits 1 when it found anything (its lines are on standard output,\n"
        "a file's error on standard error).\n");
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
    if (o.command == QLatin1String("stats"))
        return stats(o, out, err);
    if (o.command == QLatin1String("check"))
        return check(o, out, err);
    return info(o, out, err);
}

} // namespace tavix
