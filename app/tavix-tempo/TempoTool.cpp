#include "TempoTool.h"

#include "SongTempo.h"

#include <QTextStream>

#include <cmath>
#include <variant>

namespace tavix {

namespace {

constexpr auto ToolName = "tavix-tempo";
constexpr double LowestBpm = 10.0;
constexpr double HighestBpm = 1000.0;

struct Options
{
    QString song;
    TempoOptions range;
    bool help = false;
};

struct UsageError
{
    QString what;
};

// Options may stand before or after the song, as "--min-bpm A" or "--min-bpm=A".
std::variant<Options, UsageError> parse(const QStringList& args)
{
    Options o;
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        o.help = true;
        return o;
    }
    QStringList songs;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool hasValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            value = a.mid(a.indexOf(QLatin1Char('=')) + 1);
            a = a.left(a.indexOf(QLatin1Char('=')));
            hasValue = true;
        }
        if (a == QLatin1String("--min-bpm") || a == QLatin1String("--max-bpm")) {
            if (!hasValue && i + 1 < args.size()) {
                value = args[++i];
                hasValue = true;
            }
            bool ok = false;
            const double bpm = hasValue ? value.toDouble(&ok) : 0.0;
            if (!ok || !(bpm >= LowestBpm && bpm <= HighestBpm))
                return UsageError{QStringLiteral("%1 needs a tempo from %2 to %3")
                                      .arg(a)
                                      .arg(LowestBpm)
                                      .arg(HighestBpm)};
            (a == QLatin1String("--min-bpm") ? o.range.minBpm : o.range.maxBpm) = bpm;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return UsageError{QStringLiteral("unknown option '%1'").arg(a)};
        } else {
            songs << args[i];
        }
    }
    if (songs.size() != 1)
        return UsageError{QStringLiteral("one SONG please, got %1").arg(songs.size())};
    if (o.range.minBpm > o.range.maxBpm)
        return UsageError{QStringLiteral("--min-bpm %1 is above --max-bpm %2")
                              .arg(o.range.minBpm)
                              .arg(o.range.maxBpm)};
    o.song = songs[0];
    return o;
}

int fileError(QTextStream& err, const QString& file, const QString& reason)
{
    err << ToolName << ": " << file << ": " << reason << Qt::endl;
    return 1;
}

int detect(const Options& o, QTextStream& out, QTextStream& err)
{
    const SongTempo song = detectSongTempo(o.song, o.range);
    if (!song.done())
        return fileError(err, o.song, song.reason);
    const TempoResult& r = song.result;
    out << "bpm: " << QString::number(r.bpm, 'f', 2) << '\n'
        << "first-beat-ms: " << r.firstBeatWholeMs() << '\n'
        << "offset: " << offsetText(r) << '\n'
        << "confidence: " << QString::number(r.confidence, 'f', 2) << '\n';
    if (!r.found()) {
        out << Qt::flush;
        return 0;
    }
    out << "constant: " << (r.constant ? "yes" : "no") << '\n';
    for (const OffGridStretch& s : r.offGrid)
        out << "off-grid-ms: " << std::llround(s.startMs) << '-' << std::llround(s.endMs) << '\n';
    out << "candidates:\n";
    for (const TempoCandidate& c : r.candidates)
        out << "  " << QString::number(c.bpm, 'f', 2) << " score "
            << QString::number(c.score, 'f', 2) << " first-beat-ms " << c.firstBeatWholeMs()
            << " offset " << offsetText(c) << '\n';
    out << Qt::flush;
    return 0;
}

} // namespace

QString tempoToolUsage()
{
    return QStringLiteral(
        "usage: tavix-tempo SONG [--min-bpm A] [--max-bpm B]\n"
        "       tavix-tempo --help\n"
        "\n"
        "Detects the constant tempo and the first beat of SONG (Ogg, MP3, WAV, FLAC) and\n"
        "prints:\n"
        "  bpm:            the tempo, to hundredths, the reading of it that lies in A..B\n"
        "                  (default 75 to 225); 0.00 when no beat is heard\n"
        "  first-beat-ms:  the first beat at or after the start, in milliseconds\n"
        "  offset:         the offset text that starts every fourth cell on a beat\n"
        "  confidence:     0 to 1, how likely the tempo is right; under 0.50 it is a\n"
        "                  guess to check with the metronome\n"
        "When a tempo was found, then:\n"
        "  constant:       yes, or no when the beats drift from one steady grid, followed\n"
        "                  by an off-grid-ms: START-END line for each stretch where the\n"
        "                  grid is more than 15 ms off the beats\n"
        "  candidates:     up to three readings of the beat, best first, one a line:\n"
        "                  BPM score S first-beat-ms MS offset OFFSET\n"
        "The range only chooses among the multiples and fractions (x2, /2, x3/2, x2/3)\n"
        "of the one tempo the song has; it never moves it.\n"
        "\n"
        "Exit status: 0 done, 1 the song could not be read, 2 usage error.\n");
}

int runTempoTool(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const auto parsed = parse(args);
    if (const auto* e = std::get_if<UsageError>(&parsed)) {
        err << ToolName << ": " << e->what << "\n\n" << tempoToolUsage() << Qt::flush;
        return 2;
    }
    const Options& o = std::get<Options>(parsed);
    if (o.help) {
        out << tempoToolUsage() << Qt::flush;
        return 0;
    }
    return detect(o, out, err);
}

} // namespace tavix
