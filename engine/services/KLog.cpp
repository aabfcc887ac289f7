#include "KLog.h"

namespace {
const char *const kChannelFileNames[KLog::CHANNEL_COUNT] = {
    "infos.log", "errors.log", "fatals.log", "debug.log"};
}

KLog::KLog(KLogFileType fileType)
    : _fileType(fileType),
      _channels{{false, nullptr}, {true, nullptr}, {true, nullptr}, {true, nullptr}} {
    if (_fileType != K_LOG_TO_FILES)
        return;
    for (int i = 0; i < CHANNEL_COUNT; i++)
        _channels[i].file = std::fopen(kChannelFileNames[i], "w");
}

KLog::~KLog() {
    for (Channel &channel : _channels) {
        if (channel.file)
            std::fclose(channel.file);
        channel.file = nullptr;
    }
}
