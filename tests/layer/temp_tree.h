#pragma once
// A real folder tree in the temporary folder for one test, removed again at the end.
#include <string>

class TempTree {
  public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The tree's folder, without a trailing backslash.
    const std::string& Root() const { return root_; }
    // Root + "\" + relative.
    std::string Path(std::string_view relative) const;

    void MakeFolder(std::string_view relative) const;
    void MakeFile(std::string_view relative) const;
    // A folder link at relative that leads to the folder target (relative too). False when the
    // platform cannot make one.
    bool MakeFolderLink(std::string_view relative, std::string_view target) const;
    // The folders of path (absolute, longer than the ANSI calls take) and a file "deep.txt" in
    // the last one, made through the wide calls' long-path form.
    void MakeLongPathFile(const std::string& path) const;

  private:
    std::string root_;
};
