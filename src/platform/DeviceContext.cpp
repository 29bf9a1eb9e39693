#include <platform/DeviceContext.h>

#include <platform/DeviceContextImpl.h>
#include <platform/FontData.h>
#include <platform/PixelTransfer.h>
#include <platform/QtDeviceContext.h>
#include <platform/ShiftJisText.h>
#include <base/Color555.h>

#include <QImage>
#include <QPainterPathStroker>
#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace nimbolt {

static QColor toQColor(Color color)
{
    return QColor(redOf(color), greenOf(color), blueOf(color));
}

static QRect toQRect(const Rect& rect)
{
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

// Integer coordinates name pixel centres.
static constexpr qreal PixelCentre = 0.5;

Rect DeviceContextImpl::bounds() const
{
    if (m_device)
        return { 0, 0, m_device->width(), m_device->height() };
    return m_memory.isValid() ? m_memory.bounds() : Rect {};
}

void DeviceContextImpl::fill(const Rect& rect, Color color)
{
    if (!m_device) {
        fillPixels(m_memory, clipped(rect), color);
        return;
    }
    Rect area = clipped(rect).intersected(bounds());
    if (area.isEmpty())
        return;
    QPainter painter(m_device);
    painter.fillRect(toQRect(area), toQColor(color));
}

// The Qt format that reads pixel memory of 16, 24 or 32 bits in place. 32-bit memory holds blue,
// green, red and alpha bytes (straight), which is Qt's native 0xAARRGGBB word on a little-endian
// machine.
static QImage::Format wrappedFormat(int32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 16:
        return QImage::Format_RGB555;
    case 32:
        return QImage::Format_ARGB32;
    default:
        return QImage::Format_BGR888;
    }
}

template <typename Draw> void DeviceContextImpl::paint(const Rect& area, Color color, Draw&& draw)
{
    if (m_device) {
        QPainter painter(m_device);
        applyClip(painter);
        draw(painter);
        return;
    }
    if (!m_memory.isValid())
        return;
    if (m_memory.bitsPerPixel != 8) {
        QPainter painter(&memoryImage());
        applyClip(painter);
        draw(painter);
        return;
    }
    Rect clipped = this->clipped(area).intersected(m_memory.bounds());
    if (clipped.isEmpty())
        return;
    QImage mask(clipped.width(), clipped.height(), QImage::Format_Alpha8);
    if (mask.isNull())
        return;
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.translate(-clipped.left, -clipped.top);
        draw(painter);
    }
    uint8_t index = nearestColorIndex(m_memory.colorTable, color);
    for (int32_t y = 0; y < clipped.height(); ++y) {
        const uchar* coverage = mask.constScanLine(y);
        uint8_t* row = m_memory.row(clipped.top + y) + clipped.left;
        for (int32_t x = 0; x < clipped.width(); ++x) {
            if (coverage[x] >= 128)
                row[x] = index;
        }
    }
}

std::unique_ptr<DeviceContext> DeviceContextImpl::createContext(QPaintDevice& device)
{
    return std::unique_ptr<DeviceContext>(new DeviceContext(std::make_unique<DeviceContextImpl>(device)));
}

std::unique_ptr<DeviceContext> createDeviceContext(QPaintDevice& device)
{
    return DeviceContextImpl::createContext(device);
}

DeviceContext::DeviceContext(const PixelBuffer& target)
    : m_impl(std::make_unique<DeviceContextImpl>(target))
{
}

DeviceContext::DeviceContext(std::unique_ptr<DeviceContextImpl> impl)
    : m_impl(std::move(impl))
{
}

DeviceContext::~DeviceContext() = default;

Rect DeviceContext::bounds() const
{
    return m_impl->bounds();
}

int32_t DeviceContext::memoryDepth() const
{
    return m_impl->m_device ? 0 : m_impl->m_memory.bitsPerPixel;
}

void DeviceContext::setClipRect(const Rect* clip)
{
    m_impl->m_clip = clip ? std::optional<Rect>(*clip) : std::nullopt;
}

int32_t DeviceContext::saveDC()
{
    m_saved.push_back(m_state);
    return static_cast<int32_t>(m_saved.size());
}

bool DeviceContext::restoreDC(int32_t level)
{
    auto depth = static_cast<int64_t>(m_saved.size());
    int64_t target = level < 0 ? depth + level + 1 : level;
    if (level == 0 || target < 1 || target > depth)
        return false;
    m_state = m_saved[static_cast<size_t>(target - 1)];
    m_saved.resize(static_cast<size_t>(target - 1));
    return true;
}

Color DeviceContext::setTextColor(Color color)
{
    return std::exchange(m_state.textColor, color);
}
Color DeviceContext::textColor() const
{
    return m_state.textColor;
}
BackgroundMode DeviceContext::setBkMode(BackgroundMode mode)
{
    return std::exchange(m_state.bkMode, mode);
}
BackgroundMode DeviceContext::bkMode() const
{
    return m_state.bkMode;
}
Color DeviceContext::setBkColor(Color color)
{
    return std::exchange(m_state.bkColor, color);
}
Color DeviceContext::bkColor() const
{
    return m_state.bkColor;
}
Font DeviceContext::selectFont(const Font& font)
{
    return std::exchange(m_state.font, font);
}
Pen DeviceContext::selectPen(const Pen& pen)
{
    return std::exchange(m_state.pen, pen);
}
Brush DeviceContext::selectBrush(const Brush& brush)
{
    return std::exchange(m_state.brush, brush);
}
const Font& DeviceContext::font() const
{
    return m_state.font;
}
const Pen& DeviceContext::pen() const
{
    return m_state.pen;
}
const Brush& DeviceContext::brush() const
{
    return m_state.brush;
}

void DeviceContext::fillRect(const Rect& rect, const Brush& brush)
{
    if (brush.style == BrushStyle::Solid)
        m_impl->fill(rect, brush.color);
}

namespace {

struct MeasuredText {
    ShiftJisText text;
    std::vector<int32_t> positions; // left edge of each character, then the total width
};

}

static MeasuredText measure(const FontData& font, const char* bytes, int32_t length)
{
    MeasuredText measured { ShiftJisText(bytes, length), {} };
    measured.positions.reserve(measured.text.characters().size() + 1);
    int64_t x = 0;
    for (const auto& character : measured.text.characters()) {
        measured.positions.push_back(static_cast<int32_t>(x));
        x = std::min<int64_t>(x + font.advance(measured.text, bytes, character), INT32_MAX);
    }
    measured.positions.push_back(static_cast<int32_t>(x));
    return measured;
}

void DeviceContext::textOut(int32_t x, int32_t y, const char* bytes, int32_t length)
{
    const FontData& font = m_state.font.data();
    if (!bytes || length <= 0 || !font.isUsable())
        return;
    MeasuredText measured = measure(font, bytes, length);
    int64_t width = measured.positions.back();
    int32_t height = font.height();
    auto clampCoordinate = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    Rect box { clampCoordinate(x), clampCoordinate(y), clampCoordinate(int64_t { x } + width),
        clampCoordinate(int64_t { y } + height) };
    if (box.intersected(bounds()).isEmpty() && !m_impl->m_device)
        return;
    if (m_state.bkMode == BackgroundMode::Opaque)
        m_impl->fill(box, m_state.bkColor);

    // Slanted and synthetic bold glyphs may reach past their cell.
    int32_t overhang = height / 2 + 2;
    Rect area { clampCoordinate(int64_t { box.left } - overhang),
        clampCoordinate(int64_t { box.top } - overhang), clampCoordinate(int64_t { box.right } + overhang),
        clampCoordinate(int64_t { box.bottom } + overhang) };
    Color color = m_state.textColor;
    m_impl->paint(area, color, [&](QPainter& painter) {
        painter.setFont(font.font());
        painter.setPen(toQColor(color));
        const auto& characters = measured.text.characters();
        for (size_t i = 0; i < characters.size(); ++i) {
            QStringView piece = measured.text.characterText(characters[i]);
            if (piece.isEmpty())
                continue;
            QPointF baseline(static_cast<qreal>(box.left) + measured.positions[i],
                static_cast<qreal>(box.top) + font.ascent());
            if (const QGlyphRun* glyphs = font.glyphs(measured.text, bytes, characters[i]))
                painter.drawGlyphRun(baseline, *glyphs);
            else
                painter.drawText(baseline, piece.toString());
        }
    });
}

Size DeviceContext::getTextExtent(const char* bytes, int32_t length) const
{
    return getTextExtentEx(bytes, length, 0).extent;
}

TextFit DeviceContext::getTextExtentEx(const char* bytes, int32_t length, int32_t maxExtent) const
{
    const FontData& font = m_state.font.data();
    if (!font.isUsable())
        return {};
    if (!bytes || length <= 0)
        return { 0, { 0, font.height() } };
    MeasuredText measured = measure(font, bytes, length);
    TextFit fit { 0, { measured.positions.back(), font.height() } };
    const auto& characters = measured.text.characters();
    for (size_t i = 0; i < characters.size(); ++i) {
        if (measured.positions[i + 1] > maxExtent)
            break;
        fit.fitBytes = characters[i].byteOffset + characters[i].byteLength;
    }
    return fit;
}

Point DeviceContext::moveTo(int32_t x, int32_t y)
{
    if (m_impl->m_inPath)
        m_impl->m_path.moveTo(x, y);
    return std::exchange(m_state.position, Point { x, y });
}

static QPen toQPen(const Pen& pen)
{
    if (pen.style == PenStyle::Null)
        return QPen(Qt::NoPen);
    if (pen.width <= 1)
        return QPen(toQColor(pen.color), 0);
    return QPen(toQColor(pen.color), pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The outline a wide pen gives one straight segment, kept by the segment's ends and the width: a
// clock's hands come back to the same few dozen positions, and stroking costs about a fifth of
// what drawing a stroke does. Filling the outline gives the very pixels stroking would. Null for
// any other path or a thin pen.
static const QPainterPath* segmentOutline(const QPainterPath& path, int32_t width)
{
    if (width <= 1 || path.elementCount() != 2 || !path.elementAt(0).isMoveTo() || !path.elementAt(1).isLineTo())
        return nullptr;
    struct Key {
        qreal x0, y0, x1, y1;
        int32_t width;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const
        {
            size_t hash = std::hash<int32_t> {}(key.width);
            for (qreal v : { key.x0, key.y0, key.x1, key.y1 })
                hash = hash * 1000003 ^ std::hash<qreal> {}(v);
            return hash;
        }
    };
    // Enough for every position of three hands; a fuller cache starts again.
    static constexpr size_t KeptOutlines = 256;
    thread_local std::unordered_map<Key, QPainterPath, KeyHash> outlines;
    QPainterPath::Element from = path.elementAt(0);
    QPainterPath::Element to = path.elementAt(1);
    Key key { from.x, from.y, to.x, to.y, width };
    auto found = outlines.find(key);
    if (found == outlines.end()) {
        if (outlines.size() >= KeptOutlines)
            outlines.clear();
        QPainterPathStroker stroker;
        stroker.setWidth(width);
        stroker.setCapStyle(Qt::RoundCap);
        stroker.setJoinStyle(Qt::RoundJoin);
        found = outlines.emplace(key, stroker.createStroke(path)).first;
    }
    return &found->second;
}

// Draws the path with the pen (never a null pen) on a painter whose origin is a pixel centre.
static void drawStroke(QPainter& painter, const QPainterPath& path, const Pen& pen)
{
    if (const QPainterPath* outline = segmentOutline(path, pen.width)) {
        painter.fillPath(*outline, toQColor(pen.color));
        return;
    }
    painter.setPen(toQPen(pen));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// The pixels a path can touch when stroked with the pen.
static Rect strokeArea(const QPainterPath& path, const Pen& pen)
{
    QRectF bounds = path.controlPointRect();
    qreal margin = std::max(pen.width, 1) + 2.0;
    auto toCoordinate
        = [](qreal v) { return static_cast<int32_t>(std::clamp<qreal>(v, INT32_MIN / 2, INT32_MAX / 2)); };
    return { toCoordinate(bounds.left() - margin), toCoordinate(bounds.top() - margin),
        toCoordinate(bounds.right() + margin), toCoordinate(bounds.bottom() + margin) };
}

void DeviceContext::lineTo(int32_t x, int32_t y)
{
    Point from = std::exchange(m_state.position, Point { x, y });
    if (m_impl->m_inPath) {
        // A path with nothing drawn yet starts at the current position (setting the fill rule
        // leaves a lone start at the origin, which isEmpty counts as nothing).
        if (m_impl->m_path.isEmpty())
            m_impl->m_path.moveTo(from.x, from.y);
        m_impl->m_path.lineTo(x, y);
        return;
    }
    if (m_state.pen.style == PenStyle::Null)
        return;
    QPainterPath line;
    line.moveTo(from.x, from.y);
    line.lineTo(x, y);
    Pen pen = m_state.pen;
    m_impl->paint(strokeArea(line, pen), pen.color, [&](QPainter& painter) {
        painter.translate(PixelCentre, PixelCentre);
        drawStroke(painter, line, pen);
    });
}

Point DeviceContext::currentPosition() const
{
    return m_state.position;
}

void DeviceContext::beginPath()
{
    m_impl->m_path = QPainterPath();
    m_impl->m_path.setFillRule(Qt::OddEvenFill);
    m_impl->m_inPath = true;
    m_impl->m_hasPath = false;
}

void DeviceContext::endPath()
{
    if (!m_impl->m_inPath)
        return;
    m_impl->m_inPath = false;
    m_impl->m_hasPath = true;
}

static bool takePath(DeviceContextImpl& impl, QPainterPath& path)
{
    if (!impl.m_hasPath)
        return false;
    path = std::exchange(impl.m_path, QPainterPath());
    impl.m_hasPath = false;
    return true;
}

static void strokePathWith(DeviceContextImpl& impl, const QPainterPath& path, const Pen& pen)
{
    if (pen.style == PenStyle::Null)
        return;
    impl.paint(strokeArea(path, pen), pen.color, [&](QPainter& painter) {
        painter.translate(PixelCentre, PixelCentre);
        drawStroke(painter, path, pen);
    });
}

bool DeviceContext::strokePath()
{
    QPainterPath path;
    if (!takePath(*m_impl, path))
        return false;
    strokePathWith(*m_impl, path, m_state.pen);
    return true;
}

static void fillPathWith(DeviceContextImpl& impl, const QPainterPath& path, const Brush& brush)
{
    if (brush.style != BrushStyle::Solid)
        return;
    impl.paint(strokeArea(path, Pen::solid(1, 0)), brush.color, [&](QPainter& painter) {
        painter.translate(PixelCentre, PixelCentre);
        painter.fillPath(path, toQColor(brush.color));
    });
}

bool DeviceContext::strokeAndFillPath()
{
    QPainterPath path;
    if (!takePath(*m_impl, path))
        return false;
    fillPathWith(*m_impl, path, m_state.brush);
    strokePathWith(*m_impl, path, m_state.pen);
    return true;
}

bool DeviceContext::widenPath()
{
    if (!m_impl->m_hasPath || m_state.pen.width <= 1)
        return false;
    QPainterPathStroker stroker;
    stroker.setWidth(m_state.pen.width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath outline = stroker.createStroke(m_impl->m_path).simplified();
    outline.setFillRule(Qt::WindingFill);
    m_impl->m_path = outline;
    return true;
}

static int32_t clampToInt(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The part of the source as 32-bit pixels, the format windows keep their contents in, so that an
// unscaled copy to a window is a plain copy of rows for Qt.
static QImage toRgb32(const PixelBuffer& source, const Rect& part)
{
    QImage image(part.width(), part.height(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // Everything the loops read is in locals, which the pixel stores cannot be taken to change.
    const int32_t left = part.left, width = part.width(), depth = source.bitsPerPixel;
    uint32_t colors[ColorTableSize];
    if (depth == 8) {
        for (int32_t i = 0; i < ColorTableSize; ++i) {
            const ColorTableEntry& entry = source.colorTable[i];
            colors[i] = 0xFF000000u | uint32_t { entry.red } << 16 | uint32_t { entry.green } << 8 | entry.blue;
        }
    }
    for (int32_t y = 0; y < part.height(); ++y) {
        const uint8_t* from = source.row(part.top + y);
        auto* to = reinterpret_cast<uint32_t*>(image.scanLine(y));
        if (depth == 8) {
            for (int32_t x = 0; x < width; ++x)
                to[x] = colors[from[left + x]];
        } else if (depth == 16) {
            for (int32_t x = 0; x < width; ++x) {
                uint16_t word = readWord555(from + (left + x) * 2);
                to[x] = 0xFF000000u | uint32_t { widenFieldRepeating(word >> 10 & 31) } << 16
                    | uint32_t { widenFieldRepeating(word >> 5 & 31) } << 8 | widenFieldRepeating(word & 31);
            }
        } else if (depth == 32) {
            // Straight colour with its alpha: a copy shows the colour, opaque.
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* pixel = from + (left + x) * 4;
                to[x] = 0xFF000000u | uint32_t { pixel[2] } << 16 | uint32_t { pixel[1] } << 8 | pixel[0];
            }
        } else {
            int32_t x = 0;
            if constexpr (std::endian::native == std::endian::little) {
                // Four bytes read at a pixel are its blue, green and red and the next pixel's blue,
                // masked off. The last pixel's fourth byte may lie past the memory: it is read below.
                for (; x + 1 < width; ++x) {
                    uint32_t word;
                    std::memcpy(&word, from + (left + x) * 3, sizeof word);
                    to[x] = 0xFF000000u | (word & 0x00FFFFFFu);
                }
            }
            for (; x < width; ++x) {
                const uint8_t* pixel = from + (left + x) * 3;
                to[x] = 0xFF000000u | uint32_t { pixel[2] } << 16 | uint32_t { pixel[1] } << 8 | pixel[0];
            }
        }
    }
    return image;
}

// Other paint devices get the picture through QPainter, scaled without smoothing. An unscaled
// copy is converted to 32 bits here; for a scaled one 16- and 24-bit pixels are wrapped in place
// and 8-bit pixels are widened through their colour table first.
static void drawOnDevice(const DeviceContextImpl& impl, QPaintDevice& device, const Rect& targetRect,
    const PixelBuffer& source, const Rect& sourceRect)
{
    Rect part = sourceRect.intersected(source.bounds());
    if (part.isEmpty() || sourceRect.isEmpty() || targetRect.isEmpty())
        return;
    double scaleX = static_cast<double>(targetRect.width()) / sourceRect.width();
    double scaleY = static_cast<double>(targetRect.height()) / sourceRect.height();
    QRectF target(targetRect.left + (part.left - static_cast<double>(sourceRect.left)) * scaleX,
        targetRect.top + (part.top - static_cast<double>(sourceRect.top)) * scaleY, part.width() * scaleX,
        part.height() * scaleY);
    QImage image;
    if (targetRect.width() == sourceRect.width() && targetRect.height() == sourceRect.height()) {
        image = toRgb32(source, part);
        if (image.isNull())
            return;
    } else if (source.bitsPerPixel == 8) {
        image = QImage(part.width(), part.height(), QImage::Format_BGR888);
        if (image.isNull())
            return;
        PixelBuffer widened { image.bits(), part.width(), part.height(),
            static_cast<int32_t>(image.bytesPerLine()), 24, nullptr };
        copyPixels(widened, 0, 0, source, part);
    } else {
        image = QImage(source.row(part.top) + part.left * (source.bitsPerPixel / 8), part.width(),
            part.height(), source.stride, wrappedFormat(source.bitsPerPixel));
        // A copy shows the straight colour: every alpha byte becomes 255.
        if (source.bitsPerPixel == 32)
            image = image.convertToFormat(QImage::Format_RGB32);
    }
    QPainter painter(&device);
    impl.applyClip(painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image);
}

void DeviceContext::bitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const PixelBuffer& source,
    int32_t sourceX, int32_t sourceY)
{
    Rect sourceRect { sourceX, sourceY, clampToInt(int64_t { sourceX } + width),
        clampToInt(int64_t { sourceY } + height) };
    Rect targetRect { x, y, clampToInt(int64_t { x } + width), clampToInt(int64_t { y } + height) };
    if (!m_impl->m_device) {
        // Only the part of the target inside the clip takes pixels: the source shrinks with it.
        Rect part = m_impl->clipped(targetRect);
        if (part.isEmpty())
            return;
        Rect cut { sourceRect.left + (part.left - x), sourceRect.top + (part.top - y),
            sourceRect.left + (part.right - x), sourceRect.top + (part.bottom - y) };
        copyPixels(m_impl->m_memory, part.left, part.top, source, cut);
        return;
    }
    if (!source.isValid())
        return;
    drawOnDevice(*m_impl, *m_impl->m_device, targetRect, source, sourceRect);
}

void DeviceContext::stretchBlt(const Rect& targetRect, const PixelBuffer& source, const Rect& sourceRect)
{
    if (!m_impl->m_device) {
        stretchPixels(m_impl->m_memory, targetRect, source, sourceRect);
        return;
    }
    if (source.isValid())
        drawOnDevice(*m_impl, *m_impl->m_device, targetRect, source, sourceRect);
}

}
