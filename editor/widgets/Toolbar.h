#pragma once

#include "PictureButton.h"

#include <QLabel>

#include <array>
#include <cstdint>
#include <memory>

namespace tavix {

// The ten picture buttons of the window at their places, and the two hidden pictures the
// play button takes its look from. A pressed button moves 2 pixels right and down from
// its home position, which start-up records, until it is let go.
class Toolbar
{
public:
    static constexpr int ButtonCount = 10;
    static constexpr int PlayButton = 0;

    // The buttons and pictures are made as children of `window`, in this order.
    explicit Toolbar(QWidget* window);

    PictureButton& button(int index) { return *m_buttons.at(size_t(index)); }
    const PictureButton& button(int index) const { return *m_buttons.at(size_t(index)); }
    QLabel& picture(int index) { return *m_pictures.at(size_t(index)); }

    // The buttons' positions now become their home positions.
    void recordHomes();
    void pressed(int index);
    void released(int index);
    // The play button shows pause while a run moves, play otherwise.
    void showPause(bool pause);
    // The two open buttons, which a run disables.
    void enableOpening(bool enabled);

    const std::array<int32_t, ButtonCount>& homeTops() const { return m_tops; }
    const std::array<int32_t, ButtonCount>& homeLefts() const { return m_lefts; }

private:
    std::array<std::unique_ptr<PictureButton>, ButtonCount> m_buttons;
    std::array<std::unique_ptr<QLabel>, 2> m_pictures;
    std::array<int32_t, ButtonCount> m_tops{};
    std::array<int32_t, ButtonCount> m_lefts{};
};

} // namespace tavix
