// The toolbar: the pressed look of the picture buttons and the dispatch of their clicks.
#include "KE.h"

namespace tavix {

void KE::buttonMouseDown(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    if (index < 0 || index >= EditorState::ButtonCount)
        return;
    NeC1(index).move(m_state.BtnLeft[size_t(index)] + 2, m_state.BtnTop[size_t(index)] + 2);
}

void KE::buttonMouseUp(int index, Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    if (index < 0 || index >= EditorState::ButtonCount)
        return;
    NeC1(index).move(m_state.BtnLeft[size_t(index)], m_state.BtnTop[size_t(index)]);
}

void KE::buttonClick(int index)
{
    switch (index) {
    case 0:
        PlayPause();
        break;
    case 1:
        StopPlayback();
        break;
    case 2:
        saveChartCommand();
        break;
    case 3:
        randomKeys();
        break;
    case 4:
        copyKeys();
        break;
    case 5:
        // Cut is a copy followed by a delete.
        copyKeys();
        deleteKeys();
        break;
    case 6:
        pasteKeys();
        break;
    case 7:
        deleteKeys();
        break;
    case 8:
        OpenMusic();
        break;
    case 9:
        openChartCommand();
        break;
    default:
        return;
    }
    scheduleFrame();
}

} // namespace tavix
