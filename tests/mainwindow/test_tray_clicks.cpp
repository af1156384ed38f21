// Which clicks on the tray icon restore the window, whether the host reports double clicks
// itself (XEmbed, Windows) or calls Activate once per click (StatusNotifierItem hosts).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "mainwindow/TrayClicks.h"

namespace tavrino {
namespace {

struct ClickCase {
    const char* name;
    const char* clicks;    // kind and time in ms: s = single, d = double, o = other button
    const char* restores;  // per click: R restores, . does not
};

TEST(TrayClicks, OnlyADoubleClickRestoresAndEachCountsOnce) {
    // clang-format off
    const std::vector<ClickCase> cases{
        {"one activation",                    "s1000",                   "."},
        {"two activations within 400 ms",     "s1000 s1399",             ".R"},
        {"two activations 400 ms apart",      "s1000 s1400",             ".."},
        {"slow clicks pair with the next",    "s1000 s2000 s2100",       "..R"},
        {"a third activation starts anew",    "s1000 s1100 s1200 s1300", ".R.R"},
        {"another button breaks the pair",    "s1000 o1100 s1200",       "..."},
        {"XEmbed: both clicks, then double",  "s1000 s1080 d1080",       ".R."},
        {"Windows: one click, then double",   "s1000 d1080",             ".R"},
        {"a reported double alone",           "d1000 d3000",             "RR"},
        {"a late double is a new one",        "s1000 s1080 d1480",       ".RR"},
        {"a clock going back never pairs",    "s1000 s900",              ".."},
    };
    // clang-format on
    for (const ClickCase& c : cases) {
        TrayClicks clicks(TrayClicks::Time(400));
        std::istringstream in(c.clicks);
        std::string got;
        for (std::string click; in >> click;) {
            const TrayClick kind = click[0] == 's'   ? TrayClick::Single
                                   : click[0] == 'd' ? TrayClick::Double
                                                     : TrayClick::Other;
            got += clicks.Report(kind, TrayClicks::Time(std::stoi(click.substr(1)))) ? 'R' : '.';
        }
        EXPECT_EQ(got, c.restores) << c.name;
    }
}

}  // namespace
}  // namespace tavrino
