// Where bitmap-font glyphs land, without GL.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "KTextLayout.h"

namespace {

// '1' advances 10, '2' 12; 'A' twice (the first wins); 0xE9 is above 127; then records
// past the end mark, which are never read.
KFont table[] = {{'1', 0, 0, 10, 16, 10, 16}, {'2', 10, 0, 22, 16, 12, 16}, {'A', 22, 0, 30, 16, 8, 16},
                 {'A', 30, 0, 44, 16, 14, 16}, {char(0xE9), 44, 0, 53, 16, 9, 16}, {0, 0, 0, 0, 0, 0, 0},
                 {'z', 0, 0, 5, 5, 5, 5}};

using Placements = std::vector<std::pair<int32_t, int32_t>>;  // glyph index, pen x

template <class Layout>
Placements placed(Layout layout, const char *text, int32_t x, int32_t spacing) {
    Placements p;
    layout(table, text, x, spacing, [&](int32_t i, int32_t pen) { p.emplace_back(i, pen); });
    return p;
}

TEST(TextLayout, PenWidthAndCentringRules) {
    auto fromLeft = KTextLayout::fromLeft<std::function<void(int32_t, int32_t)>>;
    auto fromRight = KTextLayout::fromRight<std::function<void(int32_t, int32_t)>>;
    EXPECT_EQ(placed(fromLeft, "1?2", 50, 2), (Placements{{0, 50}, {1, 62}}));  // a missing character leaves no gap
    EXPECT_EQ(placed(fromLeft, "A\xE9", 0, 0), (Placements{{2, 0}, {4, 8}}));
    EXPECT_EQ(placed(fromRight, "12", 300, 2), (Placements{{1, 286}, {0, 274}}));  // ends spacing before x
    EXPECT_EQ(placed(fromRight, "1z", 300, 3), (Placements{{0, 287}}));
    EXPECT_TRUE(placed(fromLeft, "", 50, 2).empty());
    EXPECT_TRUE(placed(fromRight, "", 50, 2).empty());

    EXPECT_EQ(KTextLayout::measure(table, "1z2", 2), 26);  // spacing after every glyph
    EXPECT_EQ(KTextLayout::measure(table, "11", -3), 14);
    EXPECT_EQ(KTextLayout::measure(table, "zz", 2), 0);
    EXPECT_EQ(KTextLayout::measure(table, "", 2), -1);
    EXPECT_EQ(KTextLayout::measure(table, nullptr, 2), -1);
    EXPECT_EQ(KTextLayout::measure(nullptr, "12", 2), -1);
    EXPECT_EQ(KTextLayout::getCharIndex(table, '\0'), -1);

    EXPECT_EQ(KTextLayout::centredStart(100, 200, 40), 130);
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 41), 129);  // rounds toward zero
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 121), 90);  // wider than the gap: starts left of x1
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 103), 99);
}

}  // namespace
