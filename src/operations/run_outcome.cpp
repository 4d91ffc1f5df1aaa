#include "operations/run_outcome.h"

namespace vek {

const char* OutcomeName(ExitStatus status) {
    switch (status) {
        case EXIT_OK:
            return "success";
        case EXIT_DIFFERS:
            return "difference";
        case EXIT_USAGE:
            return "usage";
        case EXIT_HEX_FILE:
            return "file";
        case EXIT_PROGRAMMER:
            return "programmer";
        case EXIT_WRONG_DEVICE:
            return "wrong-device";
    }
    return "programmer";
}

ExitStatus StatusOf(const OperationResult& result) {
    switch (result.outcome) {
        case Outcome::Done:
            return EXIT_OK;
        case Outcome::NotBlank:
        case Outcome::Mismatch:
        case Outcome::EepromProtected:
            return EXIT_DIFFERS;
        case Outcome::NoHexFile:
        case Outcome::HexFileError:
            return EXIT_HEX_FILE;
        case Outcome::WrongDevice:
            return EXIT_WRONG_DEVICE;
        case Outcome::NoConfiguration:
        case Outcome::Declined:
            return EXIT_USAGE;
        case Outcome::Refused:
        case Outcome::NoProgrammer:
        case Outcome::CommunicationFailed:
            break;
    }
    return EXIT_PROGRAMMER;
}

}  // namespace vek
