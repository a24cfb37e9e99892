// corvala-check: the engine of the Corvala window on the command line.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

#include "cli/checker.h"
#include "cli/escape.h"
#include "cli/fixing.h"
#include "cli/lsp/server.h"
#include "cli/options.h"
#include "cli/rule_docs.h"
#include "cli/output.h"
#include "engine/values/text.h"

namespace {

bool UseColor(corvala::cli::ColorMode mode) {
    using corvala::cli::ColorMode;
    if (mode != ColorMode::Auto) return mode == ColorMode::Always;
    const char* noColor = std::getenv("NO_COLOR");
    return (noColor == nullptr || *noColor == '\0') && ::isatty(1) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace corvala::cli;
    corvala::InitializeFloatingPoint();
    corvala::SetDecimalSeparator('.');

    Output out(1);
    Output err(2, 4096);
    int status = kTrouble;
    try {
        ParseResult parsed = ParseOptions(argc, argv);
        if (!parsed.ok) {
            err.Write("corvala-check: " + EscapeControls(parsed.error) + "\n");
            err.Write(TryHelpText);
            return kTrouble;
        }
        const Options& options = parsed.options;
        if (options.showHelp) {
            out.Write(HelpText());
            status = kAllClean;
        } else if (options.showVersion) {
            out.Write(VersionText());
            status = kAllClean;
        } else if (options.lsp) {
            // Nothing but the protocol goes to standard output.
            return corvala::lsp::RunLanguageServer(0, 1);
        } else if (options.listRules) {
            out.Write(options.format == Format::Json       ? RulesJson()
                      : options.format == Format::Markdown ? RulesMarkdown()
                                                           : RulesText());
            status = kAllClean;
        } else if (options.fix || options.diff) {
            // Mend first, then report what remains in the saved files.
            const FixResult fixed = FixFiles(options, out, err);
            status = fixed.status;
            if (!options.diff && !fixed.toReport.empty()) {
                Options remaining = options;
                remaining.files = fixed.toReport;
                const int checked = CheckFiles(remaining, UseColor(options.color), ::isatty(1) == 1, out, err);
                if (status != kTrouble) status = checked;
            }
        } else {
            status = CheckFiles(options, UseColor(options.color), ::isatty(1) == 1, out, err);
        }
    } catch (const std::exception& e) {
        out.Flush();
        err.Write("corvala-check: " + EscapeControls(e.what()) + "\n");
        return kTrouble;
    }
    out.Flush();
    if (out.Failed()) {
        err.Write(std::string("corvala-check: write error: ") + std::strerror(out.ErrorNumber()) + "\n");
        return kTrouble;
    }
    return status;
}
