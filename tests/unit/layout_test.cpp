#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "form/core/control_ids.h"
#include "form/core/layout.h"

namespace pix::layout {
// Printed as the table writes them: left, top, width x height.
void PrintTo(const Rect& r, std::ostream* out) {
    *out << "(" << r.left << ", " << r.top << ", " << r.Width() << " x " << r.Height() << ")";
}
void PrintTo(const Margins& m, std::ostream* out) {
    *out << "{" << m.left << ", " << m.top << ", " << m.right << ", " << m.bottom << "}";
}
}  // namespace pix::layout


namespace {

using pix::layout::Bounds;
using pix::layout::DesignGeometry;
using pix::layout::DockInput;
using pix::layout::FormGeometry;
using pix::layout::LayOutDocked;
using pix::layout::Margins;
using pix::layout::Rect;
using pix::layout::Scale;
using pix::layout::ScaleGeometry;
namespace ids = pix::ids;

// --- the one rounding ---------------------------------------------------------

TEST(Scale, RoundsToNearestWithHalvesAwayFromZero) {
    const struct {
        int value, from, to, expected;
    } cases[] = {
        {0, 96, 144, 0},      {15, 96, 96, 15},     {-15, 96, 96, -15},
        {15, 96, 144, 23},    // 22.5
        {3, 96, 144, 5},      // 4.5
        {447, 96, 144, 671},  // 670.5: the button's top at 144 DPI
        {488, 96, 144, 732},  {241, 96, 144, 362},  {635, 96, 144, 953},  {491, 96, 144, 737},
        {11, 96, 144, 17},    // the font: 16.5
        {1, 96, 144, 2},      {-1, 96, 144, -2},    // -1.5: away from zero, not up
        {-15, 96, 144, -23},  {-3, 96, 144, -5},    {-44, 96, 144, -66},  {-45, 96, 144, -68},  // -67.5
        {2, 96, 120, 3},      {-2, 96, 120, -3},    // 2.5
        {1, 96, 120, 1},      {3, 96, 120, 4},      {-1, 96, 120, -1},    {-3, 96, 120, -4},  // .25 and .75
        {1, 192, 96, 1},      {-1, 192, 96, -1},    {3, 192, 96, 2},      {-3, 192, 96, -2},  // halves going down
        {983, 192, 96, 492},  {671, 144, 96, 447},  {732, 144, 96, 488},  // 447.33, 488
        {11, 96, 192, 22},    {22, 192, 96, 11},    {1000000, 96, 288, 3000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scale(c.value, c.from, c.to), c.expected) << c.value << " from " << c.from << " to " << c.to;
}

TEST(Scale, WidthIsTheDifferenceOfScaledEdges) {
    // 41 * 1.5 = 61.5 would give 62; the edges 447 and 488 give 671 and 732.
    EXPECT_EQ(pix::layout::ScaleEdges(Bounds(15, 447, 605, 41), 96, 144), Bounds(23, 671, 907, 61));
    // Negative edges (a button pushed above the client area) round away from zero too.
    EXPECT_EQ(pix::layout::ScaleEdges(Rect{-3, -45, 1, -4}, 96, 144), (Rect{-5, -68, 2, -6}));
}

// --- docking -------------------------------------------------------------------

TEST(LayOutDocked, FollowsTheClientArea) {
    const Rect memoBefore{1, 2, 3, 4};  // to see whether the result area was left alone
    const struct {
        int width, height;
        Rect panel, button, memo;
    } cases[] = {
        {635, 491, Bounds(0, 0, 635, 241), Bounds(15, 447, 605, 41), Bounds(15, 244, 605, 197)},
        // Wider: only the docked controls stretch.
        {900, 491, Bounds(0, 0, 900, 241), Bounds(15, 447, 870, 41), Bounds(15, 244, 870, 197)},
        {635, 300, Bounds(0, 0, 635, 241), Bounds(15, 256, 605, 41), Bounds(15, 244, 605, 6)},
        {635, 294, Bounds(0, 0, 635, 241), Bounds(15, 250, 605, 41), Bounds(15, 244, 605, 0)},
        // A negative height counts as zero.
        {635, 293, Bounds(0, 0, 635, 241), Bounds(15, 249, 605, 41), Bounds(15, 244, 605, 0)},
        {635, 290, Bounds(0, 0, 635, 241), Bounds(15, 246, 605, 41), Bounds(15, 244, 605, 0)},
        // No height left, but not less: still laid out.
        {635, 288, Bounds(0, 0, 635, 241), Bounds(15, 244, 605, 41), Bounds(15, 244, 605, 0)},
        // Less than none: the result area is not touched; the button keeps 41.
        {635, 287, Bounds(0, 0, 635, 241), Bounds(15, 243, 605, 41), memoBefore},
        {635, 100, Bounds(0, 0, 635, 241), Bounds(15, 56, 605, 41), memoBefore},
        {635, 0, Bounds(0, 0, 635, 241), Bounds(15, -44, 605, 41), memoBefore},
        // Narrower than the margins: a width below zero counts as zero.
        {20, 491, Bounds(0, 0, 20, 241), Bounds(15, 447, 0, 41), Bounds(15, 244, 0, 197)},
        {0, 0, Bounds(0, 0, 0, 241), Bounds(15, -44, 0, 41), memoBefore},
        {1920, 1080, Bounds(0, 0, 1920, 241), Bounds(15, 1036, 1890, 41), Bounds(15, 244, 1890, 786)},
    };
    for (const auto& c : cases) {
        const auto docked = LayOutDocked({{c.width, c.height}, 241, 41, {15, 3, 15, 3}, memoBefore});
        SCOPED_TRACE(testing::Message() << "client " << c.width << " x " << c.height);
        EXPECT_EQ(docked.panel, c.panel);
        EXPECT_EQ(docked.button, c.button);
        EXPECT_EQ(docked.memo, c.memo);
    }
}

TEST(LayOutDocked, UsesEachMarginOnItsOwnSide) {
    const auto docked = LayOutDocked({{500, 400}, 100, 30, {1, 2, 3, 4}, {}});
    EXPECT_EQ(docked.panel, Bounds(0, 0, 500, 100));
    EXPECT_EQ(docked.button, Bounds(1, 366, 496, 30));  // strip 400-36 .. 400, less 2 at the top
    EXPECT_EQ(docked.memo, Bounds(1, 102, 496, 258));  // free 100..364, less 2 above and 4 below
}

TEST(DesignGeometry, LaysOutAsDesigned) {
    FormGeometry design = DesignGeometry();
    const FormGeometry before = design;
    pix::layout::LayOut(design);
    for (int id = ids::kFirst; id < ids::kEnd; ++id) EXPECT_EQ(design[id], before[id]) << "control " << id;
}

// --- the form at another DPI ------------------------------------------------------

struct ScaledRow {
    int id;
    Rect bounds;  // edges scaled; the window then applies the height rule and the label sizes
};

void ExpectScaledDesign(int dpi, const ScaledRow (&rows)[ids::kCount]) {
    const FormGeometry scaled = ScaleGeometry(DesignGeometry(), 96, dpi);
    for (const ScaledRow& row : rows) EXPECT_EQ(scaled[row.id], row.bounds) << "control " << row.id << " at " << dpi;
}

TEST(ScaleGeometry, At144Dpi) {
    const ScaledRow rows[ids::kCount] = {
        {ids::Panel1, {0, 0, 953, 362}},
        {ids::Memo1, {23, 366, 930, 662}},
        {ids::Button2, {23, 671, 930, 732}},
        {ids::Label1, {24, 12, 96, 32}},
        {ids::edtCodigoSolicitacaoBancoCentral, {24, 41, 734, 72}},
        {ids::Label3, {743, 12, 810, 32}},
        {ids::edtConvenio, {743, 41, 924, 72}},
        {ids::Label2, {24, 81, 203, 101}},
        {ids::edtDeveloperApplicationKey, {24, 110, 924, 141}},
        {ids::Label4, {24, 150, 80, 170}},
        {ids::edtClientId, {24, 179, 924, 210}},
        {ids::Label5, {24, 219, 111, 239}},
        {ids::edtClientSecret, {24, 248, 924, 279}},
        {ids::Label6, {24, 288, 69, 308}},
        {ids::edtBoleto, {24, 317, 602, 348}},
        {ids::Label7, {611, 288, 647, 308}},
        {ids::edtValor, {611, 317, 759, 348}},
        {ids::Label8, {768, 288, 851, 308}},
        {ids::edtVencimento, {768, 317, 924, 348}},
    };
    ExpectScaledDesign(144, rows);

    FormGeometry g = ScaleGeometry(DesignGeometry(), 96, 144);
    EXPECT_EQ(g.client.width, 953);
    EXPECT_EQ(g.client.height, 737);
    EXPECT_EQ(g.fontHeight, 17);
    EXPECT_EQ(g.margins, (Margins{23, 5, 23, 5}));
    pix::layout::LayOut(g);
    EXPECT_EQ(g[ids::Panel1], (Rect{0, 0, 953, 362}));
    EXPECT_EQ(g[ids::Button2], (Rect{23, 671, 930, 732}));  // 61 high, not 62
    EXPECT_EQ(g[ids::Memo1], (Rect{23, 367, 930, 661}));
}

TEST(ScaleGeometry, At192Dpi) {
    const ScaledRow rows[ids::kCount] = {
        {ids::Panel1, {0, 0, 1270, 482}},
        {ids::Memo1, {30, 488, 1240, 882}},
        {ids::Button2, {30, 894, 1240, 976}},
        {ids::Label1, {32, 16, 128, 42}},
        {ids::edtCodigoSolicitacaoBancoCentral, {32, 54, 978, 96}},
        {ids::Label3, {990, 16, 1080, 42}},
        {ids::edtConvenio, {990, 54, 1232, 96}},
        {ids::Label2, {32, 108, 270, 134}},
        {ids::edtDeveloperApplicationKey, {32, 146, 1232, 188}},
        {ids::Label4, {32, 200, 106, 226}},
        {ids::edtClientId, {32, 238, 1232, 280}},
        {ids::Label5, {32, 292, 148, 318}},
        {ids::edtClientSecret, {32, 330, 1232, 372}},
        {ids::Label6, {32, 384, 92, 410}},
        {ids::edtBoleto, {32, 422, 802, 464}},
        {ids::Label7, {814, 384, 862, 410}},
        {ids::edtValor, {814, 422, 1012, 464}},
        {ids::Label8, {1024, 384, 1134, 410}},
        {ids::edtVencimento, {1024, 422, 1232, 464}},
    };
    ExpectScaledDesign(192, rows);

    FormGeometry g = ScaleGeometry(DesignGeometry(), 96, 192);
    EXPECT_EQ(g.client.width, 1270);
    EXPECT_EQ(g.client.height, 982);
    EXPECT_EQ(g.fontHeight, 22);
    EXPECT_EQ(g.margins, (Margins{30, 6, 30, 6}));
    pix::layout::LayOut(g);
    EXPECT_EQ(g[ids::Panel1].Height(), 482);
    EXPECT_EQ(g[ids::Button2], Bounds(30, 894, 1210, 82));
    EXPECT_EQ(g[ids::Memo1], Bounds(30, 488, 1210, 394));
}

TEST(ScaleGeometry, At120DpiEachEdgeRoundsOnItsOwn) {
    const FormGeometry g = ScaleGeometry(DesignGeometry(), 96, 120);
    // 73 * 1.25 = 91.25 and 94 * 1.25 = 117.5: 27 high, where 21 * 1.25 gives 26.
    EXPECT_EQ(g[ids::edtDeveloperApplicationKey], (Rect{20, 91, 770, 118}));
    EXPECT_EQ(g[ids::edtClientId], (Rect{20, 149, 770, 175}));
    EXPECT_EQ(g.fontHeight, 14);  // 13.75
}

TEST(ScaleGeometry, From96To192AndBackIsExact) {
    // Laid out at 192 DPI in a client area of odd height, as a proposed
    // window rectangle may give it, and brought back to 96 DPI.
    const FormGeometry design = DesignGeometry();
    FormGeometry at192 = ScaleGeometry(design, 96, 192);
    at192.client = {1271, 983};
    pix::layout::LayOut(at192);
    FormGeometry back = ScaleGeometry(at192, 192, 96);
    back.client = design.client;
    pix::layout::LayOut(back);
    EXPECT_EQ(back.fontHeight, 11);
    EXPECT_EQ(back.margins, design.margins);
    for (int id = ids::kFirst; id < ids::kEnd; ++id) EXPECT_EQ(back[id], design[id]) << "control " << id;
}

TEST(ScaleGeometry, ScalesFromTheCurrentEdges) {
    // A window made shorter at 96 DPI: the button sits higher, and scaled
    // edge by edge its height comes from where its edges are now.
    FormGeometry g = DesignGeometry();
    g.client = {635, 490};
    pix::layout::LayOut(g);
    ASSERT_EQ(g[ids::Button2], Bounds(15, 446, 605, 41));
    const FormGeometry scaled = ScaleGeometry(g, 96, 144);
    EXPECT_EQ(scaled[ids::Button2], (Rect{23, 669, 930, 731}));  // 446 -> 669, 487 -> 730.5 -> 731: 62 high
}

// --- moving to another DPI ---------------------------------------------------

// What only the DPI decides, at that DPI: from the design, whatever came before.
void ExpectDesignAt(const FormGeometry& g, int dpi) {
    const FormGeometry design = ScaleGeometry(DesignGeometry(), 96, dpi);
    EXPECT_EQ(g.fontHeight, design.fontHeight);
    EXPECT_EQ(g.margins, design.margins);
    EXPECT_EQ(g[ids::Panel1].Height(), design[ids::Panel1].Height());
    EXPECT_EQ(g[ids::Button2].Height(), design[ids::Button2].Height());
    for (int id = ids::kFirst; id < ids::kEnd; ++id)
        if (id != ids::Panel1 && id != ids::Button2 && id != ids::Memo1) EXPECT_EQ(g[id], design[id]) << "control " << id;
}

TEST(MoveToDpi, ChainsEndAtTheDesign) {
    const struct {
        const char* name;
        std::vector<int> dpis;  // the first is where the form starts, as designed
    } chains[] = {
        {"up and back", {96, 144, 192, 96}},
        {"every step up and down", {96, 120, 144, 168, 192, 168, 144, 120, 96}},
        {"down first", {192, 96, 192, 120, 96}},
        {"odd steps", {120, 168, 96, 144, 120}},
        {"from 168", {168, 192, 120, 168}},
    };
    for (const auto& chain : chains) {
        SCOPED_TRACE(chain.name);
        FormGeometry g = ScaleGeometry(DesignGeometry(), 96, chain.dpis.front());
        pix::layout::LayOut(g);
        for (std::size_t i = 1; i < chain.dpis.size(); ++i) {
            const int from = chain.dpis[i - 1], to = chain.dpis[i];
            SCOPED_TRACE(::testing::Message() << from << " -> " << to);
            const FormGeometry moved = pix::layout::MoveToDpi(g, from, to);
            ExpectDesignAt(moved, to);
            // The size the user has is scaled from the current one.
            EXPECT_EQ(moved.client.width, Scale(g.client.width, from, to));
            EXPECT_EQ(moved.client.height, Scale(g.client.height, from, to));
            g = moved;
        }
        if (chain.dpis.back() == 96) {
            EXPECT_EQ(g.fontHeight, 11);
            EXPECT_EQ(g.margins, (Margins{15, 3, 15, 3}));
        }
    }
}

TEST(MoveToDpi, KeepsTheSizeTheUserChose) {
    // A window made 900 x 300 at 96 DPI: at 144 DPI it is 1350 x 450, the
    // panel and the button have their designed heights at 144 DPI and the
    // result area takes what is left.
    FormGeometry g = DesignGeometry();
    g.client = {900, 300};
    pix::layout::LayOut(g);
    const FormGeometry moved = pix::layout::MoveToDpi(g, 96, 144);
    EXPECT_EQ(moved.client.width, 1350);
    EXPECT_EQ(moved.client.height, 450);
    EXPECT_EQ(moved[ids::Panel1], (Rect{0, 0, 1350, 362}));     // 241 * 1.5 = 361.5
    // 447 and 488 give 670.5 and 732: 61 high, 5 above the bottom.
    EXPECT_EQ(moved[ids::Button2], (Rect{23, 384, 1327, 445}));
    // Between them, the button's top margin and its own bottom margin.
    EXPECT_EQ(moved[ids::Memo1], (Rect{23, 367, 1327, 374}));
}

TEST(MoveToDpi, FromTheDesignIsTheWorkedExample) {
    for (const int dpi : {120, 144, 192}) {
        FormGeometry expected = ScaleGeometry(DesignGeometry(), 96, dpi);
        pix::layout::LayOut(expected);
        const FormGeometry moved = pix::layout::MoveToDpi(DesignGeometry(), 96, dpi);
        EXPECT_EQ(moved.client.width, expected.client.width) << dpi;
        EXPECT_EQ(moved.client.height, expected.client.height) << dpi;
        for (int id = ids::kFirst; id < ids::kEnd; ++id) EXPECT_EQ(moved[id], expected[id]) << dpi << " control " << id;
    }
}

}  // namespace
