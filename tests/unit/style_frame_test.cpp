#include "style/core/frame.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pix::style;
using pix::Box;

FrameLook HouseFrame() {
    std::ifstream in(PIX_STYLE_SOURCE);
    std::stringstream text;
    text << in.rdbuf();
    const auto parsed = ParseStyleSource(text.str());
    EXPECT_TRUE(parsed.Ok()) << parsed.error;
    const auto look = BuildLook(parsed.value);
    EXPECT_TRUE(look.Ok()) << look.error;
    return look.value.frame;
}

// At 96 DPI the measures are the style's; at 144 every edge is scaled and
// the parts are the differences of scaled edges, so they still add up.
TEST(StyleFrame, ScalesEdgesByTheFormsRounding) {
    const FrameLook look = HouseFrame();
    struct Case {
        int dpi, topLine, captionBand, title, border, buttonWidth, buttonHeight, font;
    } const cases[] = {
        {96, 1, 31, 32, 6, 46, 31, 11},
        {144, 2, 46, 48, 9, 69, 46, 16},
        {192, 2, 62, 64, 12, 92, 62, 21},
        {120, 1, 39, 40, 8, 58, 39, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        const FrameMetrics m = ScaleFrame(look, c.dpi);
        EXPECT_EQ(m.topLine, c.topLine);
        EXPECT_EQ(m.captionBand, c.captionBand);
        EXPECT_EQ(m.TitleHeight(), c.title);
        EXPECT_EQ(m.border, c.border);
        EXPECT_EQ(m.buttonWidth, c.buttonWidth);
        EXPECT_EQ(m.buttonHeight, c.buttonHeight);
        EXPECT_EQ(m.captionFontHeight, c.font);
    }
}

TEST(StyleFrame, LaysOutTheParts) {
    const FrameMetrics m = ScaleFrame(HouseFrame(), 96);
    const FrameBoxes b = LayOutFrame(m, 647, 529);
    EXPECT_EQ(b.topLine, (Box{0, 0, 647, 1}));
    EXPECT_EQ(b.captionBand, (Box{0, 1, 647, 32}));
    EXPECT_EQ(b.client, (Box{6, 32, 641, 523}));
    EXPECT_EQ(b.close, (Box{601, 1, 647, 32}));
    EXPECT_EQ(b.maximize, (Box{555, 1, 601, 32}));
    EXPECT_EQ(b.minimize, (Box{509, 1, 555, 32}));
    EXPECT_EQ(b.iconArea, (Box{7, 5, 28, 25}));
    EXPECT_EQ(b.icon, (Box{7, 7, 23, 23}));  // 16 x 16, centred vertically
    EXPECT_EQ(b.captionLeft, 33);
}

TEST(StyleFrame, HitTesting) {
    const FrameMetrics m = ScaleFrame(HouseFrame(), 96);
    const int w = 647, h = 529;
    const FrameBoxes b = LayOutFrame(m, w, h);
    struct Case {
        int x, y;
        FramePart part;
    } const cases[] = {
        {300, 0, FramePart::Top},          {300, 2, FramePart::Top},
        {300, 3, FramePart::Caption},      {300, 31, FramePart::Caption},
        {300, 32, FramePart::Client},      {0, 200, FramePart::Left},
        {5, 200, FramePart::Left},         {6, 200, FramePart::Client},
        {646, 200, FramePart::Right},      {641, 200, FramePart::Right},
        {300, 528, FramePart::Bottom},     {300, 523, FramePart::Bottom},
        {0, 0, FramePart::TopLeft},        {20, 1, FramePart::TopLeft},
        {2, 25, FramePart::TopLeft},       {646, 0, FramePart::TopRight},
        {644, 20, FramePart::TopRight},    {0, 528, FramePart::BottomLeft},
        {25, 526, FramePart::BottomLeft},  {646, 528, FramePart::BottomRight},
        {620, 10, FramePart::Close},       {601, 31, FramePart::Close},
        {600, 10, FramePart::Maximize},    {530, 10, FramePart::Minimize},
        {508, 10, FramePart::Caption},     {10, 10, FramePart::SystemMenu},
        {28, 10, FramePart::Caption},
    };
    const FrameButtons all;
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(HitTestFrame(m, b, all, w, h, c.x, c.y, true)), static_cast<int>(c.part))
            << c.x << "," << c.y;
    // Not resizable (maximised): the edges are caption or client.
    EXPECT_EQ(HitTestFrame(m, b, all, w, h, 300, 0, false), FramePart::Caption);
    EXPECT_EQ(HitTestFrame(m, b, all, w, h, 0, 200, false), FramePart::Caption);
    EXPECT_EQ(HitTestFrame(m, b, all, w, h, 620, 10, false), FramePart::Close);
}

// Only the buttons a window has answer: where a missing one would be, the
// caption goes on (a dialog has a close button only).
TEST(StyleFrame, HitTestingMissingButtons) {
    const FrameMetrics m = ScaleFrame(HouseFrame(), 96);
    const int w = 400, h = 200;
    const FrameBoxes b = LayOutFrame(m, w, h);
    struct Case {
        const char* name;
        FrameButtons buttons;
        FramePart atClose, atMaximize, atMinimize;
    } const cases[] = {
        {"all three", {true, true, true}, FramePart::Close, FramePart::Maximize, FramePart::Minimize},
        {"close only (a dialog)", {true, false, false}, FramePart::Close, FramePart::Caption, FramePart::Caption},
        {"no maximise", {true, false, true}, FramePart::Close, FramePart::Caption, FramePart::Minimize},
        {"no minimise", {true, true, false}, FramePart::Close, FramePart::Maximize, FramePart::Caption},
        {"no system menu", {false, false, false}, FramePart::Caption, FramePart::Caption, FramePart::Caption},
    };
    const int y = b.close.top + b.close.Height() / 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool resizable : {true, false}) {
            const auto at = [&](const Box& box) {
                return HitTestFrame(m, b, c.buttons, w, h, box.left + box.Width() / 2, y, resizable);
            };
            EXPECT_EQ(static_cast<int>(at(b.close)), static_cast<int>(c.atClose));
            EXPECT_EQ(static_cast<int>(at(b.maximize)), static_cast<int>(c.atMaximize));
            EXPECT_EQ(static_cast<int>(at(b.minimize)), static_cast<int>(c.atMinimize));
        }
    }
}

// Maximised, the window reaches beyond the screen; the band and the buttons
// start at the screen's edge.
TEST(StyleFrame, Maximized) {
    const FrameMetrics m = MaximizedFrame(ScaleFrame(HouseFrame(), 96), 8);
    const FrameBoxes b = LayOutFrame(m, 1296, 816);
    EXPECT_EQ(b.captionBand, (Box{8, 8, 1288, 39}));
    EXPECT_EQ(b.close, (Box{1242, 8, 1288, 39}));
    EXPECT_EQ(b.client, (Box{8, 39, 1288, 808}));
    EXPECT_EQ(b.iconArea.left, 15);
}

}  // namespace
