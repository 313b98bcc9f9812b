// What PixGen.exe's embedded manifest must say, checked element by element
// (namespace, place in the tree, value): per-monitor DPI awareness in both
// the old and the new form, the version 6 common controls, no elevation, and
// every Windows version from Vista to 10 declared as supported.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pe {

// One line per problem, empty when the manifest is right. The processor
// architecture is the manifest's name for the build's ("x86", "amd64").
std::vector<std::string> CheckManifest(std::string_view manifest, std::string_view processorArchitecture);

}  // namespace pe
