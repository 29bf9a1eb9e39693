// The Qt side of a Font, built on first use (so fonts can be made before the application object
// exists) and kept with its metrics, a cache of character advances and one of the glyphs each
// character is drawn with. Advances are whole pixels and text is measured and drawn character by
// character on them, so a measured extent and the drawn text always agree.
#pragma once

#include <platform/FontSpec.h>
#include <platform/ShiftJisText.h>

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace nimbolt {

class FontData {
public:
    explicit FontData(const FontSpec& fontSpec)
        : m_spec(fontSpec)
    {
    }

    const FontSpec& fontSpec() const { return m_spec; }
    // False when there is no GUI application to give fonts; text then draws and measures as
    // nothing.
    bool isUsable() const;
    const QFont& font() const;
    int32_t ascent() const;
    // The cell height: ascent plus descent.
    int32_t height() const;
    int32_t advance(
        const ShiftJisText& text, const char* bytes, const ShiftJisText::Character& character) const;
    // The glyphs that draw the character with its baseline's left end at (0, 0), laid out once
    // and kept; null when the character is drawn as text instead (it takes glyphs of several
    // faces, or the font underlines or strikes out).
    const QGlyphRun* glyphs(
        const ShiftJisText& text, const char* bytes, const ShiftJisText::Character& character) const;

private:
    struct Metrics {
        QFont font;
        QFontMetrics metrics;
        int32_t ascent;
        int32_t height;
    };
    const Metrics& metrics() const;

    FontSpec m_spec;
    mutable std::optional<Metrics> m_metrics;
    mutable std::array<int16_t, 256> m_singleByteAdvances {};
    mutable std::array<bool, 256> m_singleByteKnown {};
    mutable std::unordered_map<uint32_t, int32_t> m_doubleByteAdvances;
    mutable std::unordered_map<uint32_t, std::optional<QGlyphRun>> m_glyphs;
};

}
