#include "session/job_file.h"

#include <nlohmann/json.hpp>

#include "platform/sha256.h"
#include "platform/utf8_path.h"
#include "platform/whole_file.h"

namespace vek {

namespace {

// Ordered, so that the file lists its fields as a person reads them.
using json = nlohmann::ordered_json;

// Tells a job from any other JSON file, and which layout of the fields it has.
constexpr const char* FORMAT_KEY = "vekflash_job";
constexpr int FORMAT_VERSION = 1;

// Relative to the job's folder when the path lies in it or below it, else as it is.
std::string StoredPath(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (path.empty()) {
        return "";
    }
    const std::filesystem::path whole = std::filesystem::absolute(path).lexically_normal();
    const std::filesystem::path relative =
        whole.lexically_relative(std::filesystem::absolute(folder).lexically_normal());
    const bool beside = !relative.empty() && *relative.begin() != "..";
    if (!beside) {
        return Utf8FromPath(whole);
    }
    // Written with '/', which Windows reads too, so that a job moves between systems with the
    // folder that holds it.
    const std::u8string text = relative.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path WholePath(const std::string& stored, const std::filesystem::path& folder) {
    if (stored.empty()) {
        return {};
    }
    const std::filesystem::path path = PathFromUtf8(stored);
    return (path.is_absolute() ? path : folder / path).lexically_normal();
}

std::optional<int> WordOf(const json& text, const DeviceInfo& target) {
    if (!text.is_string()) {
        return std::nullopt;
    }
    const std::string digits = text.get<std::string>();
    if (digits.empty() || digits.size() > 4 ||
        digits.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos) {
        return std::nullopt;
    }
    const int word = std::stoi(digits, nullptr, 16);
    return word <= target.WordMask() ? std::optional<int>(word) : std::nullopt;
}

bool IsSha256Text(const std::string& text) {
    return text.size() == 2 * SHA256_BYTES &&
           text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The job in `job`, or the first field that is missing or wrong.
std::string ParseJob(const json& fields, const std::filesystem::path& folder, ProductionJob& job) {
    if (!fields.is_object() || fields.value(FORMAT_KEY, 0) != FORMAT_VERSION) {
        return std::string(FORMAT_KEY) + " " + std::to_string(FORMAT_VERSION);
    }
    const DeviceInfo* target = DeviceNamed(
        fields.value("device", json()).is_string() ? fields["device"].get<std::string>() : "");
    if (target == nullptr) {
        return "device";
    }
    job.target = *target;
    const auto text = [&](const char* key) {
        const json value = fields.value(key, json());
        return value.is_string() ? value.get<std::string>() : std::string();
    };
    job.hexFile = WholePath(text("hex_file"), folder);
    if (job.hexFile.empty()) {
        return "hex_file";
    }
    job.hexSha256 = text("hex_sha256");
    if (!IsSha256Text(job.hexSha256)) {
        return "hex_sha256";
    }
    const bool isSx = target->family == TargetFamily::SX;
    job.words.fuse = WordOf(fields.value(isSx ? "fuse" : "config", json()), *target);
    if (!job.words.fuse) {
        return isSx ? "fuse" : "config";
    }
    job.words.fuseX = isSx ? WordOf(fields.value("fusex", json()), *target) : 0;
    if (!job.words.fuseX) {
        return "fusex";
    }
    for (auto [key, flag] : {std::pair{"erase_before_program", &job.eraseBeforeProgram},
                             std::pair{"verify", &job.verify},
                             std::pair{"allow_code_protection", &job.allowCodeProtection},
                             std::pair{"serial_overwrite", &job.serialOverwrite}}) {
        if (!fields.value(key, json()).is_boolean()) {
            return key;
        }
        *flag = fields[key].get<bool>();
    }
    // Jobs saved before the EEPROM could be kept lack the field; they did not keep it.
    const json preserve = fields.value("preserve_eeprom", json(false));
    if (!preserve.is_boolean()) {
        return "preserve_eeprom";
    }
    job.preserveEeprom = preserve.get<bool>();
    if (job.preserveEeprom && target->eepromBytes == 0) {
        return "preserve_eeprom";
    }
    job.serialAt = text("serial_at");
    job.serialFile = WholePath(text("serial_file"), folder);
    job.logFile = WholePath(text("log"), folder);
    return "";
}

}  // namespace

std::optional<std::string> Sha256OfFile(const std::filesystem::path& path) {
    std::error_code noFile;
    const std::optional<std::string> bytes =
        std::filesystem::is_regular_file(path, noFile) ? ReadWholeFile(path) : std::nullopt;
    const std::optional<Sha256Digest> digest = bytes ? Sha256(*bytes) : std::nullopt;
    if (!digest) {
        return std::nullopt;
    }
    return Sha256Text(*digest);
}

std::optional<ProductionJob> ReadJobFile(const std::filesystem::path& path, std::string& error) {
    const std::string name = Utf8FromPath(path);
    std::error_code noFile;
    const std::optional<std::string> text =
        std::filesystem::is_regular_file(path, noFile) ? ReadWholeFile(path) : std::nullopt;
    if (!text) {
        error = "Error: the job " + name + " could not be read.";
        return std::nullopt;
    }
    const json fields = json::parse(*text, nullptr, false);
    ProductionJob job;
    const std::string wrong =
        fields.is_discarded()
            ? "JSON"
            : ParseJob(fields, std::filesystem::absolute(path).parent_path(), job);
    if (!wrong.empty()) {
        error = "Error: " + name + " is no VEK Flash job: " + wrong + " is missing or wrong.";
        return std::nullopt;
    }
    return job;
}

bool WriteJobFile(const std::filesystem::path& path, const ProductionJob& job) {
    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    const DeviceInfo& target = job.target;
    json fields = {
        {FORMAT_KEY, FORMAT_VERSION},
        {"device", target.name},
        {"hex_file", StoredPath(job.hexFile, folder)},
        {"hex_sha256", job.hexSha256},
    };
    if (target.family == TargetFamily::SX) {
        fields["fuse"] = WordText(target, job.words.fuse.value_or(0));
        fields["fusex"] = WordText(target, job.words.fuseX.value_or(0));
    } else {
        fields["config"] = WordText(target, job.words.fuse.value_or(0));
    }
    fields["erase_before_program"] = job.eraseBeforeProgram;
    fields["verify"] = job.verify;
    fields["preserve_eeprom"] = job.preserveEeprom;
    fields["allow_code_protection"] = job.allowCodeProtection;
    const auto optionalText = [](const std::string& text) {
        return text.empty() ? json(nullptr) : json(text);
    };
    fields["serial_at"] = optionalText(job.serialAt);
    fields["serial_overwrite"] = job.serialOverwrite;
    fields["serial_file"] = optionalText(StoredPath(job.serialFile, folder));
    fields["log"] = optionalText(StoredPath(job.logFile, folder));
    return ReplaceWholeFile(path, fields.dump(2) + "\n");
}

}  // namespace vek
