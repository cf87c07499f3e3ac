#pragma once

#include "SoundEngine.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

namespace tavix {

class FileChooser;
class KeP;
class MessageService;

// A song opened and checked against the tempo, not yet handed to playback.
struct OpenedSong
{
    StreamHandle stream = 0;
    int32_t lengthMs = 0;
    float rate = 0.0f; // the grid rate of the tempo text
    int64_t cells = 0; // the chart's cells at that rate
};

// Opening a song: the dialog, and the checks that come before anything of the song open
// now is let go.
class SongOpening
{
    Q_DECLARE_TR_FUNCTIONS(SongOpening)
public:
    struct Chosen
    {
        QString path;
        QString title;
    };
    // Asks for a music file.
    static std::optional<Chosen> choose(FileChooser& chooser, QWidget* owner,
                                        const QString& initDir);

    // Opens `path` and checks it against the tempo text and `kep`: keys or markers a
    // shorter song would cut off are the user's to give up, when `askBeforeCutting`. A
    // failure is told in a message box that names the file and the reason, and leaves
    // nothing open.
    static std::optional<OpenedSong> open(SoundEngine& engine, MessageService& messages,
                                          QWidget* owner, const QLocale& locale, const KeP& kep,
                                          const QString& path, const QString& tempoText,
                                          bool askBeforeCutting);
};

} // namespace tavix
