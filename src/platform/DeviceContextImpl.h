// The Qt side of a DeviceContext: the target and the path. Pixel memory of 16, 24 and 32 bits is
// painted by QPainter through a QImage that wraps the memory in place (Format_RGB555 keeps bit 15
// zero, Format_BGR888 keeps the bytes blue, green, red, Format_ARGB32 the straight 32-bit pixels); 8-bit memory, which QPainter cannot paint,
// gets shapes and text through a coverage mask whose covered pixels take the nearest colour-table
// entry. Fills and copies into memory never go through QPainter.
#pragma once

#include <platform/DeviceContext.h>

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <memory>
#include <optional>

namespace nimbolt {

class DeviceContextImpl {
public:
    explicit DeviceContextImpl(const PixelBuffer& memory)
        : m_memory(memory)
    {
    }
    explicit DeviceContextImpl(QPaintDevice& device)
        : m_device(&device)
    {
    }

    static std::unique_ptr<DeviceContext> createContext(QPaintDevice& device);

    Rect bounds() const;
    void fill(const Rect& rect, Color color);
    // Runs draw with a painter over the target. `area` bounds what draw may touch; it matters only
    // for 8-bit memory, where color is the colour every covered pixel takes.
    template <typename Draw> void paint(const Rect& area, Color color, Draw&& draw);

    // The part of the target that drawing may change; the whole target when none.
    Rect clipped(const Rect& rect) const { return m_clip ? rect.intersected(*m_clip) : rect; }
    void applyClip(QPainter& painter) const
    {
        if (m_clip)
            painter.setClipRect(m_clip->left, m_clip->top, m_clip->width(), m_clip->height());
    }

    // The 16- or 24-bit memory as an image for QPainter, made once: the image keeps its paint
    // engine, which a painter would otherwise build and tear down at every shape and text.
    QImage& memoryImage()
    {
        if (!m_memoryImage)
            m_memoryImage.emplace(m_memory.bits, m_memory.width, m_memory.height, m_memory.stride,
                m_memory.bitsPerPixel == 16       ? QImage::Format_RGB555
                    : m_memory.bitsPerPixel == 32 ? QImage::Format_ARGB32
                                                  : QImage::Format_BGR888);
        return *m_memoryImage;
    }

    PixelBuffer m_memory;
    std::optional<QImage> m_memoryImage;
    QPaintDevice* m_device { nullptr };
    std::optional<Rect> m_clip;
    QPainterPath m_path;
    bool m_inPath { false };
    bool m_hasPath { false };
};

}
