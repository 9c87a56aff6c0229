// A fresh folder below the temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

namespace testkit {

class TempDir {
public:
    // `tag` goes into the folder's name, to tell the tests' folders apart.
    explicit TempDir(const std::string& tag = "norvane_test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing '/'.
    const std::string& Path() const { return path_; }
    // A path below the folder (not created).
    std::string Path(const std::string& relative) const { return path_ + relative; }
    std::filesystem::path Dir() const { return std::filesystem::path(path_); }
    // Writes a file below the folder (creating folders on the way); returns its path.
    std::string Write(const std::string& relative, const std::string& content) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
};

}  // namespace testkit
