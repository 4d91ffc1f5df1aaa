// Choosing a HEX file: the scan that checks it and hands its configuration words to the
// fields, and the listing of what it holds.
#pragma once

#include <string>

#include "device/hex_file.h"
#include "session/session.h"

namespace vek {

// Refreshes the target and scans the chosen file; with extractConfig its configuration
// records set the Fuse and FuseX fields, the shared texts and the settings.
HexScanResult ScanHexFile(Session& session, bool extractConfig, int& lineNo);

// The file dialog has returned `path` (its editors closed): remembers the file, shows its
// name, scans it and lists it, or reports why it cannot be used. Returns what the scan found.
HexScanResult OpenChosenHexFile(Session& session, const std::string& path);

// Loads the chosen file into the image, marking what it gives, and lists it.
void ShowFileListing(Session& session);

// The message of a scan failure of the session's file. A file too large for the target that
// gives the other family's configuration words says that it looks like that family's.
std::string HexScanMessage(const Session& session, HexScanResult result, int lineNo);
std::string NoHexDataMessage(const std::string& fileName);

}  // namespace vek
