#include "config/code_protection.h"

#include "config/pic_config.h"
#include "config/sx_fuse.h"

namespace vek {

bool TurnsOnCodeProtection(const DeviceInfo& target, std::string_view wordText) {
    if (target.family == TargetFamily::SX) {
        SxFuseState state;
        SxFuseCodec(target).Refresh(wordText, state);
        return state.ProtectsProgramMemory();
    }
    PicConfigState state;
    PicConfigCodec(target).Refresh(wordText, state);
    return state.ProtectsProgramMemory();
}

}  // namespace vek
