// Times full Program, Read and Verify of a 16F877 and an SX48 on the simulated programmer,
// with fast and with per-word transfers, and prints where the time went: as Markdown tables,
// or with --json as one JSON object.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "measurement.h"
#include "report.h"

int main(int argc, char** argv) {
    const bool json = argc == 2 && std::string(argv[1]) == "--json";
    if (argc > 2 || (argc == 2 && !json)) {
        std::fprintf(stderr, "usage: %s [--json]\n", argv[0]);
        return 2;
    }
    // The simulator reads these when it starts: a virtual clock and a blank chip of its own.
    unsetenv("VEKSIM_REAL_TIME");
    unsetenv("VEKSIM_STATE");
    unsetenv("VEKSIM_CHIP");

    std::vector<vek::bench::TargetFigures> targets;
    for (const int row : {7, 9}) {  // 16F877 and SX48
        vek::bench::TargetFigures figures;
        std::string failure;
        if (!vek::bench::MeasureTarget(row, figures, failure)) {
            std::fprintf(stderr, "%s\n", failure.c_str());
            return 1;
        }
        targets.push_back(figures);
    }
    const std::string report =
        json ? vek::bench::JsonObject(targets) : vek::bench::MarkdownTables(targets);
    std::fputs(report.c_str(), stdout);
    return 0;
}
