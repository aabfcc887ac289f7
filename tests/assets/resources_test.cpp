// The pictures compiled into the executable: skin previews and window icon.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "brolix_resources.h"

namespace {

constexpr int previewBytes = brolix_preview_width * brolix_preview_height * 3;

int spread(const unsigned char* p, int count, int stride, int channel) {
    int lo = 255, hi = 0;
    for (int i = 0; i < count; ++i) {
        const int v = p[i * stride + channel];
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    return hi - lo;
}

long meanDifference(const unsigned char* a, const unsigned char* b, int bytes) {
    long sum = 0;
    for (int i = 0; i < bytes; ++i) sum += std::abs(a[i] - b[i]);
    return sum / bytes;
}

TEST(SkinPreviews, SizeMatchesTheDialogPictures) {
    EXPECT_EQ(brolix_preview_width, 160);
    EXPECT_EQ(brolix_preview_height, 120);
    EXPECT_EQ(brolix_preview_count, 3);
    EXPECT_EQ(sizeof brolix_skin_previews[0], static_cast<size_t>(previewBytes));
}

TEST(SkinPreviews, EachShowsAPictureAndTheyDiffer) {
    const int pixels = brolix_preview_width * brolix_preview_height;
    for (int s = 0; s < brolix_preview_count; ++s) {
        for (int c = 0; c < 3; ++c) EXPECT_GT(spread(brolix_skin_previews[s], pixels, 3, c), 100) << s;
    }
    for (int a = 0; a < brolix_preview_count; ++a) {
        for (int b = a + 1; b < brolix_preview_count; ++b) {
            EXPECT_GT(meanDifference(brolix_skin_previews[a], brolix_skin_previews[b], previewBytes), 15)
                << "previews " << a << " and " << b << " look alike";
        }
    }
}

TEST(WindowIcon, OpaqueMiddleSeeThroughCorners) {
    ASSERT_EQ(brolix_icon_width, 64);
    ASSERT_EQ(brolix_icon_height, 64);
    auto alpha = [](int x, int y) { return brolix_icon_rgba[(y * brolix_icon_width + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(63, 63), 0);
    EXPECT_EQ(alpha(32, 32), 255);
    std::set<int> reds;
    for (int i = 0; i < brolix_icon_width * brolix_icon_height; ++i) reds.insert(brolix_icon_rgba[i * 4]);
    EXPECT_GT(reds.size(), 20u) << "icon is nearly flat";
}

}  // namespace
