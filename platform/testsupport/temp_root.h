// A fresh machine root for one test: a temporary folder named by CE_ROOT for
// as long as the object lives, removed with everything in it afterwards.
#pragma once

#include <ostream>
#include <string>

namespace ce::test {

class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot &) = delete;
    TempRoot &operator=(const TempRoot &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &relative) const { return path_ + "/" + relative; }

    // Writes a file under the root (creating its folder) with the given bytes.
    void write(const std::string &relative, const std::string &bytes) const;
    // The bytes of a file under the root; empty when it does not exist.
    std::string read(const std::string &relative) const;

private:
    std::string path_;
    std::string saved_;
    bool had_saved_ = false;
};

// Keeps the process's working directory and puts it back when destroyed, so
// a test may change it freely.
class SavedWorkingDirectory {
public:
    SavedWorkingDirectory();
    ~SavedWorkingDirectory();
    SavedWorkingDirectory(const SavedWorkingDirectory &) = delete;
    SavedWorkingDirectory &operator=(const SavedWorkingDirectory &) = delete;

private:
    std::string saved_;
};

// Removes a folder tree; quiet when it is already gone.
void remove_tree(const std::string &path);

}  // namespace ce::test

