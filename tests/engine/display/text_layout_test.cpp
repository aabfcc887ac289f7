// Where bitmap-font glyphs land, without GL.
#include "KTextLayout.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Digit 1 advances 10, digit 2 advances 12; 'A' appears twice (the first wins); 0xE9 is a
// character above 127.
KFont table[] = {
    {'1', 0, 0, 10, 16, 10, 16},
    {'2', 10, 0, 22, 16, 12, 16},
    {'A', 22, 0, 30, 16, 8, 16},
    {'A', 30, 0, 44, 16, 14, 16},
    {char(0xE9), 44, 0, 53, 16, 9, 16},
    {0, 0, 0, 0, 0, 0, 0},
};

using Placements = std::vector<std::pair<int32_t, int32_t>>;  // glyph index, pen x

Placements fromLeft(const char *text, int32_t x, int32_t spacing) {
    Placements p;
    KTextLayout::fromLeft(table, text, x, spacing, [&](int32_t i, int32_t pen) { p.emplace_back(i, pen); });
    return p;
}

Placements fromRight(const char *text, int32_t x, int32_t spacing) {
    Placements p;
    KTextLayout::fromRight(table, text, x, spacing, [&](int32_t i, int32_t pen) { p.emplace_back(i, pen); });
    return p;
}

}  // namespace

TEST(GlyphLookup, FirstRecordWinsAndTheEndMarkIsNeverFound) {
    EXPECT_EQ(KTextLayout::getCharIndex(table, '1'), 0);
    EXPECT_EQ(KTextLayout::getCharIndex(table, '2'), 1);
    EXPECT_EQ(KTextLayout::getCharIndex(table, 'A'), 2);
    EXPECT_EQ(KTextLayout::getCharIndex(table, char(0xE9)), 4);
    EXPECT_EQ(KTextLayout::getCharIndex(table, 'z'), -1);
    EXPECT_EQ(KTextLayout::getCharIndex(table, '\0'), -1);
    EXPECT_EQ(KTextLayout::getCharIndex(nullptr, '1'), -1);
    KFont empty[] = {{0, 0, 0, 10, 10, 10, 10}, {'1', 0, 0, 10, 10, 10, 10}};
    EXPECT_EQ(KTextLayout::getCharIndex(empty, '1'), -1);
}

TEST(TextWidth, AdvancesPlusSpacingAfterEveryGlyph) {
    EXPECT_EQ(KTextLayout::measure(table, "12", 2), 26);
    EXPECT_EQ(KTextLayout::measure(table, "1z2", 2), 26);
    EXPECT_EQ(KTextLayout::measure(table, "zz", 2), 0);
    EXPECT_EQ(KTextLayout::measure(table, "", 2), -1);
    EXPECT_EQ(KTextLayout::measure(table, nullptr, 2), -1);
    EXPECT_EQ(KTextLayout::measure(nullptr, "12", 2), -1);
    EXPECT_EQ(KTextLayout::measure(table, "11", -3), 14);
}

TEST(TextFromLeft, PenMovesByAdvanceAndSpacing) {
    EXPECT_EQ(fromLeft("12", 50, 2), (Placements{{0, 50}, {1, 62}}));
    // A missing character leaves no gap.
    EXPECT_EQ(fromLeft("1?2", 50, 2), (Placements{{0, 50}, {1, 62}}));
    EXPECT_EQ(fromLeft("A\xE9", 0, 0), (Placements{{2, 0}, {4, 8}}));
    EXPECT_TRUE(fromLeft("", 50, 2).empty());
}

TEST(TextFromRight, LastGlyphEndsSpacingBeforeX) {
    EXPECT_EQ(fromRight("1", 300, 3), (Placements{{0, 287}}));
    EXPECT_EQ(fromRight("12", 300, 2), (Placements{{1, 286}, {0, 274}}));
    EXPECT_EQ(fromRight("1?", 300, 3), (Placements{{0, 287}}));
    EXPECT_TRUE(fromRight("", 300, 3).empty());
}

TEST(TextCentred, DivisionRoundsTowardZero) {
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 40), 130);
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 41), 129);
    // Wider than the gap: starts left of x1.
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 121), 90);
    EXPECT_EQ(KTextLayout::centredStart(100, 200, 103), 99);
}
