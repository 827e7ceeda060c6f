// What a hover picture button shows, as plain logic: the choice of the
// strip's cell from the button's state, the pointer tracking that decides
// the hover state, and the mapping of the strip's greys to the theme.
#pragma once

#include <cstdint>

// The three cells of a strip, left to right.
enum class StripCell { Normal = 0, Pressed = 1, Hovered = 2 };

// Pressed wins over hovered; otherwise the normal cell.
constexpr StripCell CellForState(bool pressed, bool hovering)
{
    return pressed ? StripCell::Pressed : hovering ? StripCell::Hovered : StripCell::Normal;
}

// The pointer's tracking for one button. A move asks for one hover report
// and one leave report; the hover report turns the hover cell on, the leave
// report turns it off and allows the next request. Moves between the hover
// report and the leave report change nothing: the report is one-shot.
class HoverTracker {
public:
    // The pointer moved over the button. True when a tracking request is to
    // be made now (the caller then reports whether it was granted).
    bool OnMove() const { return !m_trackRequested; }
    void TrackingRequested(bool granted) { m_trackRequested = granted; }
    // The hover report. True when the button must be drawn again. A report
    // that arrives after the leave (or without a request) is stale.
    bool OnHover();
    // The leave report. True when the button must be drawn again.
    bool OnLeave();

    bool Hovering() const { return m_hovering; }
    bool TrackRequested() const { return m_trackRequested; }

private:
    bool m_hovering = false;
    bool m_trackRequested = false;
};

// The theme colours the strip's greys take when it is loaded.
struct ThreeDColours {
    uint32_t face;   // for 192,192,192
    uint32_t shadow; // for 128,128,128
    uint32_t light;  // for 223,223,223
};

// 0xRRGGBB of one pixel after the mapping; other colours stay.
uint32_t MapThreeDColour(uint32_t rgb, const ThreeDColours &theme);
