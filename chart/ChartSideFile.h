#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tavix {

// What a chart was made with, which its own file cannot hold: the song and the tempo and
// offset texts. Every save writes it to a small side file beside the chart (the chart's
// name with ".tavix" appended), so it travels with the chart; where the chart's folder
// cannot take it, to a folder of the user's data instead, under a name drawn from the
// chart's absolute path. The chart file itself stays exactly as it is.
//
// The side file is UTF-8 text, one "key=value" line each after the first line
// "TavixChartSide 1"; in values a backslash is written "\\", a line feed "\n" and a
// carriage return "\r". Keys: chart (the chart's absolute path), song (the song's absolute
// path; empty: none), tempo and offset (the texts as typed), bpm (the tempo's value in C
// notation, so that a text typed in another locale still reads right). Unknown keys,
// empty lines and lines starting with "#" are skipped.
class ChartSideFile
{
public:
    struct Notes
    {
        QString songPath;
        QString tempoText;
        std::optional<double> bpm;
        QString offsetText;

        // The tempo as the user would type it here: the text kept, unless this locale reads
        // it as another number (then the value written in this locale's way).
        QString tempoTextIn(const QLocale& locale) const;
        bool operator==(const Notes&) const = default;
    };

    static constexpr const char* Suffix = ".tavix";

    // Beside the chart.
    static QString besidePath(const QString& chartPath);
    // In `folder`, for a chart whose own folder cannot take it.
    static QString fallbackPath(const QString& chartPath, const QString& folder);

    // Writes the notes beside the chart, else into `fallbackFolder` (none when empty). The
    // path written, or nothing with `error` set.
    static std::optional<QString> write(const QString& chartPath, const Notes& notes,
                                        const QString& fallbackFolder, QString* error = nullptr);
    // The notes of the chart, from the newer of its two places; nothing when it has none.
    static std::optional<Notes> read(const QString& chartPath, const QString& fallbackFolder);

    static QByteArray encode(const QString& chartPath, const Notes& notes);
    // Nothing for text that is not a side file; `chartPath` receives the chart it names.
    static std::optional<Notes> decode(const QByteArray& text, QString* chartPath = nullptr);
};

} // namespace tavix
