// Production jobs on disk: every field kept, paths beside the job kept relative, and a file
// that is no job refused naming what is wrong.
#include <gtest/gtest.h>

#include <regex>

#include "platform/whole_file.h"
#include "session/job_file.h"
#include "temp_folder.h"

namespace vek::test {
namespace {

const std::string SHA_OF_ABC = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

ProductionJob FullJob(const TempFolder& folder, const char* device) {
    ProductionJob job;
    job.target = *DeviceNamed(device);
    job.hexFile = folder / "fw" / "line.hex";
    job.hexSha256 = SHA_OF_ABC;
    const bool isSx = job.target.family == TargetFamily::SX;
    job.words = {isSx ? 0xF32 : 0x3F32, isSx ? 0x0A5 : 0};
    job.eraseBeforeProgram = false;
    job.verify = true;
    job.preserveEeprom = !isSx;  // an SX has no EEPROM to keep
    job.allowCodeProtection = true;
    job.serialAt = "eeprom:4:2";
    job.serialOverwrite = true;
    job.serialFile = folder / "sn.txt";
    job.logFile = folder / "logs" / "line.csv";
    return job;
}

TEST(JobFile, KeepsEveryFieldAndPathsBesideTheJobRelative) {
    for (const char* device : {"16F877", "SX28"}) {
        SCOPED_TRACE(device);
        TempFolder folder;
        const ProductionJob saved = FullJob(folder, device);
        const std::filesystem::path path = folder / "line.vekjob";
        ASSERT_TRUE(WriteJobFile(path, saved));
        const std::string text = ReadWholeFile(path).value_or("");
        const bool isSx = std::string(device) == "SX28";
        EXPECT_EQ(text, std::string("{\n  \"vekflash_job\": 1,\n  \"device\": \"") + device +
                            "\",\n  \"hex_file\": \"fw/line.hex\",\n  \"hex_sha256\": \"" +
                            SHA_OF_ABC + "\",\n" +
                            (isSx ? "  \"fuse\": \"F32\",\n  \"fusex\": \"0A5\",\n"
                                  : "  \"config\": \"3F32\",\n") +
                            "  \"erase_before_program\": false,\n  \"verify\": true,\n" +
                            (isSx ? "  \"preserve_eeprom\": false,\n"
                                  : "  \"preserve_eeprom\": true,\n") +
                            "  \"allow_code_protection\": true,\n  \"serial_at\": "
                            "\"eeprom:4:2\",\n  \"serial_overwrite\": true,\n  \"serial_file\": "
                            "\"sn.txt\",\n  \"log\": \"logs/line.csv\"\n}\n");
        std::string error;
        const std::optional<ProductionJob> read = ReadJobFile(path, error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(read->target.processorIndex, saved.target.processorIndex);
        EXPECT_EQ(read->hexFile, saved.hexFile);
        EXPECT_EQ(read->hexSha256, SHA_OF_ABC);
        EXPECT_EQ(read->words.fuse, saved.words.fuse);
        EXPECT_EQ(read->words.fuseX, isSx ? 0x0A5 : 0);
        EXPECT_FALSE(read->eraseBeforeProgram);
        EXPECT_EQ(read->preserveEeprom, !isSx);
        EXPECT_TRUE(read->verify && read->allowCodeProtection && read->serialOverwrite);
        EXPECT_EQ(read->serialAt, "eeprom:4:2");
        EXPECT_EQ(read->serialFile, saved.serialFile);
        EXPECT_EQ(read->logFile, saved.logFile);
    }
}

TEST(JobFile, KeepsAPathOutsideTheJobsFolderWholeAndLeavesOutWhatIsNotGiven) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "jobs");
    ProductionJob job = FullJob(folder, "16F84A");
    job.serialAt.clear();
    job.serialFile.clear();
    job.logFile.clear();
    ASSERT_TRUE(WriteJobFile(folder / "jobs" / "a.vekjob", job));
    const std::string text = ReadWholeFile(folder / "jobs" / "a.vekjob").value_or("");
    // As JSON writes it: a Windows path's backslashes doubled.
    const std::string whole =
        std::regex_replace(Utf8FromPath(job.hexFile), std::regex(R"(\\)"), R"(\\)");
    EXPECT_NE(text.find("\"hex_file\": \"" + whole + "\""), std::string::npos);
    EXPECT_NE(text.find("\"serial_at\": null"), std::string::npos);
    std::string error;
    const std::optional<ProductionJob> read = ReadJobFile(folder / "jobs" / "a.vekjob", error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->hexFile, job.hexFile);
    EXPECT_TRUE(read->serialAt.empty() && read->serialFile.empty() && read->logFile.empty());
}

TEST(JobFile, RefusesAFileThatIsNoJobNamingTheField) {
    TempFolder folder;
    const std::string good = R"("device": "16F84A", "hex_file": "a.hex", "hex_sha256": ")" +
                             SHA_OF_ABC +
                             R"(", "config": "3FF1", "erase_before_program": true, )"
                             R"("verify": true, "allow_code_protection": false, )"
                             R"("serial_overwrite": false)";
    const std::string job = "{\"vekflash_job\": 1, " + good + "}";
    const struct {
        std::string text, wrong;
    } cases[] = {
        {"", "JSON"},
        {"[1]", "vekflash_job 1"},
        {"{\"vekflash_job\": 2, " + good + "}", "vekflash_job 1"},
        {std::regex_replace(job, std::regex("16F84A"), "16F99"), "device"},
        {std::regex_replace(job, std::regex("a.hex"), ""), "hex_file"},
        {std::regex_replace(job, std::regex(SHA_OF_ABC), "ABC"), "hex_sha256"},
        {std::regex_replace(job, std::regex("3FF1"), "4000"), "config"},  // wider than 14 bits
        {std::regex_replace(job, std::regex("\"config\""), "\"fuse\""), "config"},
        {std::regex_replace(job, std::regex("\"verify\": true"), "\"verify\": 1"), "verify"},
        {std::regex_replace(job, std::regex("\"verify\""), "\"preserve_eeprom\": 1, \"verify\""),
         "preserve_eeprom"},
        // An SX has no EEPROM to keep.
        {std::regex_replace(job, std::regex("\"device\": \"16F84A\"(.*)\"config\": \"3FF1\""),
                            "\"device\": \"SX28\"$1\"fuse\": \"FFF\", \"fusex\": \"FFF\", "
                            "\"preserve_eeprom\": true"),
         "preserve_eeprom"},
    };
    for (const auto& [text, wrong] : cases) {
        SCOPED_TRACE(text);
        const std::string path = folder.Write("x.vekjob", text);
        std::string error;
        EXPECT_FALSE(ReadJobFile(PathFromUtf8(path), error));
        EXPECT_EQ(error,
                  "Error: " + path + " is no VEK Flash job: " + wrong + " is missing or wrong.");
    }
    folder.Write("x.vekjob", job);
    std::string error;
    EXPECT_TRUE(ReadJobFile(folder / "x.vekjob", error)) << error;
    EXPECT_FALSE(ReadJobFile(folder / "none.vekjob", error));
    EXPECT_EQ(error,
              "Error: the job " + Utf8FromPath(folder / "none.vekjob") + " could not be read.");
}

TEST(JobFile, HashesAFileAndNothingForNone) {
    TempFolder folder;
    EXPECT_EQ(Sha256OfFile(PathFromUtf8(folder.Write("abc", "abc"))), SHA_OF_ABC);
    EXPECT_FALSE(Sha256OfFile(folder / "none"));
    EXPECT_FALSE(Sha256OfFile(folder.Path()));
}

}  // namespace
}  // namespace vek::test
