// A window shape as the platform takes it: rectangles in the shape's own coordinates, with
// (0, 0) the top-left of the picture it was made from, and the bounds of the whole picture. The
// shape is the union of the rectangles; no rectangles means an empty shape (nothing of the
// window shows), which is different from having no region at all. The rectangles live in one
// block taken up front for the most the shape can need, so filling it never allocates again and
// a block that cannot be had is reported instead of ending the program.
#pragma once

#include <platform/Rect.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace nimbolt {

class RectList {
public:
    // The most rectangles a list may hold (a gibibyte of rectangles).
    static constexpr int64_t MaxCapacity = int64_t { 1 } << 26;

    // Takes room for capacity rectangles, dropping any held before; false (and an empty list with
    // no room) when capacity is negative, above MaxCapacity or the memory cannot be had.
    [[nodiscard]] bool reserve(int64_t capacity)
    {
        m_data.reset();
        m_size = 0;
        m_capacity = 0;
        if (capacity < 0 || capacity > MaxCapacity)
            return false;
        if (capacity == 0)
            return true;
        m_data.reset(static_cast<Rect*>(std::malloc(static_cast<size_t>(capacity) * sizeof(Rect))));
        if (!m_data)
            return false;
        m_capacity = static_cast<size_t>(capacity);
        return true;
    }

    // false when the reserved room is used up.
    [[nodiscard]] bool append(const Rect& rect)
    {
        if (m_size == m_capacity)
            return false;
        new (m_data.get() + m_size) Rect(rect);
        ++m_size;
        return true;
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const Rect& operator[](size_t index) const { return m_data.get()[index]; }
    const Rect* begin() const { return m_data.get(); }
    const Rect* end() const { return m_data.get() + m_size; }

private:
    struct Free {
        void operator()(Rect* rects) const { std::free(rects); }
    };

    std::unique_ptr<Rect, Free> m_data;
    size_t m_size { 0 };
    size_t m_capacity { 0 };
};

struct Region {
    Rect bounds;
    RectList rects;

    bool contains(int32_t x, int32_t y) const
    {
        for (const Rect& rect : rects) {
            if (rect.contains(x, y))
                return true;
        }
        return false;
    }
};

}
