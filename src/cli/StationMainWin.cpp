#include "cli/CliApplication.hpp"
#include "cli/StationMain.hpp"

#include <cstdlib>

// The station's children and their pipes are POSIX processes for now.
void runStation(const CliOptions& /*options*/, std::FILE* out) {
    std::fprintf(out, "station: not available in this Windows build yet; update one detector at "
                      "a time with `update`\n");
    std::fflush(out);
    std::_Exit(CliApplication::kFailed);
}
