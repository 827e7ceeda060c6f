// The picture preview's drawing (control 1030): a JPEG fitted into a
// 1-pixel black frame, a BMP stretched to the whole frame. Pictures are
// scaled smoothly once for each picture and frame size, not on every paint.
#pragma once

#include <wx/bitmap.h>
#include <wx/gdicmn.h>

#include <cstddef>
#include <cstdint>

class wxDC;
class wxImage;

// Pixels of a picture as its reader delivers them: rows top first, three
// bytes a pixel, in blue-green-red (JPEG) or red-green-blue (BMP) order.
struct PicturePixels {
    const uint8_t *data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;  // bytes from one row to the next
    bool bgr = false;
};

// The picture scaled to width x height (both at least 1) with the toolkit's
// high-quality filter. A picture much larger than the target is first
// averaged down by a whole factor (each output pixel the mean of a block),
// which keeps an 18-megapixel photo to a fraction of a second.
wxImage ScalePicture(const PicturePixels &pixels, int width, int height);

class CPicturePreview {
public:
    enum class Mode { Fitted, Stretched };

    // What to draw; the pixels must stay valid until the next call of Show
    // or Clear. Mode Fitted draws the frame even without pixels.
    void Show(Mode mode, const PicturePixels &pixels);
    // Nothing to draw.
    void Clear();
    bool IsEmpty() const { return !m_shown; }

    // Draws into a frame of `size` (0, 0 at its top left): without a
    // picture, a grey outline marks the area. The scaled picture is made
    // again only when the picture or the size changed.
    void Draw(wxDC &dc, const wxSize &size);

    // Where the picture lies in the frame last drawn (for tests).
    const wxRect &PictureArea() const { return m_area; }
    // How many times the picture was scaled, and drawn (for tests).
    int ScaleCount() const { return m_scaleCount; }
    int DrawCount() const { return m_drawCount; }

private:
    bool m_shown = false;
    Mode m_mode = Mode::Fitted;
    PicturePixels m_pixels;
    wxBitmap m_scaled;
    wxSize m_scaledFor;  // the frame size m_scaled was made for
    bool m_stale = true;
    wxRect m_area;
    int m_scaleCount = 0;
    int m_drawCount = 0;
};
