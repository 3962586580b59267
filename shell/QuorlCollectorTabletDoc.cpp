#include "shell/QuorlCollectorTabletDoc.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/RegularFile.h"
#include "shell/FileKind.h"
#include "survey/PendingFile.h"

namespace quorl {

CQuorlCollectorTabletDoc::CQuorlCollectorTabletDoc(IUserMessages& messages) : messages_(messages) {}

void CQuorlCollectorTabletDoc::OnNewDocument() {
    path_.clear();
    pathWritten_ = false;
}

bool CQuorlCollectorTabletDoc::Open() {
    FileDialogRequest request;
    request.open = true;
    request.filter = kOpenFilter;
    request.mustExist = true;
    const auto chosen = messages_.ChooseFile(request);
    if (!chosen) return false;
    // The document stores nothing: the file is only opened and closed, so
    // an unreadable file gets the system's reason before the main window
    // hands it on by its kind.
    const int fd = OpenRegularFile(*chosen, O_RDONLY);
    if (fd < 0) {
        messages_.ShowPlain("Cannot open " + *chosen + ".\n" + SystemErrorText(errno));
        return false;
    }
    ::close(fd);
    path_ = *chosen;
    pathWritten_ = false;
    return true;
}

bool CQuorlCollectorTabletDoc::Save() {
    if (path_.empty() || !pathWritten_) return SaveAs();
    return WriteTo(path_);
}

bool CQuorlCollectorTabletDoc::SaveAs() {
    FileDialogRequest request;
    request.open = false;
    request.filter = kFilter;
    request.initialName = path_.empty() ? kNewFileName : path_;
    request.confirmOverwrite = true;
    const auto chosen = messages_.ChooseFile(request);
    if (!chosen) return false;
    if (!WriteTo(*chosen)) return false;
    path_ = *chosen;
    pathWritten_ = true;
    return true;
}

bool CQuorlCollectorTabletDoc::WriteTo(const std::string& path) {
    // Through the one output helper: never into a FIFO, device or link.
    if (const int why = WriteWholeFile(path, "", 0, {})) {
        messages_.ShowPlain("Cannot save " + path + ".\n" + SystemErrorText(why));
        return false;
    }
    return true;
}

}  // namespace quorl
