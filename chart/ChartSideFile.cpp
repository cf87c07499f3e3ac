#include "ChartSideFile.h"

#include "DeviceIo.h"
#include "SaveTarget.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace tavix {

namespace {

constexpr QByteArrayView FirstLine("TavixChartSide 1");
// A side file is a few lines; anything larger is not one, and is not read whole.
constexpr qint64 LargestSideFile = qint64(64) * 1024;

QByteArray escaped(const QString& value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

QString unescaped(QByteArrayView value)
{
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(out);
}

QString absolute(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool writeTo(const QString& path, const QByteArray& bytes, QString* error)
{
    SaveTarget file(path);
    if (file.open() && Internal::writeFully(file.device(), bytes.constData(), bytes.size()) &&
        file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancel();
    return false;
}

struct Found
{
    ChartSideFile::Notes notes;
    QDateTime modified;
};

std::optional<Found> readFrom(const QString& path, const QString& chartPath, bool sameChartOnly)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > LargestSideFile)
        return std::nullopt;
    QString named;
    auto notes = ChartSideFile::decode(file.read(LargestSideFile), &named);
    // A name drawn from a path could, however unlikely, be another chart's.
    if (!notes || (sameChartOnly && named != absolute(chartPath)))
        return std::nullopt;
    return Found{*notes, QFileInfo(file).lastModified()};
}

} // namespace

QString ChartSideFile::Notes::tempoTextIn(const QLocale& locale) const
{
    if (!bpm)
        return tempoText;
    bool ok = false;
    const double here = locale.toDouble(tempoText.trimmed(), &ok);
    if (ok && here == *bpm)
        return tempoText;
    return locale.toString(*bpm, 'g', QLocale::FloatingPointShortest);
}

QString ChartSideFile::besidePath(const QString& chartPath)
{
    return chartPath + QLatin1String(Suffix);
}

QString ChartSideFile::fallbackPath(const QString& chartPath, const QString& folder)
{
    const QByteArray key =
        QCryptographicHash::hash(absolute(chartPath).toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir(folder).filePath(QString::fromLatin1(key) + QLatin1String(Suffix));
}

QByteArray ChartSideFile::encode(const QString& chartPath, const Notes& notes)
{
    QByteArray out = FirstLine.toByteArray() + '\n';
    out += "chart=" + escaped(absolute(chartPath)) + '\n';
    out +=
        "song=" + escaped(notes.songPath.isEmpty() ? QString() : absolute(notes.songPath)) + '\n';
    out += "tempo=" + escaped(notes.tempoText) + '\n';
    if (notes.bpm && std::isfinite(*notes.bpm))
        out += "bpm=" + QByteArray::number(*notes.bpm, 'g', 17) + '\n';
    out += "offset=" + escaped(notes.offsetText) + '\n';
    return out;
}

std::optional<ChartSideFile::Notes> ChartSideFile::decode(const QByteArray& text,
                                                          QString* chartPath)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines[0].trimmed() != FirstLine)
        return std::nullopt;
    Notes notes;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype eq = line.indexOf('=');
        if (line.isEmpty() || line.startsWith('#') || eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QByteArrayView value = QByteArrayView(line).sliced(eq + 1);
        if (key == "chart" && chartPath)
            *chartPath = unescaped(value);
        else if (key == "song")
            notes.songPath = unescaped(value);
        else if (key == "tempo")
            notes.tempoText = unescaped(value);
        else if (key == "offset")
            notes.offsetText = unescaped(value);
        else if (key == "bpm") {
            bool ok = false;
            const double bpm = value.toByteArray().toDouble(&ok);
            if (ok && std::isfinite(bpm))
                notes.bpm = bpm;
        }
    }
    return notes;
}

std::optional<QString> ChartSideFile::write(const QString& chartPath, const Notes& notes,
                                            const QString& fallbackFolder, QString* error)
{
    const QByteArray bytes = encode(chartPath, notes);
    const QString beside = besidePath(chartPath);
    if (writeTo(beside, bytes, error)) {
        // The copy in the user's folder, from a time the chart's folder refused it, is old now.
        if (!fallbackFolder.isEmpty())
            QFile::remove(fallbackPath(chartPath, fallbackFolder));
        return beside;
    }
    if (fallbackFolder.isEmpty() || !QDir().mkpath(fallbackFolder))
        return std::nullopt;
    const QString fallback = fallbackPath(chartPath, fallbackFolder);
    if (writeTo(fallback, bytes, error))
        return fallback;
    return std::nullopt;
}

std::optional<ChartSideFile::Notes> ChartSideFile::read(const QString& chartPath,
                                                        const QString& fallbackFolder)
{
    const std::optional<Found> beside = readFrom(besidePath(chartPath), chartPath, false);
    const std::optional<Found> kept =
        fallbackFolder.isEmpty()
            ? std::nullopt
            : readFrom(fallbackPath(chartPath, fallbackFolder), chartPath, true);
    if (beside && (!kept || beside->modified >= kept->modified))
        return beside->notes;
    if (kept)
        return kept->notes;
    return std::nullopt;
}

} // namespace tavix
