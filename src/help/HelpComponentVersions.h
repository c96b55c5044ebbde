#pragma once
// Known file versions of the two components the help depends on, oldest
// first, with the release names users know them by. The help viewer's
// minimum-version codes 16..26 and the browser's 256..275 index these rows.

#include <array>

namespace romwright {

struct ComponentRelease {
    const char *version;
    const char *name;
};

inline constexpr std::array<ComponentRelease, 11> kHelpViewerReleases{{
    {"4.72.7290.00", "1.0"},
    {"4.72.7323.00", "1.1"},
    {"4.72.7325.00", "1.1a"},
    {"4.72.8164.00", "1.1b"},
    {"4.73.8252.00", "1.2"},
    {"4.73.8412.00", "1.21"},
    {"4.73.8474.00", "1.21a"},
    {"4.73.8561.00", "1.22"},
    {"4.74.8586.00", "1.3 Beta 1"},
    {"4.74.8660.00", "1.3 Beta 2"},
    {"4.74.8702.00", "1.3"},
}};

inline constexpr std::array<ComponentRelease, 20> kBrowserReleases{{
    {"4.70.1155.0000", "3.0"},
    {"4.70.1158.0000", "3.0 (OSR2)"},
    {"4.70.1215.0000", "3.01"},
    {"4.70.1300.0000", "3.02"},
    {"4.71.0544.0000", "4.0 Platform Preview 1"},
    {"4.71.1008.0003", "4.0 Platform Preview 2"},
    {"4.71.1712.0006", "4.0"},
    {"4.72.2106.0008", "4.01"},
    {"4.72.3110.0008", "4.01 Service Pack 1"},
    {"4.72.3612.1713", "4.01 Service Pack 2"},
    {"5.00.0518.0010", "5 Developer Preview"},
    {"5.00.0910.1309", "5 Beta"},
    {"5.00.2014.0216", "5"},
    {"5.00.2314.1003", "5"},
    {"5.00.2614.3500", "5 (Second Edition)"},
    {"5.00.2919.6307", "5.01"},
    {"5.00.3103.1000", "5.01 Service Pack 1"},
    {"5.00.3315.1000", "5.01 Service Pack 2"},
    {"5.50.3314.2101", "5.5 Developer Preview"},
    {"5.50.3825.1300", "5.5 Platform Preview"},
}};

inline constexpr int kFirstHelpViewerCode = 16;
inline constexpr int kFirstBrowserCode = 256;

} // namespace romwright
