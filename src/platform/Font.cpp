#include <platform/Font.h>

#include <platform/FontData.h>

#include <QGuiApplication>
#include <QTextLayout>
#include <algorithm>
#include <cstdint>

namespace nimbolt {

static const FontSpec StockFontSpec { 16, 0, 400, 0, 0, 0 };

Font Font::create(const FontSpec& fontSpec)
{
    Font font;
    font.m_data = std::make_shared<FontData>(fontSpec);
    return font;
}

const FontData& Font::data() const
{
    static FontData stock(StockFontSpec);
    return m_data ? *m_data : stock;
}

const FontSpec& Font::fontSpec() const
{
    return data().fontSpec();
}

static QFont makeQFont(const FontSpec& fontSpec)
{
    // A negative height asks for the character height rather than the cell; both become the
    // pixel size here. Zero means the stock size.
    int32_t height = fontSpec.height == 0 ? StockFontSpec.height : fontSpec.height;
    if (height < 0)
        height = height == INT32_MIN ? INT32_MAX : -height;
    height = std::clamp(height, 1, 2048);
    int32_t width = height / 2;

    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(height);
    // The face's half-width characters are half an em wide, so a width of half the height is
    // the face's own proportion (stretch 100); odd heights narrow it by the rounding.
    if (width > 0)
        font.setStretch(std::clamp(static_cast<int>((200LL * width + height / 2) / height), 1, 4000));
    int32_t weight = fontSpec.weight <= 0 ? 400 : std::min(fontSpec.weight, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(fontSpec.italic != 0);
    font.setUnderline(fontSpec.underline != 0);
    font.setStrikeOut(fontSpec.strikeout != 0);
    font.setKerning(false);
    return font;
}

bool FontData::isUsable() const
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

const FontData::Metrics& FontData::metrics() const
{
    if (!m_metrics) {
        QFont font = makeQFont(m_spec);
        QFontMetrics metrics(font);
        m_metrics.emplace(Metrics { font, metrics, metrics.ascent(), metrics.ascent() + metrics.descent() });
    }
    return *m_metrics;
}

const QFont& FontData::font() const
{
    return metrics().font;
}
int32_t FontData::ascent() const
{
    return metrics().ascent;
}
int32_t FontData::height() const
{
    return metrics().height;
}

int32_t FontData::advance(
    const ShiftJisText& text, const char* bytes, const ShiftJisText::Character& character) const
{
    uint32_t code = ShiftJisText::characterCode(bytes, character);
    if (character.byteLength == 1 && m_singleByteKnown[code])
        return m_singleByteAdvances[code];
    if (character.byteLength == 2) {
        auto found = m_doubleByteAdvances.find(code);
        if (found != m_doubleByteAdvances.end())
            return found->second;
    }
    QStringView piece = text.characterText(character);
    int32_t advance = piece.isEmpty() ? 0 : metrics().metrics.horizontalAdvance(piece.toString());
    advance = std::clamp(advance, 0, 32767);
    if (character.byteLength == 1) {
        m_singleByteAdvances[code] = static_cast<int16_t>(advance);
        m_singleByteKnown[code] = true;
    } else {
        m_doubleByteAdvances.emplace(code, advance);
    }
    return advance;
}

const QGlyphRun* FontData::glyphs(
    const ShiftJisText& text, const char* bytes, const ShiftJisText::Character& character) const
{
    uint32_t code = ShiftJisText::characterCode(bytes, character);
    auto found = m_glyphs.find(code);
    if (found == m_glyphs.end()) {
        std::optional<QGlyphRun> glyphs;
        const QFont& font = metrics().font;
        QStringView piece = text.characterText(character);
        if (!piece.isEmpty() && !font.underline() && !font.strikeOut()) {
            QTextLayout layout(piece.toString(), font);
            layout.beginLayout();
            QTextLine line = layout.createLine();
            layout.endLayout();
            QList<QGlyphRun> runs = layout.glyphRuns();
            if (line.isValid() && runs.size() == 1) {
                glyphs = runs.front();
                QList<QPointF> positions = glyphs->positions();
                for (QPointF& position : positions)
                    position -= QPointF(line.x(), line.y() + line.ascent());
                glyphs->setPositions(positions);
            }
        }
        found = m_glyphs.emplace(code, std::move(glyphs)).first;
    }
    return found->second ? &*found->second : nullptr;
}

}
