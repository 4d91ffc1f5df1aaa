#include "cli/cli_texts.h"

#include <regex>
#include <vector>

#include "link/usb_drivers.h"
#include "link/web_addresses.h"

namespace vek::cli {

namespace {

// A part of a window text, as a regular expression, and the command line's words for it
// ($1 stands for the first group).
struct CliWording {
    const char* window;
    std::string cli;
};

// The window points to its Internet menu; the command line names the library it looked for
// and the choice of --driver that would do without it.
std::string MissingDriverWords(const UsbDriverChoice& driver) {
    const std::string d2xx = "FTDI's D2XX library (" + UsbDriverLibrary("d2xx") + ")";
#if defined(VEK_HAVE_LIBFTDI)
    const std::string libftdi = "libftdi1 (" + UsbDriverLibrary("libftdi") + ")";
    const std::string installLibftdi = "Debian: sudo apt install libftdi1-2";
    if (driver == "d2xx") {
        return "Error: " + d2xx + " was not found. Install it, or leave out --driver d2xx " +
               "to use libftdi1 (" + installLibftdi + ").";
    }
    if (driver == "libftdi") {
        return "Error: " + libftdi + " was not found. Install it (" + installLibftdi +
               "), or leave out --driver libftdi to use FTDI's D2XX library.";
    }
    return "Error: no USB driver was found: neither " + d2xx + " nor " + libftdi +
           ". Install libftdi1 (" + installLibftdi + ") or FTDI's D2XX library.";
#else
    (void)driver;  // D2XX is the only driver here
    return "Error: DLL drivers not found. \n\nInstall " + d2xx + " from " + FTDI_WEB_ADDRESS +
           " or " + MAKER_WEB_ADDRESS + "; README.txt says how.";
#endif
}

std::vector<CliWording> CliWordings(const UsbDriverChoice& driver) {
    return {
        // Program without erasing is what --no-erase asks for.
        {R"(^Device is not blank\. Either erase the device or \nselect Auto Erase feature in )"
         R"(the Setup menu\.$)",
         "Device is not blank. Erase it first (vekflash-cli erase), or program without "
         "--no-erase, which erases it."},
        // The command line never lets the programmer power the target.
        {R"(\n\n Power may need to be enabled from the Setup menu\.$)",
         "\n\n vekflash-cli does not let the programmer power the target: it needs a supply of "
         "its own."},
        // A programmer that answers wrongly ends the command, not an application.
        {R"(\nthe processor type and try again\.\n\nThis application will now terminate!$)",
         "\nthe device of -d and try again."},
        // The window's text has never closed its parenthesis; the command line's does.
        {R"(^(Program ROM verify failed at word \d+\. \(expected 0x[0-9A-F]+, read 0x[0-9A-F]+)$)",
         "$1)"},
        {R"(^Error: DLL drivers not found\.[\s\S]*)", MissingDriverWords(driver)},
    };
}

}  // namespace

std::string InCliWords(const std::string& windowText, const UsbDriverChoice& driver) {
    std::string text = windowText;
    for (const CliWording& wording : CliWordings(driver)) {
        text = std::regex_replace(text, std::regex(wording.window), wording.cli);
    }
    return text;
}

}  // namespace vek::cli
