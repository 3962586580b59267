#pragma once
// An IUserMessages that answers from a script and remembers what it was
// shown: for tests, and for the command-line companion, which never waits
// for a person (it can echo every text to standard error instead).

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "UserMessages.h"

namespace quorl {

class RecordingUserMessages : public IUserMessages {
public:
    enum class Kind { Plain, Question, Info, FileDialog };
    struct Entry {
        Kind kind;
        std::string text;  // the message, or the dialog's initial name
    };

    explicit RecordingUserMessages(bool echoToStderr = false) : echo_(echoToStderr) {}

    void ShowPlain(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    Answer Ask(const std::string& text) override;
    void ShowInfo(const std::string& text) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;

    // Answers handed out in order; when they run out questions answer No and
    // file dialogs are cancelled.
    void QueueAnswer(bool yes);
    // The next question is escaped (AskYesNo takes it for No).
    void QueueEscape();
    void QueueFile(std::optional<std::string> path);

    std::vector<Entry> Entries() const;
    std::vector<std::string> Texts() const;  // message texts only, in order
    std::vector<FileDialogRequest> FileRequests() const;
    void Clear();

private:
    void Record(Kind kind, const std::string& text);

    mutable std::mutex mutex_;
    bool echo_;
    std::vector<Entry> entries_;
    std::vector<FileDialogRequest> fileRequests_;
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> files_;
};

}  // namespace quorl
