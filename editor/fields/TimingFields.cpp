#include "TimingFields.h"

#include "ChartDocument.h"
#include "ClickLabel.h"
#include "FieldEdit.h"
#include "KeP.h"
#include "NumberReading.h"
#include "PlaybackSession.h"
#include "TempoLimits.h"

namespace tavix {

void TimingFields::openTempoBox()
{
    if (m_session.playing())
        return;
    // The box keeps the text it last held, and the focus stays where it was.
    m_c.tempoBox.setVisible(true);
    m_c.tempoLabel.setVisible(false);
}

void TimingFields::openOffsetBox()
{
    if (m_session.playing())
        return;
    m_c.offsetBox.setVisible(true);
    m_c.offsetLabel.setVisible(false);
}

void TimingFields::commitTempo()
{
    if (m_committing)
        return;
    // A number whose rate gives no usable grid (0, or so slow or fast that the song or the
    // chart cannot be held) is refused as a rejected offset is: the box stays open with it.
    if (tempoRate(m_locale, m_c.tempoBox.text()) &&
        !TempoLimits::usableRate(m_locale, m_c.tempoBox.text(), m_session.songLenMs(),
                                 m_document.chart().TotalBeats))
        return;
    m_committing = true;
    // Every other commit closes the box; a text that is no number stays in it for the next
    // music open.
    m_c.tempoLabel.setVisible(true);
    m_c.tempoBox.setVisible(false);
    m_committing = false;

    const std::optional<float> rate = tempoRate(m_locale, m_c.tempoBox.text());
    if (!rate)
        return;
    m_document.prepareChange();
    const WindowFacts before = m_host.facts(WindowFacts::Kind::Tempo);
    m_c.tempoLabel.setText(m_c.tempoBox.text());
    KeP& kep = m_document.chart();
    kep.BeatRate = *rate;
    // The chart only grows here: keys keep their cells, whatever the new tempo.
    ChartEdit edit(kep);
    edit.growForSong(m_session.songLenMs());
    m_document.record(QStringLiteral("Tempo"), edit.take(), before,
                      m_host.facts(WindowFacts::Kind::Tempo));
    m_host.committed(WindowFacts::Kind::Tempo);
}

void TimingFields::commitOffset()
{
    if (m_committing)
        return;
    // A text the locale does not take for a number leaves the box open as it is. The
    // text is accepted by the locale's rules, but read with "." whatever the locale says.
    const std::optional<double> term = offsetTermOf(m_locale, m_c.offsetBox.text());
    if (!term)
        return;
    m_document.prepareChange();
    const WindowFacts before = m_host.facts(WindowFacts::Kind::Offset);
    m_committing = true;
    m_c.offsetLabel.setText(m_c.offsetBox.text());
    m_session.setOffsetVal(*term);
    m_c.offsetBox.setVisible(false);
    m_c.offsetLabel.setVisible(true);
    m_committing = false;
    // A step of its own when it changed the offset, so that it is undone in its turn.
    m_document.record(QStringLiteral("Offset"), ChartEdit(m_document.chart()).take(), before,
                      m_host.facts(WindowFacts::Kind::Offset));
    m_host.committed(WindowFacts::Kind::Offset);
}

QString TimingFields::applyTexts(const QString& tempo, const QString& offset)
{
    if (m_session.moving())
        return tr("The song is playing: pause or stop it, then Apply.");
    // Checked first, so that neither is committed when the other would be refused.
    if (!tempoRate(m_locale, tempo))
        return tr("\"%1\" is not a tempo.").arg(tempo);
    if (!TempoLimits::usableRate(m_locale, tempo, m_session.songLenMs(),
                                 m_document.chart().TotalBeats))
        return tr("At %1 BPM the grid cannot be used: a tempo needs at least 1 BPM, and the song "
                  "must fit a chart at it.")
            .arg(tempo);
    if (!offsetTermOf(m_locale, offset))
        return tr("\"%1\" is not an offset.").arg(offset);
    m_document.prepareChange();
    // Both boxes changed make two steps, undone as one. (One changed makes one step; an
    // empty macro would be an undo that does nothing.)
    const bool both = m_document.chart().TotalBeats > 0 && tempo != m_c.tempoLabel.text() &&
                      offset != m_c.offsetLabel.text();
    QUndoStack& stack = m_document.history().stack();
    if (both)
        stack.beginMacro(tr("Tempo and Offset"));
    m_c.tempoBox.setText(tempo);
    commitTempo();
    m_c.offsetBox.setText(offset);
    commitOffset();
    if (both)
        stack.endMacro();
    return {};
}

void TimingFields::restoreTexts(const QString& tempo, const QString& offset)
{
    if (!tempo.isEmpty()) {
        m_c.tempoBox.setText(tempo);
        m_c.tempoLabel.setText(tempo);
    }
    if (!offset.isEmpty()) {
        m_c.offsetBox.setText(offset);
        m_c.offsetLabel.setText(offset);
        m_session.setOffsetVal(offsetTerm(leadingNumber(offset)));
    }
}

void TimingFields::commitNotedTempo(const QString& tempo, const QString& tempoBoxBefore)
{
    m_c.tempoBox.setText(tempo);
    commitTempo();
    // Refused, the box shows what it held before.
    if (m_c.tempoLabel.text() != tempo) {
        m_c.tempoBox.setText(tempoBoxBefore);
        m_c.tempoBox.setVisible(false);
        m_c.tempoLabel.setVisible(true);
    }
}

void TimingFields::commitNotedOffset(const QString& offset)
{
    const QString before = m_c.offsetBox.text();
    m_c.offsetBox.setText(offset);
    commitOffset();
    if (m_c.offsetLabel.text() != offset)
        m_c.offsetBox.setText(before);
}

QString TimingFields::tempoText() const
{
    return m_c.tempoLabel.text();
}

QString TimingFields::offsetText() const
{
    return m_c.offsetLabel.text();
}

QString TimingFields::tempoBoxText() const
{
    return m_c.tempoBox.text();
}

void TimingFields::setTempoBoxText(const QString& text)
{
    m_c.tempoBox.setText(text);
}

void TimingFields::putFacts(WindowFacts& f) const
{
    f.tempoText = m_c.tempoLabel.text();
    f.BeatRate = m_document.chart().BeatRate;
    f.offsetText = m_c.offsetLabel.text();
    f.OffsetVal = m_session.offsetVal();
}

void TimingFields::applyFacts(const WindowFacts& f)
{
    if (f.kind == WindowFacts::Kind::Tempo) {
        m_c.tempoLabel.setText(f.tempoText);
        m_c.tempoBox.setText(f.tempoText);
        m_document.chart().BeatRate = f.BeatRate;
    } else if (f.kind == WindowFacts::Kind::Offset) {
        m_c.offsetLabel.setText(f.offsetText);
        m_c.offsetBox.setText(f.offsetText);
        m_session.setOffsetVal(f.OffsetVal);
    }
}

} // namespace tavix
