// The server-wait picture: on screen, in the lower right corner, while the score
// server is being asked. The scripted server photographs the X screen from its
// own thread while the game waits for the reply.
#include "KGraphic.h"
#include "game.h"
#include "gl_test_window.h"
#include "loopback_http.h"
#include "online.h"
#include "picture_files.h"
#include "x11_probe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const int kW = 40, kH = 30;       // picture size
const int kBorder = 4;            // green frame inside the picture; red inside it
const int kShade = 204;           // 255 at alpha 0.8 over black

// kW x kH, 32 bits, bottom row first: a green frame kBorder wide around red.
std::vector<unsigned char> framedPicture() {
    std::vector<unsigned char> pixels;
    for (int row = kH - 1; row >= 0; --row)
        for (int x = 0; x < kW; ++x) {
            const bool frame = x < kBorder || row < kBorder || x >= kW - kBorder || row >= kH - kBorder;
            pixels.insert(pixels.end(), {0, uint8_t(frame ? 255 : 0), uint8_t(frame ? 0 : 255), 255});
        }
    return picfiles::tgaBytes(kW, kH, 32, pixels);
}

// The game window's 640 x 480 pixels as the X screen showed them, RGB rows top first.
class ScreenShot {
public:
    bool take(const std::string &png, const x11probe::Geometry &window) {
        const std::string command = "import -window root " + png + " && " + picfiles::convertTool() + " " + png +
                                    " -crop 640x480+" + std::to_string(window.x) + "+" + std::to_string(window.y) +
                                    " +repage -depth 8 rgb:-";
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe)
            return false;
        _rgb.assign(640 * 480 * 3, 0);
        const size_t got = fread(_rgb.data(), 1, _rgb.size(), pipe);
        pclose(pipe);
        return got == _rgb.size();
    }
    gltest::Rgb at(int x, int y) const {
        const size_t i = (size_t(y) * 640 + size_t(x)) * 3;
        return {_rgb[i], _rgb[i + 1], _rgb[i + 2]};
    }

private:
    std::vector<unsigned char> _rgb;
};

bool near(const gltest::Rgb &c, int r, int g, int b) {
    return std::abs(c.r - r) <= 12 && std::abs(c.g - g) <= 12 && std::abs(c.b - b) <= 12;
}

class ServerWaitPicture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::openWindow());
        window = x11probe::geometryOf(x11probe::windowOf(KWindow::getWindow()));
        ASSERT_TRUE(window.viewable);
        picfiles::writeFile(files.file("internet.tga"), framedPicture());
        surf_internet = new KGraphic;
        ASSERT_TRUE(surf_internet->loadPicture(files.file("internet.tga").c_str(), true, false, true));
        http.server().Get(R"(/scoring/.*)", [this](const httplib::Request &, httplib::Response &rs) {
            shotTaken = shot.take(files.file("shot.png"), window);
            rs.set_content("yes", "text/plain");
        });
        ASSERT_TRUE(http.start());
        host = http.host();
        scoreServerHost = host.c_str();
        gOnlineScores = true;
        KGraphic::setDefaultWorldView();
        gltest::clearBack(0, 0, 0);
    }
    void TearDown() override {
        delete surf_internet;
        surf_internet = nullptr;
        gOnlineScores = false;
        scoreServerHost = savedHost;
    }
    void newGame(int32_t mode) {
        _gameMode = mode;
        _realScore = 100;
        std::snprintf(gameDescription, sizeof gameDescription, "brolix%ddif1", mode);
        _onlineProcessed = false;
    }

    const char *savedHost = scoreServerHost;
    picfiles::TempDir files;
    x11probe::Geometry window;
    LoopbackHttp http;
    std::string host;
    ScreenShot shot;
    bool shotTaken = false;
};

} // namespace

TEST_F(ServerWaitPicture, QuestionShowsTheWholePictureInTheCorner) {
    newGame(0);
    ASSERT_TRUE(isOnlineScore(gameDescription));
    ASSERT_TRUE(shotTaken);
    const int left = 640 - kW, top = 480 - kH;
    EXPECT_TRUE(near(shot.at(left, top), 0, kShade, 0)) << shot.at(left, top);           // the frame's corner
    EXPECT_TRUE(near(shot.at(639, 479), 0, kShade, 0)) << shot.at(639, 479);
    EXPECT_TRUE(near(shot.at(left + kW / 2, top + kH / 2), kShade, 0, 0)) << shot.at(left + kW / 2, top + kH / 2);
    EXPECT_TRUE(near(shot.at(left - 1, top - 1), 0, 0, 0)) << shot.at(left - 1, top - 1);
    EXPECT_TRUE(near(shot.at(10, 10), 0, 0, 0)) << shot.at(10, 10);
}

TEST_F(ServerWaitPicture, SubmissionShowsThePictureInsetFromTheSamePlace) {
    newGame(1);
    submitOnlineScore("ann", gameDescription);
    ASSERT_TRUE(shotTaken);
    // Source (4, 4) to (W - 4, H - 8) lands at (640 - W, 480 - H): only the red inside
    // of the frame shows, and the picture stops short of the screen's corner.
    const int left = 640 - kW, top = 480 - kH, shownW = kW - 8, shownH = kH - 12;
    EXPECT_TRUE(near(shot.at(left, top), kShade, 0, 0)) << shot.at(left, top);
    EXPECT_TRUE(near(shot.at(left + shownW - 1, top + shownH - 1), kShade, 0, 0))
        << shot.at(left + shownW - 1, top + shownH - 1);
    EXPECT_TRUE(near(shot.at(left + shownW, top + 5), 0, 0, 0)) << shot.at(left + shownW, top + 5);
    EXPECT_TRUE(near(shot.at(left + 5, top + shownH), 0, 0, 0)) << shot.at(left + 5, top + shownH);
    EXPECT_TRUE(near(shot.at(639, 479), 0, 0, 0)) << shot.at(639, 479);
}

TEST_F(ServerWaitPicture, RelaxGamesShowNothing) {
    KWindow::flipBackBuffer(true); // a black screen
    newGame(3);
    EXPECT_FALSE(isOnlineScore(gameDescription));
    submitOnlineScore("ann", gameDescription);
    EXPECT_EQ(http.requests(), 0);
    ASSERT_TRUE(shot.take(files.file("shot.png"), window));
    EXPECT_TRUE(near(shot.at(639, 479), 0, 0, 0)) << shot.at(639, 479);
    EXPECT_TRUE(near(shot.at(640 - kW / 2, 480 - kH / 2), 0, 0, 0)) << shot.at(640 - kW / 2, 480 - kH / 2);
}
