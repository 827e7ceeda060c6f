#include "compose/picture_preview.h"

#include "compose/pictures.h"

#include <wx/dc.h>
#include <wx/image.h>
#include <wx/settings.h>

#include <algorithm>
#include <cstring>
#include <vector>

wxImage ScalePicture(const PicturePixels &p, int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    // The whole factor by which blocks are averaged first: the picture stays
    // at least twice the target, so that the final filter still has pixels
    // to work with.
    int factor = std::max(1, std::min(p.width / (2 * width), p.height / (2 * height)));
    const int w = p.width / factor;
    const int h = p.height / factor;
    const int r = p.bgr ? 2 : 0, b = p.bgr ? 0 : 2;
    wxImage image(w, h, false);
    unsigned char *out = image.GetData();
    if (factor == 1) {
        for (int y = 0; y < h; ++y) {
            const uint8_t *src = p.data + static_cast<size_t>(y) * p.stride;
            unsigned char *dst = out + static_cast<size_t>(y) * w * 3;
            for (int x = 0; x < w; ++x, src += 3, dst += 3) {
                dst[0] = src[r];
                dst[1] = src[1];
                dst[2] = src[b];
            }
        }
    } else {
        const uint32_t area = static_cast<uint32_t>(factor) * static_cast<uint32_t>(factor);
        std::vector<uint32_t> sums(static_cast<size_t>(w) * 3);
        for (int y = 0; y < h; ++y) {
            std::fill(sums.begin(), sums.end(), 0u);
            for (int dy = 0; dy < factor; ++dy) {
                const uint8_t *src = p.data + static_cast<size_t>(y * factor + dy) * p.stride;
                uint32_t *sum = sums.data();
                for (int x = 0; x < w; ++x, sum += 3)
                    for (int dx = 0; dx < factor; ++dx, src += 3) {
                        sum[0] += src[r];
                        sum[1] += src[1];
                        sum[2] += src[b];
                    }
            }
            unsigned char *dst = out + static_cast<size_t>(y) * w * 3;
            for (size_t i = 0; i < sums.size(); ++i)
                dst[i] = static_cast<unsigned char>((sums[i] + area / 2) / area);
        }
    }
    if (w != width || h != height)
        image.Rescale(width, height, wxIMAGE_QUALITY_HIGH);
    return image;
}

void CPicturePreview::Show(Mode mode, const PicturePixels &pixels)
{
    m_shown = true;
    m_mode = mode;
    m_pixels = pixels;
    m_stale = true;
}

void CPicturePreview::Clear()
{
    m_shown = false;
    m_pixels = {};
    m_scaled = wxBitmap();
    m_stale = true;
    m_area = wxRect();
}

void CPicturePreview::Draw(wxDC &dc, const wxSize &size)
{
    ++m_drawCount;
    if (size.x <= 0 || size.y <= 0)
        return;
    if (!m_shown) {
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT)));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(0, 0, size.x, size.y);
        return;
    }
    const bool havePixels = m_pixels.data && m_pixels.width > 0 && m_pixels.height > 0;
    if (m_mode == Mode::Fitted) {
        // The frame: a black line on the frame's edge, white inside.
        dc.SetPen(*wxBLACK_PEN);
        dc.SetBrush(*wxWHITE_BRUSH);
        dc.DrawRectangle(0, 0, size.x, size.y);
        if (!havePixels)
            return;
        PictureRect fit = FitPicture(size.x, size.y, m_pixels.width, m_pixels.height);
        m_area = wxRect(fit.x, fit.y, fit.width, fit.height);
    } else {
        if (!havePixels)
            return;
        m_area = wxRect(wxPoint(0, 0), size);
    }
    if (m_stale || m_scaledFor != size || !m_scaled.IsOk()) {
        m_scaled = wxBitmap(ScalePicture(m_pixels, m_area.width, m_area.height));
        m_scaledFor = size;
        m_stale = false;
        ++m_scaleCount;
    }
    dc.DrawBitmap(m_scaled, m_area.GetTopLeft());
}
