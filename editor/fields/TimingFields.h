#pragma once

#include "WindowFacts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>

namespace tavix {

class ChartDocument;
class ClickLabel;
class FieldEdit;
class PlaybackSession;

// The tempo and offset fields. Each shows the text in force on a label and takes a new one
// in a box that a double-click on the label opens (not while the song plays). A commit
// (Enter, a double-click, the focus leaving the box) closes the box and, when the text
// reads as a number, puts it in force as one step of the history: a tempo sets the grid
// rate and grows the chart to the song, an offset sets the lead of chart time over music
// time. A tempo whose grid cannot be used is refused as a rejected offset is: the box
// stays open with it.
class TimingFields
{
    Q_DECLARE_TR_FUNCTIONS(TimingFields)
public:
    struct Controls
    {
        ClickLabel& tempoLabel;
        FieldEdit& tempoBox;
        ClickLabel& offsetLabel;
        FieldEdit& offsetBox;
    };
    class Host
    {
    public:
        virtual ~Host() = default;
        virtual WindowFacts facts(WindowFacts::Kind kind) const = 0;
        // A tempo or an offset has been put in force.
        virtual void committed(WindowFacts::Kind kind) = 0;
    };

    TimingFields(Controls controls, ChartDocument& document, PlaybackSession& session,
                 QLocale locale, Host& host)
        : m_c(controls), m_document(document), m_session(session), m_locale(std::move(locale)),
          m_host(host)
    {
    }

    void openTempoBox();
    void openOffsetBox();
    void commitTempo();
    void commitOffset();
    // Both texts at once, committed as the boxes commit them (the tempo dialog's Apply);
    // refused, with the reason returned, while the song plays unpaused or when a text is
    // not accepted.
    QString applyTexts(const QString& tempo, const QString& offset);
    // The texts a recovered chart was made with, as they were shown (an empty one stays).
    void restoreTexts(const QString& tempo, const QString& offset);
    // The texts a chart's notes name, committed as the boxes commit them; a refused one
    // leaves the box with what it held (the tempo box's `tempoBoxBefore`).
    void commitNotedTempo(const QString& tempo, const QString& tempoBoxBefore);
    void commitNotedOffset(const QString& offset);

    // The texts in force, and the one the tempo box holds.
    QString tempoText() const;
    QString offsetText() const;
    QString tempoBoxText() const;
    void setTempoBoxText(const QString& text);

    // What a step of the fields puts back: the text shown and the value in force.
    void putFacts(WindowFacts& facts) const;
    void applyFacts(const WindowFacts& facts);

private:
    Controls m_c;
    ChartDocument& m_document;
    PlaybackSession& m_session;
    QLocale m_locale; // the number rules of the texts
    Host& m_host;
    bool m_committing = false;
};

} // namespace tavix
