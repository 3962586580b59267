#pragma once
// CQuorlCollectorTabletDoc: the program's one document. It carries no data:
// all survey state lives in the engine and the survey objects. Opening reads
// nothing from the chosen file, saving writes an empty file, and the
// document is never modified, so nothing ever asks to save it.

#include <string>

#include "common/UserMessages.h"

namespace quorl {

class CQuorlCollectorTabletDoc {
public:
    // The name a new document offers when it is first saved.
    static constexpr const char* kNewFileName = "QuorlCollectorT";
    static constexpr const char* kFilter = "All Files (*.*)|*.*||";

    explicit CQuorlCollectorTabletDoc(IUserMessages& messages);

    // File New: the document starts again with no path.
    void OnNewDocument();
    // File Open: asks for a projection, collection or site file and opens
    // it, taking nothing from it (the main window hands it to the view by
    // its kind). False when cancelled or the file cannot be read (the user
    // is told why).
    bool Open();
    // File Save: asks for a name the first time, then writes the empty file.
    // A file that was opened, not saved, is never overwritten without asking:
    // Save then asks as Save As does, so an opened collection file is not
    // emptied by a stray Ctrl+S.
    bool Save();
    // File Save As: always asks.
    bool SaveAs();

    const std::string& PathName() const { return path_; }
    bool IsModified() const { return false; }

private:
    bool WriteTo(const std::string& path);

    IUserMessages& messages_;
    std::string path_;
    bool pathWritten_ = false;  // path_ is a file this document wrote
};

}  // namespace quorl
