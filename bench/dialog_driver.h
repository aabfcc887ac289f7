#pragma once
// Drives the start-up dialog program (welcome_dialog_app) from outside,
// as a player would: real pointer clicks and key presses through xdotool on
// the X display of DISPLAY, reading what the program reports on its stdout.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "temp_dir.h"

extern char **environ;

// A folder that stands in for the installed game: the program, its data/ and a
// recording xdg-open in bin/.
class GameFolder {
public:
    explicit GameFolder(const std::string &program) {
        root = scratch.root();
        namespace fs = std::filesystem;
        fs::create_directories(root + "/data/help");
        fs::create_directories(root + "/bin");
        std::ofstream(root + "/data/help/index.html") << "<html><body>Help</body></html>\n";
        executable = root + "/" + fs::path(program).filename().string();
        fs::copy_file(program, executable);
        std::ofstream(root + "/bin/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << root << "/opened.txt'\n";
        fs::permissions(root + "/bin/xdg-open", fs::perms::owner_all);
    }
    GameFolder(const GameFolder &) = delete;
    GameFolder &operator=(const GameFolder &) = delete;

    std::vector<unsigned char> read(const std::string &relative) const {
        std::ifstream in(root + "/" + relative, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void write(const std::string &relative, const std::vector<unsigned char> &bytes) const {
        std::ofstream(root + "/" + relative, std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::string opened() const {
        std::string line;
        std::ifstream(root + "/opened.txt") >> line;
        return line;
    }

    TempDir scratch{"brolix-dialog"};
    std::string root, executable;
};

inline int shell(const std::string &command) { return std::system(command.c_str()); }

// Output of a shell command, without its last line end.
inline std::string capture(const std::string &command) {
    std::string output = commandOutput(command);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    return output;
}

// One run of the dialog program.
class DialogRun {
public:
    struct Rect {
        int x = 0, y = 0, w = 0, h = 0;
    };

    explicit DialogRun(const GameFolder &folder, bool withDisplay = true, const char *argument = nullptr) {
        int out[2];
        if (pipe(out) != 0)
            return;
        std::vector<std::string> env;
        for (char **e = environ; *e; e++) {
            std::string entry = *e;
            if (entry.rfind("PATH=", 0) == 0)
                entry = "PATH=" + folder.root + "/bin:" + entry.substr(5);
            if (withDisplay || (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0))
                env.push_back(entry);
        }
        std::vector<char *> envp;
        for (std::string &entry : env)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        char *argv[] = {const_cast<char *>(folder.executable.c_str()), const_cast<char *>(argument), nullptr};
        started_ = std::chrono::steady_clock::now();
        if (posix_spawn(&pid_, folder.executable.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        fd_ = out[0];
    }

    ~DialogRun() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    DialogRun(const DialogRun &) = delete;
    DialogRun &operator=(const DialogRun &) = delete;

    // Next line beginning with prefix, or "" when none came in time.
    std::string waitFor(const std::string &prefix, int milliseconds = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            size_t end;
            while ((end = buffer_.find('\n')) != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                remember(line);
                if (line.rfind(prefix, 0) == 0)
                    return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || fd_ < 0)
                return "";
            pollfd p = {fd_, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0)
                return "";
            char chunk[4096];
            ssize_t count = ::read(fd_, chunk, sizeof chunk);
            if (count <= 0)
                return "";
            buffer_.append(chunk, size_t(count));
        }
    }

    // Waits for the dialog; milliseconds from launch until it was on the screen, -1 if it never came.
    double waitShown() {
        if (waitFor("shown").empty())
            return -1;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_).count();
        waitFor("state");
        return ms;
    }

    void click(const Rect &r) {
        shell("xdotool mousemove " + std::to_string(r.x + r.w / 2) + " " + std::to_string(r.y + r.h / 2) +
              " click 1");
    }
    void click(int id) { click(controls[id]); }
    void key(const std::string &name) {
        shell("xdotool search --sync --name '^Welcome to Brolix !$' windowfocus --sync key " + name);
    }
    void screenshot(const std::string &file) { shell("import -window root '" + file + "'"); }

    bool running() {
        if (exited_)
            return false;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            exitStatus_ = status;
        }
        return !exited_;
    }
    void stop() {
        if (!exited_ && pid_ > 0)
            kill(pid_, SIGTERM);
    }
    int finish() {
        if (!exited_ && pid_ > 0) {
            waitpid(pid_, &exitStatus_, 0);
            exited_ = true;
        }
        return WIFEXITED(exitStatus_) ? WEXITSTATUS(exitStatus_) : -1;
    }

    std::string state;                   // last "state" line
    std::map<int, Rect> controls;        // by control id
    std::map<std::string, Rect> items;   // open list entries by text, spaces as '_'

private:
    void remember(const std::string &line) {
        std::istringstream in(line);
        std::string kind, name;
        in >> kind;
        Rect r;
        if (kind == "state")
            state = line;
        else if (kind == "control" && in >> name >> r.x >> r.y >> r.w >> r.h)
            controls[std::atoi(name.c_str())] = r;
        else if (kind == "item" && in >> name >> r.x >> r.y >> r.w >> r.h)
            items[name] = r;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    bool exited_ = false;
    int exitStatus_ = 0;
    std::string buffer_;
    std::chrono::steady_clock::time_point started_;
};
