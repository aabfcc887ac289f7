#include "pages.h"

#include <cstdio>
#include <ctime>

namespace scored {

namespace {

const char *const kModeTitles[] = {"Sixty seconds", "Five minutes", "Million"};
const char *const kDifficultyTitles[] = {"Easy", "Normal", "Hard"};

// Cells never wrap, so a name stays on one line: a board is as wide as its widest row,
// the boards of a game sit side by side only where each gets that width, and on a
// phone the text shrinks with the screen and the date gives way. Only a date may
// take two lines.
const char *const kStyle = R"(<style>
:root { color-scheme: light dark; --bg: #ffffff; --fg: #1b1b1f; --muted: #55555c; --rule: #c4c4cc;
        --accent: #9c2459; --link: #8a1d4e; --stripe: #f5f1f3; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #16161a; --fg: #ececf0; --muted: #b4b4bc; --rule: #4a4a54;
          --accent: #ff8ac0; --link: #ffa3cd; --stripe: #201e25; }
}
html { background: var(--bg); color: var(--fg); }
body { font-family: system-ui, "DejaVu Sans", sans-serif; margin: 0 auto; max-width: 110rem;
       padding: 1rem clamp(0.5rem, 2.5vw, 2rem); line-height: 1.4; }
a { color: var(--link); }
h1 { color: var(--accent); margin: 0.2rem 0 0.5rem; line-height: 1.2; }
h2 { border-bottom: 2px solid var(--accent); padding-bottom: 0.2rem; margin: 1.5rem 0 0.5rem; }
p.lead { color: var(--muted); margin: 0.3rem 0; }
.grid { display: grid; gap: 0.5rem 2rem; align-items: start;
        grid-template-columns: repeat(auto-fit, minmax(min(100%, 29rem), 1fr)); }
table { width: 100%; border-collapse: collapse; }
caption { text-align: left; font-weight: bold; padding: 0.3rem 0.4em; }
th, td { padding: 0.35em 0.4em; text-align: left; border-bottom: 1px solid var(--rule); white-space: nowrap; }
thead th { border-bottom-width: 2px; }
tbody tr:nth-child(even) { background: var(--stripe); }
.num { text-align: right; font-variant-numeric: tabular-nums; }
.date { white-space: normal; font-variant-numeric: tabular-nums; }
.empty, .unverified { color: var(--muted); font-style: italic; }
.hidden { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); white-space: nowrap; }
code, pre { background: #8882; padding: 0.1rem 0.3rem; border-radius: 4px; }
pre { padding: 0.6rem; overflow-x: auto; }
@media (max-width: 34rem) {
  table { font-size: min(1rem, 3.6vw); }
  th, td { padding: 0.35em 0.25em; }
  th:nth-child(4), td.date { display: none; }
}
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
std::string recordCell(const Row &row) {
    if (row.record == 0)
        return "<span class=\"unverified\">unverified</span>";
    return "<a href=\"" + recordPath(row.record) + "\" download=\"" + recordFileName(row.record) + "\" type=\"" +
           kRecordType + "\">record</a>" +
           (row.ranked ? "" : " <span class=\"unverified\" title=\"verified, not ranked\">*</span>");
}

// The date may break after its year, the one place a narrow board can give.
std::string dateCell(int64_t submitted) {
    const std::string date = formatDate(submitted);
    return "<time datetime=\"" + date + "\">" + date.substr(0, 5) + "<wbr>" + date.substr(5) + "</time>";
}

std::string rowHtml(const Row &row) {
    return "<tr><td class=\"num\">" + (row.place ? std::to_string(row.place) : "") + "</td><td>" + escapeHtml(row.name) +
           "</td><td class=\"num\">" + row.result + "</td><td class=\"date\">" +
           dateCell(row.submitted) + "</td><td>" + recordCell(row) + "</td></tr>\n";
}

std::string boardTable(const Board &board) {
    std::string html = "<table>\n<caption><span class=\"hidden\">" + std::string(modeTitle(board.game)) +
                       ", </span>" + difficultyTitle(board.game) +
                       "</caption>\n<thead><tr><th scope=\"col\" class=\"num\">#</th><th scope=\"col\">Name</th>"
                       "<th scope=\"col\" class=\"num\">" + (board.game.fewerIsBetter() ? "Time" : "Points") +
                       "</th><th scope=\"col\">Date</th><th scope=\"col\">Record</th></tr></thead>\n<tbody>\n";
    for (const Row &row : rowsOf(board))
        html += rowHtml(row);
    if (board.entries.empty())
        html += "<tr><td class=\"empty\" colspan=\"5\">No scores yet</td></tr>\n";
    return html + "</tbody>\n</table>\n";
}

} // namespace

const char *modeTitle(const Game &game) {
    return kModeTitles[game.mode];
}

const char *difficultyTitle(const Game &game) {
    return kDifficultyTitles[game.difficulty];
}

std::vector<Row> rowsOf(const Board &board) {
    std::vector<Row> rows;
    int ranked = 0;
    for (const Entry &e : board.entries) {
        Row row;
        row.place = e.ranked ? ++ranked : 0;
        row.name = e.name;
        row.score = e.score;
        row.result = resultText(board.game, e.score);
        row.submitted = e.submitted;
        row.verified = e.verified;
        row.ranked = e.ranked;
        if (e.verified)
            row.record = e.id;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string recordPath(int64_t record) {
    return "/scoring/record.php?id=" + std::to_string(record);
}

std::string recordFileName(int64_t record) {
    return "brolix-" + std::to_string(record) + ".brxr";
}

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

std::string formatDate(int64_t secondsSince1970, const char *format) {
    const time_t t = time_t(secondsSince1970);
    tm utc{};
    char text[64] = "";
    if (gmtime_r(&t, &utc))
        std::strftime(text, sizeof text, format, &utc);
    return text;
}

std::string leaderboardPage(const std::vector<Board> &boards) {
    std::string html = pageHead("Brolix leaderboard") +
                       "<h1>Brolix leaderboard</h1>\n<p class=\"lead\">The ten best results of each game "
                       "and difficulty, each verified by playing its record again.</p>\n"
                       "<p class=\"lead\">* verified but not ranked: played without a seed ticket from this "
                       "server (offline, or the server was down).</p>\n"
                       "<p class=\"lead\">A record downloads as a .brxr file: open it where Brolix is "
                       "installed and the game plays it.</p>\n";
    int shownMode = -1;
    for (const Board &board : boards) {
        if (board.game.mode != shownMode) {
            if (shownMode >= 0)
                html += "</div>\n</section>\n";
            shownMode = board.game.mode;
            html += "<section>\n<h2>" + std::string(modeTitle(board.game)) + "</h2>\n<div class=\"grid\">\n";
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
