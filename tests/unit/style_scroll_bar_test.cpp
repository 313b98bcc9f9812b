#include "style/core/scroll_bar.h"

#include <gtest/gtest.h>

namespace {

using namespace pix::style;

// A bar 17 wide and 200 high at (100, 50), a hundred lines with twenty in
// view, the platform's smallest thumb 8.
ScrollBarReport Lines(int position) {
    ScrollBarReport r;
    r.bar = {100, 50, 117, 250};
    r.shown = true;
    r.hasRange = true;
    r.min = 0;
    r.max = 99;
    r.page = 20;
    r.position = position;
    r.minimumThumb = 8;
    return r;
}

// The arrows are square; the thumb is page / range of the track between
// them, at position / (max - page + 1) of the free track, rounded as the
// platform rounds MulDiv.
TEST(StyleScrollBar, ThumbByPageAndPosition) {
    struct Case {
        const char* name;
        ScrollBarReport report;
        int arrow, thumbTop, thumbBottom;
    } const cases[] = {
        // track 166, thumb round(166 * 20 / 100) = 33, free 133
        {"at the top", Lines(0), 17, 17, 50},
        {"at the end", Lines(80), 17, 150, 183},
        {"in the middle, a half rounded up", Lines(40), 17, 84, 117},  // 133 * 40 / 80 = 66.5
        {"past the end, held at the end", Lines(95), 17, 150, 183},
        {"before the start, held at the start", Lines(-5), 17, 17, 50},
        {"the smallest thumb", [] { auto r = Lines(0); r.max = 9999; return r; }(), 17, 17, 25},
        {"no page: a square thumb", [] { auto r = Lines(0); r.page = 0; return r; }(), 17, 17, 34},
        {"held: where it is dragged",
         [] { auto r = Lines(0); r.dragging = true; r.trackPosition = 80; return r; }(), 17, 150, 183},
        {"not held: the track position means nothing",
         [] { auto r = Lines(0); r.trackPosition = 80; return r; }(), 17, 17, 50},
        {"a short bar: half-height arrows, no room for a thumb",
         [] { auto r = Lines(0); r.bar.bottom = r.bar.top + 20; return r; }(), 10, 10, 10},
        {"a square thumb that does not fit",
         [] { auto r = Lines(0); r.page = 0; r.bar.bottom = r.bar.top + 40; return r; }(), 17, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScrollGeometry g = LayOutScrollBar(c.report);
        EXPECT_TRUE(g.shown);
        EXPECT_FALSE(g.disabled);
        EXPECT_EQ(g.bar, c.report.bar);
        EXPECT_EQ(g.arrow, c.arrow);
        EXPECT_EQ(g.thumbTop, c.thumbTop);
        EXPECT_EQ(g.thumbBottom, c.thumbBottom);
    }
}

// Nothing to scroll: the bar shows disabled, with its arrows and no thumb.
TEST(StyleScrollBar, DisabledOrHidden) {
    struct Case {
        const char* name;
        ScrollBarReport report;
        bool shown, disabled;
    } const cases[] = {
        {"hidden", [] { auto r = Lines(0); r.shown = false; return r; }(), false, false},
        {"unavailable", [] { auto r = Lines(0); r.unavailable = true; return r; }(), true, true},
        {"range unknown", [] { auto r = Lines(0); r.hasRange = false; return r; }(), true, true},
        {"all in view", [] { auto r = Lines(0); r.page = 100; return r; }(), true, true},
        {"more than all in view", [] { auto r = Lines(0); r.page = 150; return r; }(), true, true},
        {"empty range", [] { auto r = Lines(0); r.max = -1; return r; }(), true, true},
        {"one line out of view", [] { auto r = Lines(0); r.page = 99; return r; }(), true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScrollGeometry g = LayOutScrollBar(c.report);
        EXPECT_EQ(g.shown, c.shown);
        EXPECT_EQ(g.disabled, c.disabled);
        if (c.shown) EXPECT_EQ(g.arrow, 17);
        if (c.disabled) EXPECT_EQ(g.thumbTop, g.thumbBottom);
    }
}

TEST(StyleScrollBar, PartAtAPoint) {
    const ScrollGeometry g = LayOutScrollBar(Lines(40));  // thumb from 84 to 117 below the bar's top
    struct Case {
        int x, y;
        ScrollPart part;
    } const cases[] = {
        {108, 50, ScrollPart::UpArrow},    {108, 66, ScrollPart::UpArrow},     {108, 67, ScrollPart::None},
        {108, 133, ScrollPart::None},      {108, 134, ScrollPart::Thumb},      {100, 150, ScrollPart::Thumb},
        {116, 166, ScrollPart::Thumb},     {108, 167, ScrollPart::None},       {108, 232, ScrollPart::None},
        {108, 233, ScrollPart::DownArrow}, {108, 249, ScrollPart::DownArrow},  {108, 250, ScrollPart::None},
        {99, 150, ScrollPart::None},       {117, 150, ScrollPart::None},       {108, 49, ScrollPart::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(ScrollPartAt(g, c.x, c.y)), static_cast<int>(c.part)) << c.x << "," << c.y;
    EXPECT_EQ(ScrollPartAt(LayOutScrollBar([] { auto r = Lines(0); r.shown = false; return r; }()), 108, 60),
              ScrollPart::None);
    // Disabled: the arrows still answer, the track has no thumb.
    const ScrollGeometry off = LayOutScrollBar([] { auto r = Lines(0); r.page = 100; return r; }());
    EXPECT_EQ(ScrollPartAt(off, 108, 55), ScrollPart::UpArrow);
    EXPECT_EQ(ScrollPartAt(off, 108, 150), ScrollPart::None);
}

}  // namespace
