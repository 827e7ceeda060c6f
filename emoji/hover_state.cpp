#include "emoji/hover_state.h"

bool HoverTracker::OnHover()
{
    if (!m_trackRequested || m_hovering)
        return false;
    m_hovering = true;
    return true;
}

bool HoverTracker::OnLeave()
{
    m_trackRequested = false;
    m_hovering = false;
    // The button is drawn again in every case: a leave always ends in the
    // normal cell.
    return true;
}

uint32_t MapThreeDColour(uint32_t rgb, const ThreeDColours &theme)
{
    switch (rgb & 0xFFFFFF) {
    case 0xC0C0C0:
        return theme.face;
    case 0x808080:
        return theme.shadow;
    case 0xDFDFDF:
        return theme.light;
    default:
        return rgb & 0xFFFFFF;
    }
}
