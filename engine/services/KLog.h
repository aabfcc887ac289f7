#pragma once
#include <cstdint>
#include <cstdio>

// How a KLog keeps its channels: in four files in the working folder, or nowhere.
enum KLogFileType : uint8_t {
    K_LOG_TO_FILES = 1,   // infos.log, errors.log, fatals.log, debug.log
    K_LOG_NONE = 2,       // no file is opened
};

// The engine's log: four channels (information, errors, fatal errors, debug).
// Nothing writes to them; with K_LOG_TO_FILES the files are created empty.
class KLog {
public:
    explicit KLog(KLogFileType fileType);   // opens the four files for K_LOG_TO_FILES; a file that cannot be made stays closed
    ~KLog();                                // closes what the constructor opened
    KLog(const KLog &) = delete;
    KLog &operator=(const KLog &) = delete;

    struct Channel {
        bool enabled;
        FILE *file;
    };
    enum { INFO, ERRORS, FATALS, DEBUG, CHANNEL_COUNT };

    KLogFileType _fileType;
    Channel _channels[CHANNEL_COUNT];
};
