// The usage table's renderings on a small table of their own: --help's columns and wrapping,
// the manual page's roff, the completion's lists and value branches, and filling templates.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "cli/usage.h"
#include "cli/usage_documents.h"

namespace vek::cli {
namespace {

constexpr std::array<CommandUsage, 2> COMMANDS = {{
    {"detect", Command::Detect, "", false, "is a programmer attached?"},
    {"program", Command::Program, "FILE", true, "write the HEX file"},
}};

constexpr std::array<OptionUsage, 5> OPTIONS = {{
    {Option::Device, "-d", "--device", "NAME", ValueKind::DeviceName, "the chip"},
    {Option::Output, "-o", "--output", "FILE", ValueKind::File, "where the HEX file goes"},
    {Option::Config, "", "--config", "HEX", ValueKind::Hex, "the word"},
    {Option::Quiet, "", "--driver", "NAME", ValueKind::Choice, "the driver", "auto d2xx libftdi"},
    {Option::All, "-a", "--all", "", ValueKind::None,
     "a summary long enough to run past the end of the line twice, so that it is wrapped onto "
     "two more lines that start in the column of the summaries"},
}};

constexpr std::array<ExitStatusUsage, 2> EXIT_STATUSES = {{
    {EXIT_OK, "success"},
    {EXIT_USAGE, "the command line cannot be used"},
}};

constexpr Usage USAGE = {
    .program = "tool",
    .synopsis = "[options] COMMAND",
    .description = ".dotted - dashed \\ escaped",
    .commands = COMMANDS,
    .options = OPTIONS,
    .optionsNote = "A note.",
    .streams = "'Quoted' streams.",
    .exitStatuses = EXIT_STATUSES,
};

TEST(UsageDocuments, HelpAlignsSummariesAndWrapsThemAtEightyColumns) {
    EXPECT_EQ(HelpText(USAGE),
              "Usage: tool [options] COMMAND\n"
              "\n"
              ".dotted - dashed \\ escaped\n"
              "\n"
              "Commands:\n"
              "  detect        is a programmer attached?\n"
              "  program FILE  write the HEX file\n"
              "\n"
              "Options:\n"
              "  -d, --device NAME  the chip\n"
              "  -o, --output FILE  where the HEX file goes\n"
              "      --config HEX   the word\n"
              "      --driver NAME  the driver\n"
              "  -a, --all          a summary long enough to run past the end of the line\n"
              // 80 characters: the longest line
              "                     twice, so that it is wrapped onto two more lines that start\n"
              "                     in the column of the summaries\n"
              "\n"
              "A note.\n"
              "\n"
              "'Quoted' streams.\n"
              "\n"
              "Exit status:\n"
              "  0  success\n"
              "  2  the command line cannot be used\n");
}

TEST(UsageDocuments, ManualPartsAreRoffWithEscapedText) {
    const DocumentParts parts = ManualParts(USAGE);
    const DocumentParts expected = {
        {"MAN_DESCRIPTION", "\\&.dotted \\- dashed \\e escaped"},
        {"MAN_COMMANDS",
         ".TP\n\\fBdetect\\fR\nis a programmer attached?\n"
         ".TP\n\\fBprogram\\fR \\fIFILE\\fR\nwrite the HEX file\n"},
        {"MAN_OPTIONS",
         ".TP\n\\fB\\-d\\fR, \\fB\\-\\-device\\fR \\fINAME\\fR\nthe chip\n"
         ".TP\n\\fB\\-o\\fR, \\fB\\-\\-output\\fR \\fIFILE\\fR\nwhere the HEX file goes\n"
         ".TP\n\\fB\\-\\-config\\fR \\fIHEX\\fR\nthe word\n"
         ".TP\n\\fB\\-\\-driver\\fR \\fINAME\\fR\nthe driver\n"
         ".TP\n\\fB\\-a\\fR, \\fB\\-\\-all\\fR\na summary long enough to run past the end of "
         "the line twice, so that it is wrapped onto two more lines that start in the column "
         "of the summaries\n"},
        {"MAN_OPTIONS_NOTE", "A note."},
        {"MAN_STREAMS", "\\&'Quoted' streams."},
        {"MAN_EXIT_STATUS",
         ".TP\n\\fB0\\fR\nsuccess\n.TP\n\\fB2\\fR\nthe command line cannot be used\n"},
    };
    EXPECT_EQ(parts, expected);
}

TEST(UsageDocuments, CompletionOffersEachKindOfValue) {
    const DocumentParts parts = CompletionParts(USAGE);
    const DocumentParts expected = {
        {"BASH_COMMANDS", "detect program"},
        {"BASH_OPTIONS", "-d --device -o --output --config --driver -a --all"},
        {"BASH_VALUE_OPTIONS", "-d | --device | -o | --output | --config | --driver"},
        {"BASH_FILE_COMMANDS", "program"},
        {"BASH_VALUE_CASES",
         "        -d | --device)\n"
         "            COMPREPLY=($(compgen -W 'auto' -- \"$cur\") $(compgen -W '16F84A 16F870 "
         "16F871 16F872 16F873 16F874 16F876 16F877 SX28 SX48' -- \"${cur^^}\"))\n"
         "            return\n"
         "            ;;\n"
         "        -o | --output)\n"
         "            _filedir\n"
         "            return\n"
         "            ;;\n"
         "        --config)\n"
         "            return\n"
         "            ;;\n"
         "        --driver)\n"
         "            COMPREPLY=($(compgen -W 'auto d2xx libftdi' -- \"$cur\"))\n"
         "            return\n"
         "            ;;"},
    };
    EXPECT_EQ(parts, expected);
}

TEST(UsageDocuments, TemplatesGetTheirPartsAndKeepOtherAtSigns) {
    const DocumentParts parts = {{"A", "one"}, {"B_C", ""}};
    struct Case {
        std::string templateText;
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"@A@", "one", ""},
        {"x @A@ y @B_C@ z @A@", "x one y  z one", ""},
        {"\"${list[@]}\" @A@", "\"${list[@]}\" one", ""},
        {"mail@host.example, @lower@, @@, trailing @", "mail@host.example, @lower@, @@, trailing @",
         ""},
        {"@@A@@", "@one@", ""},
        {"before @MISSING@ after", "", "no part for @MISSING@"},
    };
    for (const Case& c : cases) {
        const FilledTemplate filled = FillTemplate(c.templateText, parts);
        EXPECT_EQ(filled.text, c.text) << c.templateText;
        EXPECT_EQ(filled.error, c.error) << c.templateText;
    }
}

}  // namespace
}  // namespace vek::cli
