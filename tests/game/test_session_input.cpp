// Board clicks, exchange requests, the stuck-board replacement and the three buttons.
#include "board_fixture.h"
#include "input_script.h"
#include "sounds.h"

namespace {

const int hintX = 220, hintY = 450;     // inside each button
const int newGameX = 120, newGameY = 450;
const int menuX = 300, menuY = 450;

int cellX(long x) { return int(boardLeft + cellPitch * x + 20); }
int cellY(long y) { return int(boardTop + cellPitch * y + 20); }

class SessionInput : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        inputScript::reset();
        oldButton = oldbt = false;
        endPlay = false;
        _realScore = 0;
        for (sHotSpot &spot : hotspots) spot.surface = nullptr;
    }

    // Colour 5 at (0, 0), (1, 0) and (2, 1): exchanging (2, 0) and (2, 1) completes row 0.
    static void makeOneMove() {
        setColor(0, 0, 5);
        setColor(1, 0, 5);
        setColor(2, 1, 5);
    }

    // One press and release at a screen point, with the board input of a frame for each.
    static void clickAt(int x, int y) {
        inputScript::pointAt(x, y);
        inputScript::setButton(true);
        doInput();
        inputScript::setButton(false);
        doInput();
    }
    static void clickCell(long x, long y) { clickAt(cellX(x), cellY(y)); }

    static void pressButtonAt(int x, int y) {
        inputScript::pointAt(x, y);
        inputScript::setButton(true);
        handleInterface();
        inputScript::setButton(false);
        handleInterface();
    }

    static int selectedCount() {
        int n = 0;
        for (const sToken &t : tokenTable) n += t.selected;
        return n;
    }

    // At rest with no clear just started (a clear starts at full opacity).
    static bool settled() { return atRest() && clearingCount() == 0; }

    // One frame of rules and board input in the game loop's order; true when the input saw rest.
    static bool inputFrame() {
        animateField();
        fallTokens();
        appearTokens();
        doSwapTokens();
        bool rest = atRest();
        doInput();
        checkForMatches();
        return rest;
    }

    static int playUntilSettled(int limit) {
        for (int frame = 1; frame <= limit; frame++) {
            inputFrame();
            if (settled()) return frame;
        }
        return limit + 1;
    }
};

TEST_F(SessionInput, ClickSelectsAndASecondClickDeselects) {
    makeOneMove();
    clickCell(5, 5);
    EXPECT_TRUE(tokenAt(5, 5).selected);
    EXPECT_EQ(soundLog::plays(snd_click), 1);
    clickCell(5, 5);
    EXPECT_FALSE(tokenAt(5, 5).selected);
    EXPECT_EQ(soundLog::plays(snd_click), 2);
}

TEST_F(SessionInput, CellsIncludeBothEdgesAndTheGapsBelongToNoCell) {
    makeOneMove();
    struct Point {
        int x, y;
        long cellX, cellY;  // -1: no cell
    };
    const Point points[] = {
        {71, 90, 0, 0},   {112, 131, 0, 0}, {113, 90, 1, 0},  {574, 425, 11, 7},
        {70, 90, -1, -1}, {71, 89, -1, -1}, {575, 425, -1, -1}, {574, 426, -1, -1}, {20, 20, -1, -1},
    };
    for (const Point &p : points) {
        clickAt(p.x, p.y);
        if (p.cellX < 0) {
            EXPECT_EQ(selectedCount(), 0) << p.x << "," << p.y;
        } else {
            EXPECT_EQ(selectedCount(), 1) << p.x << "," << p.y;
            EXPECT_TRUE(tokenAt(p.cellX, p.cellY).selected) << p.x << "," << p.y;
            clickAt(p.x, p.y);
        }
    }
    EXPECT_EQ(soundLog::plays(snd_click), 8) << "a click outside the board is silent";
}

TEST_F(SessionInput, AHeldButtonActsOnce) {
    makeOneMove();
    inputScript::pointAt(cellX(4), cellY(4));
    inputScript::setButton(true);
    for (int frame = 0; frame < 5; frame++) doInput();
    EXPECT_TRUE(tokenAt(4, 4).selected);
    EXPECT_EQ(soundLog::plays(snd_click), 1);
    inputScript::setButton(false);
    doInput();
    inputScript::setButton(true);
    doInput();
    EXPECT_FALSE(tokenAt(4, 4).selected);
}

TEST_F(SessionInput, APressHeldWhileTheBoardMovesActsWhenItComesToRest) {
    _gameMode = modeRelax;
    makeOneMove();
    startExchange(2, 0, 2, 1);
    inputScript::pointAt(cellX(8), cellY(6));
    inputScript::setButton(true);
    int firstRest = 0, acted = 0;
    for (int frame = 1; frame <= 400 && !acted; frame++) {
        if (inputFrame() && !firstRest) firstRest = frame;
        if (selectedCount()) acted = frame;
        if (!acted) {
            EXPECT_FALSE(oldButton) << "frame " << frame;
        }
    }
    EXPECT_GT(firstRest, 1);
    EXPECT_EQ(acted, firstRest);
    EXPECT_TRUE(tokenAt(8, 6).selected);
}

TEST_F(SessionInput, NothingIsTakenOnceTheGameIsOver) {
    makeOneMove();
    gameOver = true;
    clickCell(3, 3);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(soundLog::plays(snd_click), 0);
}

TEST_F(SessionInput, NeighboursThatMakeALineStartTheirExchange) {
    makeOneMove();
    clickCell(2, 1);
    clickCell(2, 0);
    const sToken &a = tokenAt(2, 0), &b = tokenAt(2, 1);
    EXPECT_EQ(a.speedX, 0);
    EXPECT_EQ(a.speedY, 7);
    EXPECT_EQ(b.speedY, -7);
    EXPECT_TRUE(a.beingSwapped && b.beingSwapped);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(soundLog::plays(snd_swap), 1);
    EXPECT_EQ(soundLog::plays(snd_nohint), 0);
    EXPECT_LT(playUntilSettled(400), 400);
    EXPECT_FALSE(boardHasLine());
}

TEST_F(SessionInput, TheExchangeSoundIsNotRestartedWhilePlaying) {
    makeOneMove();
    soundLog::setPlaying(snd_swap, true);
    clickCell(2, 0);
    clickCell(2, 1);
    EXPECT_EQ(soundLog::plays(snd_swap), 0);
    EXPECT_TRUE(tokenAt(2, 0).beingSwapped);
}

TEST_F(SessionInput, NeighboursWithoutALineAreRefusedOutsideRelax) {
    makeOneMove();
    clickCell(6, 3);
    clickCell(7, 3);
    EXPECT_EQ(soundLog::plays(snd_nohint), 1);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_FALSE(tokenAt(6, 3).beingSwapped);
    EXPECT_EQ(tokenAt(6, 3).speedX, 0);
}

TEST_F(SessionInput, RelaxExchangesAnyNeighboursAndTheyStayExchanged) {
    _gameMode = modeRelax;
    int left = baseColor(6, 3), right = baseColor(7, 3);
    ASSERT_NE(left, right);
    clickCell(6, 3);
    clickCell(7, 3);
    EXPECT_EQ(soundLog::plays(snd_nohint), 0);
    EXPECT_EQ(soundLog::plays(snd_swap), 1);
    EXPECT_LT(playUntilSettled(100), 100);
    EXPECT_EQ(tokenAt(6, 3).color, right);
    EXPECT_EQ(tokenAt(7, 3).color, left);
    EXPECT_EQ(aliveCount(), 96);
    EXPECT_EQ(score, 0u);
}

TEST_F(SessionInput, DiagonalAndDistantPairsAreOnlyDeselected) {
    // (2, 0) and (3, 1) would complete row 0, but they are not neighbours.
    makeOneMove();
    setColor(3, 1, 5);
    clickCell(3, 1);
    clickCell(2, 0);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(soundLog::plays(snd_nohint), 0) << "a line would form: refused silently";
    EXPECT_EQ(soundLog::plays(snd_swap), 0);
    EXPECT_FALSE(tokenAt(2, 0).beingSwapped);

    // Same colours far apart form nothing: the refusal sounds.
    ASSERT_EQ(baseColor(5, 0), baseColor(5, 5));
    clickCell(5, 0);
    clickCell(5, 5);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_EQ(soundLog::plays(snd_nohint), 1);
    EXPECT_FALSE(tokenAt(5, 0).beingSwapped);

    _gameMode = modeRelax;
    clickCell(8, 2);
    clickCell(9, 3);
    EXPECT_EQ(selectedCount(), 0);
    EXPECT_FALSE(tokenAt(8, 2).beingSwapped) << "relax allows any neighbours, not diagonals";
}

TEST_F(SessionInput, AStuckBoardIsDealtAgainWithABonusOutsideRelax) {
    score = 10;
    ASSERT_FALSE(isThereAPossibilityLeft());
    doInput();
    EXPECT_EQ(soundLog::plays(snd_zapattack), 1);
    EXPECT_EQ(zapAttack, 275.0f);
    EXPECT_EQ(score, 1010u);
    int unchanged = 0;
    for (long x = 0; x < boardColumns; x++)
        for (long y = 0; y < boardRows; y++) unchanged += tokenAt(x, y).color == baseColor(x, y);
    EXPECT_LT(unchanged, 60) << "a new board was dealt";
}

TEST_F(SessionInput, TheStuckBoardBonusIsFlatInTheMillionMode) {
    _gameMode = modeMillion;
    _unitScore = 100;
    doInput();
    EXPECT_EQ(score, 1000u);
}

TEST_F(SessionInput, RelaxKeepsAStuckBoard) {
    _gameMode = modeRelax;
    score = 10;
    doInput();
    EXPECT_EQ(soundLog::plays(snd_zapattack), 0);
    EXPECT_EQ(score, 10u);
    EXPECT_EQ(tokenAt(4, 4).color, baseColor(4, 4));
}

int pulsingCount() {
    int n = 0;
    for (const sToken &t : tokenTable) n += t.sinusSpeed != 0;
    return n;
}

TEST_F(SessionInput, AHintCostsFiftyPointsAndIsRefusedBelow) {
    makeOneMove();
    score = 49;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 49u);
    EXPECT_EQ(soundLog::plays(snd_nohint), 1);
    EXPECT_EQ(pulsingCount(), 0);

    score = 50;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(soundLog::plays(snd_hint), 1);
    EXPECT_EQ(pulsingCount(), 1);
}

TEST_F(SessionInput, AHintCostsFiveThousandInTheMillionMode) {
    makeOneMove();
    _gameMode = modeMillion;
    _unitScore = 100;
    score = 4999;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 4999u);
    score = 5000;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 0u);
}

TEST_F(SessionInput, AHintIsChargedEvenWithoutAMove) {
    score = 60;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 10u);
    EXPECT_EQ(soundLog::plays(snd_hint), 1);
    EXPECT_EQ(pulsingCount(), 0);
}

TEST_F(SessionInput, HintsAreFreeInRelaxAndNoneAfterTheEnd) {
    makeOneMove();
    _gameMode = modeRelax;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 0u);
    EXPECT_EQ(soundLog::plays(snd_hint), 1);
    EXPECT_EQ(pulsingCount(), 1);

    gameOver = true;
    _gameMode = modeSixtySeconds;
    score = 500;
    pressButtonAt(hintX, hintY);
    EXPECT_EQ(score, 500u);
    EXPECT_EQ(soundLog::plays(snd_hint) + soundLog::plays(snd_nohint), 1);
}

TEST_F(SessionInput, AHeldButtonActsOnceAndAPressDraggedOntoOneActs) {
    makeOneMove();
    score = 500;
    inputScript::pointAt(hintX, hintY);
    inputScript::setButton(true);
    for (int frame = 0; frame < 4; frame++) handleInterface();
    EXPECT_EQ(score, 450u);
    inputScript::setButton(false);
    handleInterface();

    // Pressed beside the buttons, then moved onto one with the button held.
    inputScript::pointAt(400, 300);
    inputScript::setButton(true);
    handleInterface();
    inputScript::pointAt(hintX, hintY);
    handleInterface();
    EXPECT_EQ(score, 400u);

    // Released away from the buttons: the release is not seen until the pointer is back.
    inputScript::pointAt(400, 300);
    inputScript::setButton(false);
    handleInterface();
    inputScript::pointAt(hintX, hintY);
    inputScript::setButton(true);
    handleInterface();
    EXPECT_EQ(score, 400u);
}

TEST_F(SessionInput, NewGameDealsAFreshBoardAndWaitsForTheRelease) {
    _gameMode = modeSixtySeconds;
    score = 500;
    gameOver = true;
    resetTimer(modeFiveMinutes);
    inputScript::pointAt(newGameX, newGameY);
    inputScript::setButton(true);
    inputScript::releaseButtonAfterReads(6);
    handleInterface();
    EXPECT_EQ(score, 0u);
    EXPECT_FALSE(gameOver);
    EXPECT_EQ(gameTimer, 60);
    EXPECT_EQ(soundLog::plays(snd_click), 1);
    EXPECT_EQ(inputScript::buttonReads(), 7) << "six reads held, then the release";
}

TEST_F(SessionInput, MenuEndsTheSessionButFirstTheGameInRelax) {
    pressButtonAt(menuX, menuY);
    EXPECT_TRUE(endPlay);
    EXPECT_FALSE(gameOver);

    endPlay = false;
    _gameMode = modeRelax;
    pressButtonAt(menuX, menuY);
    EXPECT_TRUE(gameOver);
    EXPECT_FALSE(endPlay);
    pressButtonAt(menuX, menuY);
    EXPECT_TRUE(endPlay);
}

TEST_F(SessionInput, ButtonsIgnoreTheGapsBetweenThem) {
    score = 500;
    for (int x : {69, 171, 199, 248, 264, 331}) pressButtonAt(x, 450);
    for (int y : {437, 466}) pressButtonAt(hintX, y);
    EXPECT_EQ(score, 500u);
    EXPECT_FALSE(endPlay);
    EXPECT_EQ(soundLog::plays(snd_click), 0);
    pressButtonAt(200, 438);
    pressButtonAt(247, 465);
    EXPECT_EQ(score, 400u) << "edges belong to the button";
}

}  // namespace
