#include "Toolbar.h"

#include <QPixmap>

#include <utility>

namespace tavix {

namespace {

struct ButtonSpec
{
    const char* picture;
    const char* toolTip;
    int left, top, size;
};

// Button 0 starts with the play picture; its tool tip follows the playback state.
const std::array<ButtonSpec, Toolbar::ButtonCount> Buttons{{
    {":/BTN/play", "播放", 235, 624, 49},
    {":/BTN/stop", "停止", 291, 624, 49},
    {":/BTN/save", "儲存", 743, 620, 49},
    {":/BTN/random", "Random Key", 803, 619, 48},
    {":/BTN/copy", "複制", 347, 624, 49},
    {":/BTN/cut", "剪下", 403, 624, 49},
    {":/BTN/paste", "貼上", 459, 625, 49},
    {":/BTN/delete", "刪除", 515, 624, 49},
    {":/BTN/open", "開啟", 601, 32, 49},
    {":/BTN/open", "開啟", 602, 77, 49},
}};

} // namespace

Toolbar::Toolbar(QWidget* window)
{
    for (int i = 0; i < ButtonCount; ++i) {
        const ButtonSpec& layout = Buttons[size_t(i)];
        auto button = std::make_unique<PictureButton>(i, window);
        button->setGeometry(layout.left, layout.top, layout.size, layout.size);
        button->setPicture(QPixmap(QString::fromUtf8(layout.picture)));
        button->setToolTip(QString::fromUtf8(layout.toolTip));
        QObject::connect(button.get(), &PictureButton::mouseDown, button.get(),
                         [this, i] { pressed(i); });
        QObject::connect(button.get(), &PictureButton::mouseUp, button.get(),
                         [this, i] { released(i); });
        m_buttons[size_t(i)] = std::move(button);
    }

    const std::array<std::pair<const char*, QPoint>, 2> hidden{{
        {":/BTN/play", QPoint(689, 8)},
        {":/BTN/pause", QPoint(747, 12)},
    }};
    for (size_t i = 0; i < hidden.size(); ++i) {
        auto picture = std::make_unique<QLabel>(window);
        picture->setGeometry(QRect(hidden[i].second, QSize(49, 49)));
        picture->setPixmap(QPixmap(QString::fromUtf8(hidden[i].first)));
        picture->setVisible(false);
        m_pictures[i] = std::move(picture);
    }
}

void Toolbar::recordHomes()
{
    for (int i = 0; i < ButtonCount; ++i) {
        const QWidget& b = button(i);
        m_tops[size_t(i)] = b.y();
        m_lefts[size_t(i)] = b.x();
    }
}

void Toolbar::pressed(int index)
{
    if (index < 0 || index >= ButtonCount)
        return;
    button(index).move(m_lefts[size_t(index)] + 2, m_tops[size_t(index)] + 2);
}

void Toolbar::released(int index)
{
    if (index < 0 || index >= ButtonCount)
        return;
    button(index).move(m_lefts[size_t(index)], m_tops[size_t(index)]);
}

void Toolbar::showPause(bool pause)
{
    PictureButton& play = button(PlayButton);
    play.setToolTip(pause ? QStringLiteral("暫停") : QStringLiteral("播放"));
    play.setPicture(picture(pause ? 1 : 0).pixmap());
}

void Toolbar::enableOpening(bool enabled)
{
    button(8).setEnabled(enabled);
    button(9).setEnabled(enabled);
}

} // namespace tavix
