// A capture's output under a temporary name beside its final one ("NAME.part"): created at once, so an
// unwritable place is known before anything is drawn, renamed when complete, and removed when the
// capture fails, so nothing half-written ever carries the final name.
#pragma once

#include <filesystem>

namespace engine::capture {

class TemporaryOutput {
public:
    // A folder, or a file. Throws Exception when the temporary cannot be created, or when the final
    // name is taken by something a capture must not replace: a folder output replaces only an empty
    // folder or one holding nothing but an earlier capture's pictures and sound.
    TemporaryOutput(const std::filesystem::path& finalPath, bool folder);
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const std::filesystem::path& Path() const { return temporary; }
    const std::filesystem::path& FinalPath() const { return finalPath; }
    // Gives the output its final name; throws Exception when it cannot.
    void Commit();

private:
    void CheckFinalName() const;

    std::filesystem::path finalPath;
    std::filesystem::path temporary;
    bool folder;
    bool committed = false;
};

// The names a capture writes into a folder: 000001.png for the first frame, and the sound.
std::filesystem::path FrameFileName(long long frameNumber);
inline constexpr const char* kSoundFileName = "audio.wav";

} // namespace engine::capture
