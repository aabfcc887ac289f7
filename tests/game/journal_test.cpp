// A journal or record the game cannot bound is set aside by name: PLAY neither waits nor spins.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "game_home.h"
#include "journal.h"
#include "online.h"
#include "protocol.h"
#include "record.h"
#include "storage.h"
#include "watch.h"

namespace {

TEST(Journal, AFileTheGameCannotBoundIsSetAsideAtOnceAndAResumedGameKeepsItsTicket) {
    GameHome home;
    const std::string path = journalPath(modeFiveMinutes, 0), folder = path.substr(0, path.find_last_of('/'));
    RecordHeader header;
    header.mode = modeFiveMinutes;
    // The journal that made PLAY spin for hours: one input stamped at frame 0xFFFFFFFE.
    const std::string spinning = writeRecordHeader(header) + std::string("\xfe\xff\xff\xff\x0f\3\1", 7);
    const std::vector<std::pair<std::function<void()>, std::string>> files = {
        {[&] { std::ofstream(path, std::ios::binary) << spinning; },
         "frame 4294967294 is past the longest game of its mode (" + std::to_string(recordFrameCap(modeFiveMinutes)) + " frames)"},
        {[&] { std::ofstream(path).close(), std::filesystem::resize_file(path, 256u << 20); }, "is larger than any record"},
        {[&] { mkfifo(path.c_str(), 0600); }, "is not a regular file"},
        {[&] { std::filesystem::create_directory(path); }, "is not a regular file"}};
    for (const auto &[make, fault] : files) {
        std::filesystem::remove_all(folder);   // what the last one set aside
        makeFolders(folder);
        make();
        GameRecord record;
        std::string watched;
        EXPECT_FALSE(loadRecordFile(path.c_str(), record, watched));
        EXPECT_EQ(watched, fault);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(resumeJournal(modeFiveMinutes, 0));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path + ": " + fault + "; set aside as "), std::string::npos) << said;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    // A game killed on a seed ticket goes on with it, so its score still ranks; not on another seed's.
    const std::string resumed = journalPath(modeFiveMinutes, 1), ticketPath = resumed + ".ticket";
    const std::string ticket = protocol::Ticket{"brolix1dif1", 31337, 1700000000, std::string(64, 'b')}.text();
    for (const uint32_t seed : {31337u, 31338u}) {
        startGame(modeFiveMinutes, 1, seed);
        resumeTicket(ticket, seed);   // its own ticket for the first game only
        keepJournal();
        closeJournal(true);   // the program ends with the game in progress
        EXPECT_EQ(std::filesystem::exists(ticketPath), seed == 31337) << seed;
        if (seed != 31337) std::ofstream(ticketPath) << ticket;   // another game's, beside this journal
        resumeTicket("", 0);
        ASSERT_TRUE(resumeJournal(modeFiveMinutes, 1));
        EXPECT_EQ(gameTicket(), seed == 31337 ? ticket : "") << seed;
        closeJournal(false);
        EXPECT_FALSE(std::filesystem::exists(ticketPath) || std::filesystem::exists(resumed));
    }
}

}  // namespace
