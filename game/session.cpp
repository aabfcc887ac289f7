#include "game.h"

uint32_t score = 0;
int32_t _unitScore = 1;
int32_t _realScore = 0;
int32_t _gameMode = 0;
char gameDescription[260] = "";
bool gameOver = false;
bool endPlay = false;
float gameOverFade = 0;
bool ghighscoreProcessed = false;
bool _onlineProcessed = false;
