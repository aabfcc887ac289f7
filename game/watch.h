#pragma once
#include <string>

#include "record.h"

// A game record shown in the window as it was played, for a player to watch: nothing of
// it is scored, saved or sent.

extern bool watchingRecord;             // a record is being watched: no game earns a place

// Reads a record file strictly (rules version 1 too); false with the fault ("cannot be
// opened", "is not a regular file", "truncated header", "its game ended at frame ...").
bool loadRecordFile(const char *path, GameRecord &record, std::string &fault);
// Plays it at the game's pace until it ends; P pauses, Escape leaves.
void watchRecord(const GameRecord &record);
