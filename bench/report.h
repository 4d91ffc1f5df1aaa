// The figures as Markdown tables for people and as one JSON object for scripts.
#pragma once

#include <string>
#include <vector>

#include "measurement.h"

namespace vek::bench {

// A table per target: a row per operation and transfer mode.
std::string MarkdownTables(const std::vector<TargetFigures>& targets);
// {"16F877": {"program": {"fast": {"sim_s": ..., ...}, "per_word": {...}}, ...}, ...}
std::string JsonObject(const std::vector<TargetFigures>& targets);

}  // namespace vek::bench
