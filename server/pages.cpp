#include "pages.h"

#include <cstdio>
#include <ctime>

namespace scored {

namespace {

const char *const kModeTitles[] = {"Sixty seconds", "Five minutes", "Million"};
const char *const kDifficultyTitles[] = {"Easy", "Normal", "Hard"};

const char *const kStyle = R"(<style>
:root { color-scheme: light dark; --accent: #b0306a; }
body { font-family: system-ui, "DejaVu Sans", sans-serif; margin: 0 auto; padding: 1rem;
       max-width: 64rem; line-height: 1.4; }
h1 { color: var(--accent); margin: 0.2rem 0 1rem; }
h2 { border-bottom: 2px solid var(--accent); padding-bottom: 0.2rem; }
.grid { display: grid; gap: 1rem; grid-template-columns: repeat(auto-fit, minmax(16rem, 1fr)); }
table { width: 100%; border-collapse: collapse; font-size: 1rem; table-layout: fixed; }
th:nth-child(1) { width: 2rem; } th:nth-child(3) { width: 5.5rem; } th:nth-child(4) { width: 6.5rem; }
th:nth-child(5) { width: 4rem; }
td { overflow-wrap: anywhere; }
p.lead { margin-top: -0.5rem; color: #888; }
caption { text-align: left; font-weight: bold; padding: 0.3rem 0; }
th, td { padding: 0.35rem 0.4rem; text-align: left; border-bottom: 1px solid #8884; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
td.empty, .unverified { color: #888; font-style: italic; }
code, pre { background: #8882; padding: 0.1rem 0.3rem; border-radius: 4px; }
pre { padding: 0.6rem; overflow-x: auto; }
</style>)";

std::string pageHead(const std::string &title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + escapeHtml(title) + "</title>\n" + kStyle + "\n</head>\n<body>\n";
}

std::string resultText(const Game &game, int32_t score) {
    return game.fewerIsBetter() ? formatDuration(score) : std::to_string(score);
}

// A verified score's record, to watch with the game; a score sent without one says so.
std::string recordLink(const Entry &entry) {
    if (!entry.verified)
        return "<span class=\"unverified\">unverified</span>";
    return "<a href=\"/scoring/record.php?id=" + std::to_string(entry.id) + "\" download=\"brolix-" +
           std::to_string(entry.id) + ".brxr\">record</a>" + (entry.ranked ? "" : " <span class=\"unverified\">*</span>");
}

std::string boardTable(const Board &board) {
    std::string html = "<table>\n<caption>" + std::string(kDifficultyTitles[board.game.difficulty]) +
                       "</caption>\n<thead><tr><th class=\"num\">#</th><th>Name</th><th class=\"num\">" +
                       (board.game.fewerIsBetter() ? "Time" : "Points") +
                       "</th><th>Date</th><th>Game</th></tr></thead>\n<tbody>\n";
    int place = 1;
    for (const Entry &e : board.entries)
        html += "<tr><td class=\"num\">" + (e.ranked ? std::to_string(place++) : "") + "</td><td>" + escapeHtml(e.name) +
                "</td><td class=\"num\">" + resultText(board.game, e.score) + "</td><td>" +
                formatDate(e.submitted) + "</td><td>" + recordLink(e) + "</td></tr>\n";
    if (board.entries.empty())
        html += "<tr><td class=\"empty\" colspan=\"5\">No scores yet</td></tr>\n";
    return html + "</tbody>\n</table>\n";
}

} // namespace

std::string escapeHtml(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string formatDuration(int32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string formatDate(int64_t secondsSince1970) {
    const time_t t = time_t(secondsSince1970);
    tm utc{};
    char text[16] = "";
    if (gmtime_r(&t, &utc))
        std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

std::string leaderboardPage(const std::vector<Board> &boards) {
    std::string html = pageHead("Brolix leaderboard") +
                       "<h1>Brolix leaderboard</h1>\n<p class=\"lead\">The ten best results of each game "
                       "and difficulty, each verified by playing its record again; download a record to "
                       "watch how it was made.</p>\n<p class=\"lead\">* verified but not ranked: played "
                       "without a seed ticket from this server (offline, or the server was down).</p>\n";
    int shownMode = -1;
    for (const Board &board : boards) {
        if (board.game.mode != shownMode) {
            if (shownMode >= 0)
                html += "</div>\n</section>\n";
            shownMode = board.game.mode;
            html += "<section>\n<h2>" + std::string(kModeTitles[shownMode]) + "</h2>\n<div class=\"grid\">\n";
        }
        html += boardTable(board);
    }
    if (shownMode >= 0)
        html += "</div>\n</section>\n";
    return html + "</body>\n</html>\n";
}

std::string driverPage() {
    return pageHead("Brolix: getting an accelerated OpenGL driver") + R"(<h1>Getting an accelerated OpenGL driver</h1>
<p>Brolix draws everything through OpenGL. When your system has no hardware-accelerated
OpenGL driver, the game falls back to software rendering: it still works, but it can be
slow and use a lot of processor time. Here is how to get a proper driver on Linux.</p>
<h2>1. Check what you have</h2>
<p>Install the small OpenGL information tool and ask it which renderer is in use:</p>
<pre>sudo apt install mesa-utils
glxinfo -B</pre>
<p>Look at <code>Accelerated:</code> and <code>OpenGL renderer string:</code>. If the renderer
is <code>llvmpipe</code>, <code>softpipe</code> or <code>swrast</code>, OpenGL runs on the processor.</p>
<h2>2. Install the driver for your graphics chip</h2>
<p>Find out which chip you have with <code>lspci -nn | grep -i -E 'vga|3d|display'</code>.</p>
<ul>
<li><b>Intel and AMD:</b> the open-source Mesa drivers do the work. Make sure they and the
chip's firmware are installed, then restart:
<pre>sudo apt install libgl1-mesa-dri firmware-misc-nonfree firmware-amd-graphics</pre>
(the firmware packages come from the <code>non-free-firmware</code> section of your package sources).</li>
<li><b>NVIDIA:</b> either the open-source driver included in Mesa, or the manufacturer's
driver, which on Debian is the <code>nvidia-driver</code> package from the
<code>non-free</code> section. Restart after installing it.</li>
<li><b>Virtual machines:</b> turn on 3D acceleration in the virtual machine's display settings
and install the guest additions of your virtualisation software.</li>
</ul>
<h2>3. Check again</h2>
<p>Run <code>glxinfo -B</code> once more: the renderer should now name your graphics chip.
Also make sure your user belongs to the <code>video</code> and <code>render</code> groups
(<code>groups</code> lists them). Then start Brolix again.</p>
</body>
</html>
)";
}

} // namespace scored
