#include "pages.h"
#include "rules.h"

#include <gtest/gtest.h>

using namespace scored;

namespace {

Query submissionQuery(const std::string &name, const std::string &score, const std::string &game) {
    return {{"name", name}, {"score", score}, {"computer", "M"}, {"gamename", game}};
}

} // namespace

TEST(GameNames, EveryOnlineModeAndDifficultyIsKnown) {
    for (int mode = 0; mode < kModes; ++mode)
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty) {
            const std::string text = "brolix" + std::to_string(mode) + "dif" + std::to_string(difficulty);
            const auto game = parseGameName(text);
            ASSERT_TRUE(game) << text;
            EXPECT_EQ(game->mode, mode);
            EXPECT_EQ(game->difficulty, difficulty);
            EXPECT_EQ(game->name(), text);
            EXPECT_EQ(game->fewerIsBetter(), mode == 2);
        }
}

TEST(GameNames, RelaxOthersAndNearMissesAreRefused) {
    for (const std::string &text : std::vector<std::string>{"brolix3dif0", "brolix0dif3", "Brolix0dif0", "brolix0dif0 ", " brolix0dif0", "brolix00dif0",
          "brolix0dif", "brolix-1dif0", "brolix0Dif0", "", "brolix", std::string("brolix0dif0\0", 12),
          std::string("brolix0\0if0", 11)})
        EXPECT_FALSE(parseGameName(text)) << text;
}

TEST(PlayerNames, LowerCaseLettersAndSpacesUpToNineteen) {
    EXPECT_TRUE(isValidPlayerName("a"));
    EXPECT_TRUE(isValidPlayerName("bob the great"));
    EXPECT_TRUE(isValidPlayerName(std::string(19, 'z')));
    EXPECT_TRUE(isValidPlayerName(" x "));
    EXPECT_FALSE(isValidPlayerName(""));
    EXPECT_FALSE(isValidPlayerName(std::string(20, 'a')));
    for (const std::string &name : std::vector<std::string>{"Bob", "b0b", "bob\n", "bob'--", "<b>", "bob%20", "bob+x", "b\xc3\xa9",
                                   std::string("bob\0x", 5), "bob\t"})
        EXPECT_FALSE(isValidPlayerName(name)) << name;
}

TEST(Scores, DecimalDigitsWithinSigned32Bits) {
    EXPECT_EQ(parseScore("0"), 0);
    EXPECT_EQ(parseScore("007"), 7);
    EXPECT_EQ(parseScore("2147483647"), 2147483647);
    for (const std::string &text : std::vector<std::string>{"2147483648", "9999999999", "99999999999", "-1", "+1", "1e3", " 1", "1 ",
                                   "", "0x10", "1.0", "abc", std::string("1\0", 2)})
        EXPECT_FALSE(parseScore(text)) << text;
}

TEST(Questions, KeysMustBeExactlyTheTwo) {
    EXPECT_TRUE(checkQuestion({{"gamename", "brolix0dif1"}, {"submtdscore", "5"}}, false).value);
    const Checked<Question> missing = checkQuestion({{"gamename", "brolix0dif1"}}, false);
    EXPECT_FALSE(missing.value);
    EXPECT_EQ(missing.reason, "missing key: submtdscore");
    const Checked<Question> repeated =
        checkQuestion({{"gamename", "brolix0dif1"}, {"submtdscore", "5"}, {"submtdscore", "6"}}, false);
    EXPECT_EQ(repeated.reason, "repeated key: submtdscore");
    EXPECT_FALSE(checkQuestion({{"gamename", "brolix0dif1"}, {"submtdscore", "5"}, {"x", ""}}, false).value);
}

TEST(Questions, TimeRankedGamesTakeOnlyTheDescPath) {
    EXPECT_TRUE(checkQuestion({{"gamename", "brolix2dif0"}, {"submtdscore", "60"}}, true).value);
    EXPECT_FALSE(checkQuestion({{"gamename", "brolix2dif0"}, {"submtdscore", "60"}}, false).value);
    EXPECT_FALSE(checkQuestion({{"gamename", "brolix1dif0"}, {"submtdscore", "60"}}, true).value);
    // No game is won in zero seconds.
    EXPECT_FALSE(checkQuestion({{"gamename", "brolix2dif0"}, {"submtdscore", "0"}}, true).value);
    EXPECT_TRUE(checkQuestion({{"gamename", "brolix0dif0"}, {"submtdscore", "0"}}, false).value);
}

TEST(Submissions, ValidOneCarriesItsValues) {
    const Checked<Submission> s = checkSubmission(submissionQuery("ann", "1234", "brolix1dif2"), false);
    ASSERT_TRUE(s.value) << s.reason;
    EXPECT_EQ(s.value->name, "ann");
    EXPECT_EQ(s.value->score, 1234);
    EXPECT_EQ(s.value->game.mode, 1);
    EXPECT_EQ(s.value->game.difficulty, 2);
}

TEST(Submissions, EachBadFieldGivesAOneLineReason) {
    Query otherComputer = submissionQuery("ann", "1", "brolix0dif0");
    otherComputer.find("computer")->second = "m";
    Query missingComputer = submissionQuery("ann", "1", "brolix0dif0");
    missingComputer.erase("computer");
    const struct { Query query; bool desc; } bad[] = {
        {submissionQuery("Ann", "1", "brolix0dif0"), false},
        {submissionQuery("", "1", "brolix0dif0"), false},
        {submissionQuery("ann", "-1", "brolix0dif0"), false},
        {submissionQuery("ann", "1", "brolix3dif0"), false},
        {submissionQuery("ann", "0", "brolix2dif0"), true},
        {submissionQuery("ann", "5", "brolix2dif0"), false},
        {otherComputer, false},
        {missingComputer, false}};
    for (const auto &c : bad) {
        const Checked<Submission> s = checkSubmission(c.query, c.desc);
        EXPECT_FALSE(s.value);
        EXPECT_FALSE(s.reason.empty());
        EXPECT_EQ(s.reason.find('\n'), std::string::npos);
    }
}

TEST(Pages, DurationsReadAsHoursMinutesSeconds) {
    EXPECT_EQ(formatDuration(0), "00:00:00");
    EXPECT_EQ(formatDuration(3725), "01:02:05");
    EXPECT_EQ(formatDuration(9432), "02:37:12");
    EXPECT_EQ(formatDuration(359999), "99:59:59");
    EXPECT_EQ(formatDuration(360000), "100:00:00");
    EXPECT_EQ(formatDuration(2147483647), "596523:14:07");
}

TEST(Pages, DatesAreUtcDays) {
    EXPECT_EQ(formatDate(0), "1970-01-01");
    EXPECT_EQ(formatDate(1796601599), "2026-12-06");
}

TEST(Pages, MarkupInNamesIsEscaped) {
    EXPECT_EQ(escapeHtml("<a href=\"x\">'&'</a>"), "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    const std::string page = leaderboardPage({{Game{0, 0}, {{"<script>alert(1)</script>", 5, 0}}}});
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
}

TEST(Pages, LeaderboardHasOneTablePerBoardInPlaceOrder) {
    std::vector<Board> boards;
    for (int mode = 0; mode < kModes; ++mode)
        for (int difficulty = 0; difficulty < kDifficulties; ++difficulty)
            boards.push_back({Game{mode, difficulty}, {}});
    boards[7].entries = {{"quick", 3725, 0}, {"slow", 9432, 0}};
    const std::string page = leaderboardPage(boards);
    size_t tables = 0;
    for (size_t at = page.find("<table"); at != std::string::npos; at = page.find("<table", at + 1))
        ++tables;
    EXPECT_EQ(tables, 9u);
    EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
    const size_t quick = page.find("quick"), slow = page.find("slow");
    ASSERT_NE(quick, std::string::npos);
    EXPECT_LT(quick, slow);
    EXPECT_NE(page.find("01:02:05"), std::string::npos);
    EXPECT_NE(page.find("02:37:12"), std::string::npos);
    for (const char *title : {"Sixty seconds", "Five minutes", "Million"})
        EXPECT_NE(page.find(title), std::string::npos) << title;
}
