#include "report.h"

#include <cstdio>

namespace vek::bench {

namespace {

struct Operation {
    const char* caption;
    const char* key;
    ModeFigures TargetFigures::*figures;
};

constexpr Operation OPERATIONS[] = {
    {"Program", "program", &TargetFigures::program},
    {"Read", "read", &TargetFigures::read},
    {"Verify", "verify", &TargetFigures::verify},
};

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

double Seconds(unsigned long long milliseconds) {
    return static_cast<double>(milliseconds) / 1000.0;
}

std::string TableRow(const char* operation, const char* mode, const Figures& figures,
                     const std::string& ratio) {
    return Format("| %s | %s | %.3f | %.3f | %.3f | %llu | %llu | %.1f | %s |\n", operation, mode,
                  Seconds(figures.simMs), Seconds(figures.chipMs), Seconds(figures.OverheadMs()),
                  figures.writes, figures.reads, figures.cpuSeconds * 1000.0, ratio.c_str());
}

// How many times more of the host's time per-word transfers take.
std::string OverheadRatio(const ModeFigures& modes) {
    if (modes.fast.OverheadMs() == 0) {
        return "-";
    }
    return Format("%.1f", static_cast<double>(modes.perWord.OverheadMs()) /
                              static_cast<double>(modes.fast.OverheadMs()));
}

std::string JsonFigures(const Figures& figures) {
    return Format(
        "{\"sim_s\": %.3f, \"chip_s\": %.3f, \"overhead_s\": %.3f, \"writes\": %llu, "
        "\"reads\": %llu, \"cpu_s\": %.6f}",
        Seconds(figures.simMs), Seconds(figures.chipMs), Seconds(figures.OverheadMs()),
        figures.writes, figures.reads, figures.cpuSeconds);
}

}  // namespace

std::string MarkdownTables(const std::vector<TargetFigures>& targets) {
    std::string text;
    for (const TargetFigures& target : targets) {
        text += (text.empty() ? "" : "\n");
        text += "| " + target.name +
                " | mode | simulated s | chip s | host overhead s | FT_Write | FT_Read | host "
                "CPU ms | overhead per-word / fast |\n";
        text += "|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
        std::string pauses;
        for (const Operation& operation : OPERATIONS) {
            const ModeFigures& modes = target.*operation.figures;
            text += TableRow(operation.caption, "fast", modes.fast, OverheadRatio(modes));
            text += TableRow(operation.caption, "per word", modes.perWord, "");
            if (modes.fast.pausedMs > 0) {
                pauses += Format("%s%s %d ms", pauses.empty() ? "" : ", ", operation.caption,
                                 modes.fast.pausedMs);
            }
        }
        if (!pauses.empty()) {
            text += "\nPauses not in these figures: " + pauses + ".\n";
        }
    }
    return text;
}

std::string JsonObject(const std::vector<TargetFigures>& targets) {
    std::string text = "{";
    for (const TargetFigures& target : targets) {
        text += (text.size() > 1 ? ", \"" : "\"") + target.name + "\": {";
        for (const Operation& operation : OPERATIONS) {
            const ModeFigures& modes = target.*operation.figures;
            text += (&operation == OPERATIONS ? "\"" : ", \"") + std::string(operation.key) +
                    "\": {\"fast\": " + JsonFigures(modes.fast) +
                    ", \"per_word\": " + JsonFigures(modes.perWord) + "}";
        }
        text += "}";
    }
    return text + "}\n";
}

}  // namespace vek::bench
