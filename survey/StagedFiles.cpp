#include "survey/StagedFiles.h"

#include <fcntl.h>

#include <cerrno>

#include "common/UserMessages.h"
#include "survey/FileHandle.h"

namespace quorl {

bool StagedFiles::Add(const std::string& path, const std::string& bytes, const std::vector<std::string>& inputs,
                      std::string& error) {
    auto pending = std::make_unique<PendingFile>(path, inputs);
    int why = pending->Error();
    if (pending->Created()) {
        FileHandle file = FileHandle::Open(pending->TempPath(), O_WRONLY | O_TRUNC);
        errno = 0;
        if (!file.Valid() || !file.WriteAt(bytes.data(), bytes.size(), 0) || !file.Flush()) why = errno != 0 ? errno : EIO;
    }
    if (!pending->Created() || why != 0) {
        error = "cannot write " + path + ": " + SystemErrorText(why);
        return false;
    }
    files_.push_back(std::move(pending));
    return true;
}

bool StagedFiles::CommitAll(std::string& error) {
    for (auto& file : files_) {
        if (file->Commit()) continue;
        error = "cannot write " + file->FinalPath() + ": " + SystemErrorText(file->Error());
        return false;
    }
    files_.clear();
    return true;
}

}  // namespace quorl
