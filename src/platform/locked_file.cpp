#include "platform/locked_file.h"

#include <utility>

#include "platform/file_primitives.h"

namespace vek {

namespace {

// What makes a file that could not be opened, or was, unusable.
LockedFile::Problem ProblemOf(const native::FileFacts& facts, LockedFile::Mode mode) {
    if (!facts.regular) {
        return LockedFile::Problem::NotRegular;
    }
    if (mode == LockedFile::Mode::UpdateExisting && !facts.mayBeWritten) {
        return LockedFile::Problem::ReadOnly;
    }
    return LockedFile::Problem::None;
}

}  // namespace

std::optional<LockedFile> LockedFile::Open(const std::filesystem::path& path, Mode mode,
                                           Problem& problem) {
    // Opened for writing also where only the lock needs it: NFS and CIFS grant an exclusive
    // lock through no other descriptor.
    const native::Access access =
        mode == Mode::UpdateExisting ? native::Access::ReadWrite : native::Access::AppendOrCreate;
    for (;;) {
        const int descriptor = native::OpenDescriptor(path, access);
        if (descriptor < 0) {
            const std::optional<native::FileFacts> facts = native::FactsOf(path);
            problem = facts ? ProblemOf(*facts, mode) : Problem::None;
            if (problem == Problem::None) {
                problem = Problem::CannotOpen;
            }
            return std::nullopt;
        }
        LockedFile file(descriptor);
        const std::optional<native::FileFacts> facts = native::FactsOf(descriptor);
        problem = facts ? ProblemOf(*facts, mode) : Problem::CannotOpen;
        if (problem != Problem::None) {
            return std::nullopt;
        }
        if (mode == Mode::AppendOrCreate) {
            return file;
        }
        if (!native::LockWhole(descriptor)) {
            problem = Problem::CannotOpen;
            return std::nullopt;
        }
        if (native::StillNamedBy(descriptor, path)) {
            return file;
        }
    }
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      renamedOver_(std::move(other.renamedOver_)),
      inPlace_(std::move(other.inPlace_)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    std::swap(descriptor_, other.descriptor_);
    std::swap(renamedOver_, other.renamedOver_);
    std::swap(inPlace_, other.inPlace_);
    return *this;
}

LockedFile::~LockedFile() {
    if (descriptor_ >= 0) {
        native::CloseDescriptor(descriptor_);  // releases the lock
    }
}

std::optional<std::string> LockedFile::ReadAll(std::size_t limit) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const long long count = native::ReadSome(descriptor_, buffer, sizeof buffer);
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(count));
        if (text.size() > limit) {
            return std::nullopt;
        }
    }
}

bool LockedFile::Append(std::string_view header, std::string_view text) {
    if (!native::LockWhole(descriptor_)) {
        return false;
    }
    const std::optional<native::FileFacts> facts = native::FactsOf(descriptor_);
    bool appended = facts.has_value();
    if (appended) {
        const std::string whole =
            std::string(facts->size == 0 ? header : std::string_view()) + std::string(text);
        appended = native::WriteWhole(descriptor_, whole);
        if (!appended) {
            native::CutTo(descriptor_, facts->size);
        }
    }
    native::UnlockWhole(descriptor_);
    return appended;
}

}  // namespace vek
