// vekflash-cli-documents TEMPLATE OUTPUT [NAME=TEXT...]: a build step that fills a template of
// data/ with the parts made from vekflash-cli's usage table, its VERSION and the NAME=TEXT
// parts given, so that the manual page and the shell completion always match --help.
#include <cstdio>
#include <string>

#include "cli/usage_documents.h"
#include "platform/whole_file.h"

int main(int argc, char* argv[]) {
    using namespace vek::cli;
    if (argc < 3) {
        std::fputs("Usage: vekflash-cli-documents TEMPLATE OUTPUT [NAME=TEXT...]\n", stderr);
        return 2;
    }
    const std::optional<std::string> templateText = vek::ReadWholeFile(argv[1]);
    if (!templateText || templateText->empty()) {
        std::fprintf(stderr, "vekflash-cli-documents: cannot read %s\n", argv[1]);
        return 1;
    }
    DocumentParts parts = ManualParts(CliUsage());
    parts.merge(CompletionParts(CliUsage()));
    parts["VERSION"] = VEK_VERSION;
    for (int i = 3; i < argc; ++i) {
        const std::string given = argv[i];
        const std::size_t equals = given.find('=');
        parts[given.substr(0, equals)] =
            equals == std::string::npos ? std::string() : given.substr(equals + 1);
    }
    const FilledTemplate filled = FillTemplate(*templateText, parts);
    if (!filled.error.empty()) {
        std::fprintf(stderr, "vekflash-cli-documents: %s: %s\n", argv[1], filled.error.c_str());
        return 1;
    }
    if (!vek::ReplaceWholeFile(argv[2], filled.text)) {
        std::fprintf(stderr, "vekflash-cli-documents: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
