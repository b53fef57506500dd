#pragma once
// The folder chooser: a file dialog in folder mode. With a list of required files, OK is
// enabled only on a folder that holds at least one of them (a data folder, say).

#include <string>
#include <vector>

class QWidget;

class TFolderBrowser {
 public:
  QWidget* owner = nullptr;
  std::string caption;
  bool includeFiles = false;   // list files too (they cannot be chosen)
  bool newDialogStyle = true;  // without it the chooser offers no "new folder"
  std::string startFolder;
  std::string folder;  // the result, without trailing "/"
  int top = 0;
  int left = 0;
  bool positionSet = false;  // move the chooser to left/top
  std::vector<std::string> requiredFiles;

  // Shows the chooser; true when a folder was chosen (then in `folder`).
  bool Execute();
};

// True when the folder holds at least one of the files, or when the list is empty.
bool FolderHoldsRequiredFile(const std::string& folder, const std::vector<std::string>& files);

// Shows the chooser; true with the chosen folder, ending in "/", in `folder`.
bool BrowseForFolder(QWidget* owner, const std::string& caption, const std::string& startFolder,
                     bool includeFiles, bool newDialogStyle, std::string& folder);
