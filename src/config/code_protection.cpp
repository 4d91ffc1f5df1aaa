#include "config/code_protection.h"

#include "config/pic_config.h"
#include "config/sx_fuse.h"

namespace vek {

bool TurnsOnCodeProtection(std::string_view deviceName, bool isSx, std::string_view wordText) {
    if (isSx) {
        SxFuseState state;
        SxFuseCodec(deviceName).Refresh(wordText, state);
        return state.ProtectsProgramMemory();
    }
    PicConfigState state;
    PicConfigCodec(deviceName).Refresh(wordText, state);
    return state.ProtectsProgramMemory();
}

}  // namespace vek
