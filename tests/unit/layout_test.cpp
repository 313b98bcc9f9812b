#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "form/core/control_ids.h"
#include "form/core/day_count.h"
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

namespace pix {
void PrintTo(const CalendarTime& t, std::ostream* out) {
    *out << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":" << t.second << "."
         << t.millisecond << " (weekday " << t.dayOfWeek << ")";
}
}  // namespace pix

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

TEST(ScaleGeometry, ScalesFromTheCurrentEdgesNotTheDesign) {
    // A window made shorter at 96 DPI: the button sits higher, and at 144
    // DPI its own height comes from where its edges are now.
    FormGeometry g = DesignGeometry();
    g.client = {635, 490};
    pix::layout::LayOut(g);
    ASSERT_EQ(g[ids::Button2], Bounds(15, 446, 605, 41));
    const FormGeometry scaled = ScaleGeometry(g, 96, 144);
    EXPECT_EQ(scaled[ids::Button2], (Rect{23, 669, 930, 731}));  // 446 -> 669, 487 -> 730.5 -> 731: 62 high
}

// --- the date value ----------------------------------------------------------------

pix::CalendarTime At(int y, int mo, int d, int h, int mi, int s, int ms, int weekday) {
    pix::CalendarTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    t.dayOfWeek = weekday;
    return t;
}

bool SameWithWeekday(const pix::CalendarTime& a, const pix::CalendarTime& b) {
    return pix::SameMoment(a, b) && a.dayOfWeek == b.dayOfWeek;
}

TEST(DayCount, BothWaysExactly) {
    // Values that binary64 holds exactly, so both directions must agree exactly.
    const struct {
        double count;
        pix::CalendarTime time;
    } cases[] = {
        {0, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {1, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {2, At(1900, 1, 1, 0, 0, 0, 0, 1)},
        {60, At(1900, 2, 28, 0, 0, 0, 0, 3)},  // 1900 is no leap year
        {61, At(1900, 3, 1, 0, 0, 0, 0, 4)},
        {36526, At(2000, 1, 1, 0, 0, 0, 0, 6)},
        {43890, At(2020, 2, 29, 0, 0, 0, 0, 6)},
        {44551, At(2021, 12, 21, 0, 0, 0, 0, 2)},
        {44551.5, At(2021, 12, 21, 12, 0, 0, 0, 2)},
        {2958465.75, At(9999, 12, 31, 18, 0, 0, 0, 5)},
        {0.25, At(1899, 12, 30, 6, 0, 0, 0, 6)},
        // Before the epoch the fraction is still the time from that day's midnight.
        {-1, At(1899, 12, 29, 0, 0, 0, 0, 5)},
        {-1.25, At(1899, 12, 29, 6, 0, 0, 0, 5)},
        {-2.75, At(1899, 12, 28, 18, 0, 0, 0, 4)},
        {-36522, At(1800, 1, 1, 0, 0, 0, 0, 3)},
        {-657434.5, At(100, 1, 1, 12, 0, 0, 0, 5)},
    };
    for (const auto& c : cases) {
        EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(c.count), c.time) << c.count;
        EXPECT_EQ(pix::DayCountFromCalendar(c.time), c.count);
    }
}

TEST(DayCount, TheInitialDueDate) {
    const double initial = 44551 + 0.6749751273164293;
    EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(initial), At(2021, 12, 21, 16, 11, 57, 851, 2));
    // 16:11:57.851 back to a day count: the nearest binary64 or its neighbour.
    const double encoded = pix::DayCountFromCalendar(At(2021, 12, 21, 16, 11, 57, 851, 2));
    EXPECT_LE(std::fabs(encoded - initial), 1e-11) << encoded;
    EXPECT_EQ(std::trunc(encoded), 44551);
}

TEST(DayCount, ReadsTheTimeToTheNearestMillisecond) {
    const struct {
        double count;
        pix::CalendarTime time;
    } cases[] = {
        // -0.5 names day 0, the epoch, at noon: the same moment as 0.5.
        {-0.5, At(1899, 12, 30, 12, 0, 0, 0, 6)},
        {0.5, At(1899, 12, 30, 12, 0, 0, 0, 6)},
        {2958465.99999999, At(9999, 12, 31, 23, 59, 59, 999, 5)},
        // 24:00 of a day is the next calendar day, before the epoch too.
        {0.9999999999999, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {-1.9999999999999, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {-0.9999999999999, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {1.0 / 86400000 * 0.4, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {1.0 / 86400000 * 0.6, At(1899, 12, 30, 0, 0, 0, 1, 6)},
    };
    for (const auto& c : cases) EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(c.count), c.time) << c.count;
}

TEST(DayCount, EveryMillisecondOfADayComesBack) {
    // On both sides of the epoch, every 997th millisecond of a day (a step
    // that reaches every hour, minute and second field).
    for (const int day : {44551, 1, -1, -36522}) {
        for (int ms = 0; ms < 86400000; ms += 997) {
            pix::CalendarTime t = pix::CalendarFromDayCount(day);
            t.hour = ms / 3600000;
            t.minute = ms / 60000 % 60;
            t.second = ms / 1000 % 60;
            t.millisecond = ms % 1000;
            const pix::CalendarTime back = pix::CalendarFromDayCount(pix::DayCountFromCalendar(t));
            ASSERT_TRUE(pix::SameMoment(back, t)) << "day " << day << " ms " << ms;
        }
    }
}

}  // namespace
