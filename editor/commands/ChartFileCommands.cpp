#include "ChartFileCommands.h"

#include "ChartDocument.h"
#include "ChartFile.h"
#include "ChartFileDialogs.h"
#include "DialogStartFolder.h"
#include "KeP.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
#include "Rounding.h"
#include "ScriptReadBack.h"
#include "cCommonDialog.h"

#include <QDir>

#include <algorithm>
#include <new>

namespace tavix {

namespace {

const char* const SaveTitle = "Save File";
const char* const OpenTitle = "Open File";

QString upToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool ChartFileCommands::save()
{
    const KeP& kep = m_document.chart();
    // The script exports even without a grid; the native file needs one.
    if (!kep.hasGrid() && !kep.ScriptMode) {
        m_messages.warning(m_owner, tr(SaveTitle),
                           tr("There is nothing to save yet: open a song or a chart first."));
        return false;
    }

    cCommonDialog dialog(m_chooser);
    ChartFileDialogs::setUpSave(dialog, m_owner, m_startFolder.current(), kep.ScriptMode);
    if (!dialog.ShowSave())
        return false;
    const QString name = upToNul(dialog.filename);
    const auto filter = static_cast<int16_t>(dialog.FilterIndex);

    const ChartResult result = SaveChart(m_document.chart(), name, filter);
    if (!result.ok()) {
        // The file that was there is untouched: the new one replaces it only once whole.
        m_messages.warning(
            m_owner, tr(SaveTitle),
            tr("The chart was not saved to \"%1\": %2.")
                .arg(shownPath(result.path.isEmpty() ? name : result.path), result.reason));
        return false;
    }
    m_startFolder.remember(result.path);
    // The saved state is the clean state of the history; nothing is left to recover. A
    // script that does not give the chart back (empty cells after its last row, values
    // other than 0 and 1) is not the chart saved: it stays marked, and kept for recovery.
    m_document.prepareChange();
    const bool script = filter == 1 && kep.ScriptMode;
    if (!script || ScriptReadBack::givesBack(kep, result.path))
        m_document.history().markSaved();
    m_document.setPath(result.path.isEmpty() ? name : result.path);
    m_document.notifyChanged();
    m_host.chartSaved(m_document.path());
    m_messages.information(m_owner, tr(SaveTitle), QStringLiteral("File Save Complete"));
    return true;
}

std::optional<ChartFileCommands::Chosen> ChartFileCommands::chooseChart()
{
    cCommonDialog dialog(m_chooser);
    ChartFileDialogs::setUpOpen(dialog, m_owner, m_startFolder.current());
    if (!dialog.ShowOpen())
        return std::nullopt;
    return Chosen{upToNul(dialog.filename), dialog.FileTitle};
}

bool ChartFileCommands::open(const QString& name, const QString& title, const QString& chartPath)
{
    KeP& kep = m_document.chart();
    // A failure at any point leaves chart, label and counters as they were.
    m_document.prepareChange();
    const WindowFacts before = m_host.facts(WindowFacts::Kind::ChartFile);
    const bool hadKeys =
        std::any_of(kep.KeyGrid.begin(), kep.KeyGrid.end(), [](uint8_t v) { return v != 0; });
    ChartEdit edit(kep);
    ChartResult result;
    try {
        result = LoadChart(edit, name);
    } catch (const std::bad_alloc&) {
        // The reading allocates before it replaces anything: the chart is as it was.
        m_messages.warning(m_owner, tr(OpenTitle), OpenFailureText::chartTooLarge(name));
        return false;
    }
    if (!result.ok()) {
        m_messages.warning(m_owner, tr(OpenTitle), OpenFailureText::chart(name, result));
        return false;
    }
    const auto takeBack = [&] {
        edit.take().undo(kep);
        kep.ImportRow = before.ImportRow;
        kep.ImportCol = before.ImportCol;
        kep.ImportCell = before.ImportCell;
    };

    // Without music the chart's own length at the typed tempo sizes the window. This is
    // asked of the stream rather than of the length, which the first chart opened without
    // music sets: a second, longer chart must still be scrolled to its end.
    const bool noMusic = !m_host.hasMusic();
    float rate = kep.BeatRate;
    std::optional<int32_t> songLenMs;
    if (noMusic) {
        const QString tempoText = m_host.tempoText();
        const std::optional<float> tempo = tempoRate(m_locale, tempoText);
        if (!tempo || *tempo <= 0.0f) {
            takeBack();
            m_messages.warning(
                m_owner, tr(OpenTitle),
                tr("The chart \"%1\" was not opened: without music its length comes from the "
                   "tempo, and the tempo \"%2\" is not a number above 0.")
                    .arg(shownPath(name), tempoText));
            return false;
        }
        rate = *tempo;
        songLenMs = nearestTo<int32_t>(double(kep.TotalBeats) / double(rate));
        if (!songLenMs) {
            const int32_t cells = kep.TotalBeats;
            takeBack();
            m_messages.warning(
                m_owner, tr(OpenTitle),
                tr("The chart \"%1\" was not opened: at a tempo of %2 its %3 cells would last "
                   "longer than the editor can show.")
                    .arg(shownPath(name), tempoText)
                    .arg(cells));
            return false;
        }
    }

    if (!chartPath.isEmpty())
        m_startFolder.remember(chartPath);
    if (noMusic)
        kep.BeatRate = rate;
    m_host.showChart(title, songLenMs);
    m_document.setPath(chartPath);
    m_document.history().record(QStringLiteral("Open Chart"), edit.take(), before,
                                m_host.facts(WindowFacts::Kind::ChartFile));
    // A native file is the chart exactly; a script is, when it went into an empty chart. A
    // file cut short is not: saving it gives another file.
    if (result.cutShort)
        m_document.history().markUnsaved();
    else if (hasExtension(name, QLatin1StringView(".zts")) || !hadKeys)
        m_document.history().markSaved();
    m_document.notifyChanged();
    m_host.chartOpened();
    if (result.cutShort)
        m_messages.warning(m_owner, tr(OpenTitle),
                           tr("The chart \"%1\" is %2.").arg(shownPath(name), result.note));
    return true;
}

bool ChartFileCommands::mayLeave(const QString& question)
{
    m_document.prepareChange();
    if (!m_document.isModified())
        return true;
    m_host.pauseForQuestion();
    switch (m_messages.askToSave(m_owner, tr("Unsaved Changes"),
                                 tr("The chart has changes that are not saved.") +
                                     QStringLiteral("\n\n") + question)) {
    case MessageService::SaveChoice::Save:
        return m_host.saveCommand();
    case MessageService::SaveChoice::Discard:
        return true;
    case MessageService::SaveChoice::Cancel:
        break;
    }
    return false;
}

} // namespace tavix
