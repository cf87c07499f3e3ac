#include "WindowControls.h"

#include "KeyCanvas.h"
#include "OverviewStrip.h"

#include <QApplication>
#include <QPalette>

namespace tavix {

namespace {

struct Place
{
    int left, top, width, height;
};

// A heavy face narrow enough that the longest counters ("59:59/59:59", "9999/9999") show
// whole in their labels, from a font package the install script names.
QFont labelFont()
{
    QFont font(QStringLiteral("Roboto Condensed"));
    font.setPointSizeF(15.75);
    font.setWeight(QFont::Black);
    return font;
}

QFont autoSpaceFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    font.setBold(true);
    return font;
}

void setTextColour(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, colour);
    widget.setPalette(palette);
}

void placeLabel(QLabel& label, const QString& text, Place p, const QColor& colour)
{
    label.setGeometry(p.left, p.top, p.width, p.height);
    label.setText(text);
    label.setFont(labelFont());
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(label, colour);
}

void placeBox(FieldEdit& box, const QString& text, Place p)
{
    box.setGeometry(p.left, p.top, p.width, p.height);
    box.setText(text);
    box.setFont(labelFont());
    QPalette palette = box.palette();
    palette.setColor(QPalette::Base, QColor(255, 192, 128));
    palette.setColor(QPalette::Text, QColor(0, 128, 0));
    box.setPalette(palette);
    box.setVisible(false);
}

const QColor CaptionColour(192, 64, 0);
const QColor ValueColour(0, 192, 192);

} // namespace

WindowControls::WindowControls(QWidget* window, KeP& kep)
    : BpmSet(window), sBpmB(window), sBpm(window), OffSet(window), slSetOff(window), sOff(window),
      mSet(window), MSeteD(window), decodeBar(window), Label1(window), scriptFile(window),
      TimeSet(Qt::Horizontal, window), cPosL(window), cPos(window), NofBeat(window), cBeat(window),
      Asp(window), listening(window)
{
    placeLabel(BpmSet, QStringLiteral("Bpm:"), {16, 8, 65, 33}, CaptionColour);
    placeLabel(sBpmB, QStringLiteral("100"), {88, 8, 65, 37}, ValueColour);
    placeBox(sBpm, QStringLiteral("100"), {88, 8, 65, 34});
    placeLabel(OffSet, QStringLiteral("Offset:"), {192, 8, 81, 33}, CaptionColour);
    placeLabel(slSetOff, QStringLiteral("0.7"), {280, 8, 65, 37}, ValueColour);
    placeBox(sOff, QStringLiteral("0.7"), {280, 8, 65, 34});
    placeLabel(mSet, QStringLiteral("Music:"), {15, 46, 89, 33}, CaptionColour);
    placeLabel(MSeteD, QString(), {104, 40, 482, 37}, ValueColour);
    placeLabel(Label1, QStringLiteral("Script:"), {16, 84, 89, 33}, CaptionColour);
    placeLabel(scriptFile, QString(), {104, 84, 487, 37}, ValueColour);
    placeLabel(cPosL, QStringLiteral("Time:"), {13, 613, 73, 33}, CaptionColour);
    placeLabel(cPos, QStringLiteral("0:00/0:00"), {93, 613, 105, 29}, ValueColour);
    placeLabel(NofBeat, QStringLiteral("Beat:"), {13, 645, 73, 33}, CaptionColour);
    placeLabel(cBeat, QStringLiteral("0000/0000"), {93, 645, 121, 29}, ValueColour);

    // A thin bar under the music title while a long song is still being decoded.
    decodeBar.setGeometry(104, 76, 482, 5);
    decodeBar.setRange(0, 1000);
    decodeBar.setTextVisible(false);
    decodeBar.setVisible(false);

    Asp.setGeometry(627, 616, 105, 57);
    Asp.setText(QString(18, QLatin1Char(' ')) + QStringLiteral("Auto Space"));
    Asp.setFont(autoSpaceFont());
    Asp.setBlankPushingWrap(true);
    Asp.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Asp.setAutoFillBackground(true);
    // Like the toolbar's: "auto spacing", a marker every two measures from a cell on.
    Asp.setToolTip(QStringLiteral("自動間距"));
    {
        QPalette palette = Asp.palette();
        palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
        palette.setColor(QPalette::WindowText, QColor(128, 128, 0));
        Asp.setPalette(palette);
    }

    // In the free corner right of the Random Key button; nothing else moves.
    listening.setGeometry(862, 620, 130, 48);
    {
        QFont font(QStringLiteral("Roboto Condensed"));
        font.setPointSizeF(11);
        font.setBold(true);
        listening.setFont(font);
    }
    listening.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(listening, CaptionColour);

    Picture1 = std::make_unique<KeyCanvas>(window);
    Picture1->setGeometry(15, 134, 974, 435);

    TimeSet.setGeometry(16, 575, 969, 25);
    TimeSet.setRange(0, 32767);
    TimeSet.setSingleStep(1);
    TimeSet.setPageStep(1);
    TimeSet.setValue(0);

    // Beyond the classic controls: the whole song under them, as wide as the time bar.
    overview = std::make_unique<OverviewStrip>(kep, window);
    overview->move(16, OverviewTop);

    toolbar = std::make_unique<Toolbar>(window);
}

WindowControls::~WindowControls() = default;

} // namespace tavix
