// Frame pacing: 500 empty frames through KWindow::flipBackBuffer, the period
// between them and what the waiting costs in CPU time.
// Needs a display: tests/tools/with_xvfb.sh build/bench/bench_pacing
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <GL/gl.h>

#include "KMiscTools.h"
#include "KWindow.h"

namespace {

double seconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double percentile(const std::vector<double> &sorted, double p) {
    size_t index = size_t(p / 100.0 * double(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

int main() {
    const int kFrames = 500;
    KWindow window;
    if (!window.createGameWindow(640, 480, 16, true, "Brolix pacing")) {
        std::fprintf(stderr, "bench_pacing: no GL window (is DISPLAY set?)\n");
        return 1;
    }
    std::printf("renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));

    for (int i = 0; i < 20; i++)   // settle
        KWindow::flipBackBuffer(true);

    std::vector<double> periods;
    periods.reserve(kFrames);
    double cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
    double wallStart = seconds(CLOCK_MONOTONIC);
    double previous = wallStart;
    for (int i = 0; i < kFrames; i++) {
        KWindow::flipBackBuffer(true);
        double now = seconds(CLOCK_MONOTONIC);
        periods.push_back((now - previous) * 1000.0);
        previous = now;
    }
    double wall = seconds(CLOCK_MONOTONIC) - wallStart;
    double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;

    std::sort(periods.begin(), periods.end());
    std::printf("frames: %d in %.3f s\n", kFrames, wall);
    std::printf("frame period ms: min %.3f  median %.3f  p99 %.3f  max %.3f\n", periods.front(),
                percentile(periods, 50), percentile(periods, 99), periods.back());
    std::printf("cpu: %.3f s = %.2f%% of one core over the wall time\n", cpu, 100.0 * cpu / wall);
    return 0;
}
