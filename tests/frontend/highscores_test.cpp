#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "../app/temp_home.h"
#include "game.h"
#include "highscores.h"
#include "online.h"
#include "prefs.h"

namespace {

const std::vector<uint32_t> kBuiltIn[4] = {
    {600, 450, 350, 300, 200, 100, 30, 20, 10},
    {300, 200, 100, 300, 200, 100, 300, 200, 100},
    {9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697},
    {250, 200, 100, 300, 200, 100, 300, 200, 80},
};
const std::vector<uint32_t> kFactory[4] = {
    {600, 450, 400, 350, 300, 200, 100, 90, 50},
    {3000, 2000, 1000, 3000, 2000, 1000, 3000, 2000, 1000},
    {9432, 12610, 15697, 9432, 12610, 15697, 9432, 12610, 15697},
    {300, 200, 100, 300, 200, 100, 300, 200, 100},
};
const sHighScores *const kFactoryTables[4] = {&bscore60sec, &bscore5Min, &bscoreMillion, &bscoreRelax};

std::vector<uint32_t> scoresOf(const sHighScores &table) {
    std::vector<uint32_t> scores;
    for (const sHighEntry &entry : table.players) scores.push_back(entry.score);
    return scores;
}

std::vector<unsigned char> imageOf(const sHighScores &table) {
    const unsigned char *raw = reinterpret_cast<const unsigned char *>(&table);
    return {raw, raw + sizeof table};
}

// Every test starts from the built-in tables, a fresh game and the default prefs.
class HighScores : public ::testing::Test {
protected:
    void SetUp() override {
        for (int mode = 0; mode < 4; mode++) {
            saved_[mode] = *highScoreTable(mode);
            for (int row = 0; row < 9; row++) highScoreTable(mode)->players[row].score = kBuiltIn[mode][row];
        }
        prefs = sPrefs();
        gOnlineScores = false;
        ghighscoreProcessed = false;
        endGame(0, 0, 0);
    }
    void TearDown() override {
        for (int mode = 0; mode < 4; mode++) *highScoreTable(mode) = saved_[mode];
    }

    static void endGame(int32_t mode, int32_t difficulty, int32_t result) {
        _gameMode = mode;
        prefs.difficulty = difficulty;
        _realScore = result;
        std::snprintf(gameDescription, sizeof gameDescription, "brolix%ddif%d", mode, difficulty);
    }

    static const sHighEntry &row(int mode, int index) { return highScoreTable(mode)->players[index]; }

    TempHome home;
    sHighScores saved_[4];
};

TEST_F(HighScores, BuiltInAndFactoryTablesHoldTheirValues) {
    for (int mode = 0; mode < 4; mode++) {
        EXPECT_EQ(scoresOf(*highScoreTable(mode)), kBuiltIn[mode]) << "mode " << mode;
        EXPECT_EQ(scoresOf(*kFactoryTables[mode]), kFactory[mode]) << "mode " << mode;
    }
}

TEST_F(HighScores, PlaceholderNamesAreShortLowerCaseAndShared) {
    std::set<std::string> names;
    for (int mode = 0; mode < 4; mode++) {
        for (int index = 0; index < 9; index++) {
            const std::string name = row(mode, index).name;
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), 12u) << name;
            EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz "), std::string::npos) << name;
            EXPECT_EQ(name, kFactoryTables[mode]->players[index].name);
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 36u);
}

TEST_F(HighScores, NoFilesKeepTheBuiltInTables) {
    loadHighScores();
    EXPECT_EQ(scoresOf(score60sec), kBuiltIn[0]);
    EXPECT_EQ(row(0, 0).score, 600u);
    EXPECT_EQ(row(0, 1).score, 450u);
    EXPECT_EQ(row(0, 2).score, 350u);
}

TEST_F(HighScores, SavedFilesAreExactly324ByteImages) {
    saveHighScores();
    for (int mode = 0; mode < 4; mode++) {
        const std::vector<unsigned char> file = home.read(highScoreFileName(mode));
        EXPECT_EQ(file.size(), 324u);
        EXPECT_EQ(file, imageOf(*highScoreTable(mode)));
    }
    // Record 1 of the sixty-seconds file: name at byte 36, score 450 little-endian at byte 68.
    const std::vector<unsigned char> file = home.read("data/s60");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&file[36])), score60sec.players[1].name);
    EXPECT_EQ(std::vector<unsigned char>(file.begin() + 68, file.begin() + 72), (std::vector<unsigned char>{0xc2, 1, 0, 0}));
}

TEST_F(HighScores, EachFileLoadsIntoItsOwnTable) {
    for (int mode = 0; mode < 4; mode++) {
        sHighScores table = *highScoreTable(mode);
        for (int index = 0; index < 9; index++) table.players[index].score = 1000 * (mode + 1) + index;
        home.write(highScoreFileName(mode), &table, sizeof table);
    }
    loadHighScores();
    for (int mode = 0; mode < 4; mode++)
        for (int index = 0; index < 9; index++)
            EXPECT_EQ(row(mode, index).score, 1000u * (mode + 1) + index) << "mode " << mode << " row " << index;
}

TEST_F(HighScores, ShortFileReplacesOnlyItsLeadingBytes) {
    sHighEntry first = {};
    std::strcpy(first.name, "short file");
    first.score = 77;
    std::vector<unsigned char> data(reinterpret_cast<unsigned char *>(&first), reinterpret_cast<unsigned char *>(&first) + 36);
    data.insert(data.end(), {'z', 'o', 'e'});
    home.write("data/s5mn", data.data(), data.size());
    const std::string secondTail = row(1, 1).name + 3;
    loadHighScores();
    EXPECT_STREQ(row(1, 0).name, "short file");
    EXPECT_EQ(row(1, 0).score, 77u);
    EXPECT_EQ(std::string(row(1, 1).name), "zoe" + secondTail);
    EXPECT_EQ(row(1, 1).score, 200u);
    for (int index = 2; index < 9; index++) EXPECT_EQ(row(1, index).score, kBuiltIn[1][index]);
}

TEST_F(HighScores, LongerFileIsReadForItsFirst324Bytes) {
    std::vector<unsigned char> data = imageOf(bscore5Min);
    data.resize(400, 0xee);
    home.write("data/s5mn", data.data(), data.size());
    loadHighScores();
    EXPECT_EQ(scoresOf(score5Min), kFactory[1]);
}

TEST_F(HighScores, NameWithoutNulIsReadAs31Characters) {
    sHighScores table = score60sec;
    std::memset(table.players[4].name, 'q', sizeof table.players[4].name);
    home.write("data/s60", &table, sizeof table);
    loadHighScores();
    EXPECT_EQ(std::string(row(0, 4).name), std::string(31, 'q'));
    EXPECT_EQ(row(0, 4).score, table.players[4].score);
}

TEST_F(HighScores, EqualIsNotEnoughAndOneMoreLandsThird) {
    endGame(0, 1, 100);
    EXPECT_FALSE(isHighScore());
    endGame(0, 1, 101);
    EXPECT_TRUE(isHighScore());
    transferHighScore("newcomer");
    EXPECT_EQ(scoresOf(score60sec), (std::vector<uint32_t>{600, 450, 350, 300, 200, 101, 30, 20, 10}));
    EXPECT_STREQ(row(0, 5).name, "newcomer");
    EXPECT_STREQ(row(0, 4).name, bscore60sec.players[4].name);
}

TEST_F(HighScores, SecondPlacePushesOnlyTheThird) {
    endGame(3, 2, 250);
    ASSERT_TRUE(isHighScore());
    const std::string oldSecond = row(3, 7).name;
    transferHighScore("relaxed");
    EXPECT_EQ(scoresOf(scoreRelax), (std::vector<uint32_t>{250, 200, 100, 300, 200, 100, 300, 250, 200}));
    EXPECT_STREQ(row(3, 7).name, "relaxed");
    EXPECT_EQ(row(3, 8).name, oldSecond);
}

TEST_F(HighScores, FasterMillionTimeWinsAndShiftsTheBlock) {
    endGame(2, 0, 15697);
    EXPECT_FALSE(isHighScore()) << "equal to the third place";
    endGame(2, 0, 9431);
    ASSERT_TRUE(isHighScore());
    const std::string oldFirst = row(2, 0).name, oldSecond = row(2, 1).name;
    transferHighScore("speedy");
    EXPECT_EQ(scoresOf(scoreMillion), (std::vector<uint32_t>{9431, 9432, 12610, 9432, 12610, 15697, 9432, 12610, 15697}));
    EXPECT_STREQ(row(2, 0).name, "speedy");
    EXPECT_EQ(row(2, 1).name, oldFirst);
    EXPECT_EQ(row(2, 2).name, oldSecond);
}

TEST_F(HighScores, ResultsNeverTouchOtherBlocksOrTables) {
    const sHighScores before[4] = {score60sec, score5Min, scoreMillion, scoreRelax};
    endGame(1, 2, 5000);
    transferHighScore("top");
    EXPECT_EQ(scoresOf(score5Min), (std::vector<uint32_t>{300, 200, 100, 300, 200, 100, 5000, 300, 200}));
    for (int index = 0; index < 6; index++)
        EXPECT_EQ(std::memcmp(&row(1, index), &before[1].players[index], sizeof(sHighEntry)), 0) << "row " << index;
    for (int mode : {0, 2, 3}) EXPECT_EQ(imageOf(*highScoreTable(mode)), imageOf(before[mode])) << "mode " << mode;
}

TEST_F(HighScores, ComparisonIsUnsigned) {
    endGame(0, 0, -1);
    EXPECT_TRUE(isHighScore()) << "the result reads as 4294967295 points";
    endGame(2, 0, -1);
    EXPECT_FALSE(isHighScore()) << "and as the slowest possible million time";
}

TEST_F(HighScores, HandledGameOrUnknownModeIsNoHighScore) {
    endGame(0, 0, 100000);
    ghighscoreProcessed = true;
    EXPECT_FALSE(isHighScore());
    ghighscoreProcessed = false;
    endGame(4, 0, 100000);
    EXPECT_FALSE(isHighScore());
    endGame(-1, 0, 100000);
    EXPECT_FALSE(isHighScore());
}

TEST_F(HighScores, OutOfRangeDifficultyEntersNothing) {
    const sHighScores before = score60sec;
    endGame(0, 3, 100000);
    EXPECT_FALSE(isHighScore());
    transferHighScore("nobody");
    endGame(0, -1, 100000);
    EXPECT_FALSE(isHighScore());
    transferHighScore("nobody");
    EXPECT_EQ(imageOf(score60sec), imageOf(before));
}

TEST_F(HighScores, NewEntryIsSavedToItsFileAtOnce) {
    endGame(3, 1, 1000);
    transferHighScore("kept");
    ASSERT_TRUE(home.exists("data/srelx"));
    EXPECT_EQ(home.read("data/srelx"), imageOf(scoreRelax));
    EXPECT_FALSE(home.exists("data/s60"));
    EXPECT_FALSE(home.exists("data/s5mn"));
    EXPECT_FALSE(home.exists("data/smil"));
}

TEST_F(HighScores, ResultBeatingNoRowChangesNothing) {
    const sHighScores before = score5Min;
    endGame(1, 0, 50);
    transferHighScore("server only");
    EXPECT_EQ(imageOf(score5Min), imageOf(before));
    EXPECT_FALSE(home.exists("data/s5mn"));
}

TEST_F(HighScores, NamesAreStoredAsStringsAndCutToFit) {
    endGame(0, 0, 1000);
    transferHighScore("");
    EXPECT_STREQ(row(0, 0).name, "");
    endGame(0, 0, 2000);
    const std::string longName(40, 'w');
    transferHighScore(longName.c_str());
    EXPECT_EQ(std::string(row(0, 0).name), std::string(31, 'w'));
    EXPECT_STREQ(row(0, 1).name, "");
}

TEST_F(HighScores, ResetBringsTheFactoryTablesButNotTheFiles) {
    saveHighScores();
    const std::vector<unsigned char> fileBefore = home.read("data/s5mn");
    resetScores();
    for (int mode = 0; mode < 4; mode++) EXPECT_EQ(imageOf(*highScoreTable(mode)), imageOf(*kFactoryTables[mode]));
    EXPECT_EQ(scoresOf(score5Min), (std::vector<uint32_t>{3000, 2000, 1000, 3000, 2000, 1000, 3000, 2000, 1000}));
    EXPECT_EQ(home.read("data/s5mn"), fileBefore);
}

TEST(HighScoreTimes, SplitIntoHoursMinutesSeconds) {
    const struct { int32_t seconds, hours, minutes, rest; } cases[] = {
        {0, 0, 0, 0}, {59, 0, 0, 59}, {3600, 1, 0, 0}, {9432, 2, 37, 12}, {12610, 3, 30, 10},
        {15697, 4, 21, 37}, {360000, 100, 0, 0}, {-61, 0, -1, -1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(getHours(c.seconds), c.hours) << c.seconds;
        EXPECT_EQ(getMinutes(c.seconds), c.minutes) << c.seconds;
        EXPECT_EQ(getSeconds(c.seconds), c.rest) << c.seconds;
    }
}

TEST(HighScoreTimes, MillionTabShowsClockTimesOthersShowPoints) {
    char text[60];
    const struct { int32_t tab; uint32_t score; const char *shown; } cases[] = {
        {2, 3600, "01:00:00"}, {2, 360000, "100:00:00"}, {2, 9432, "02:37:12"}, {2, 15697, "04:21:37"},
        {0, 600, "600"}, {1, 3000, "3000"}, {3, 3600, "3600"},
    };
    for (const auto &c : cases) {
        formatHighScore(c.tab, c.score, text, sizeof text);
        EXPECT_STREQ(text, c.shown);
    }
}

TEST(HighScoreTabs, StoredTabIsClampedSoSevenShowsRelax) {
    const struct { int32_t stored, shown; } cases[] = {{7, 3}, {4, 3}, {-2, 0}, {0, 0}, {3, 3}, {2, 2}};
    for (const auto &c : cases) {
        prefs.scoretab = c.stored;
        clampScoreTab();
        EXPECT_EQ(prefs.scoretab, c.shown);
    }
    prefs.scoretab = 7;
    clampScoreTab();
    EXPECT_EQ(highScoreTable(prefs.scoretab), &scoreRelax);
    prefs = sPrefs();
}

} // namespace
