#include "RecordingUserMessages.h"

#include <cstdio>

namespace quorl {

void RecordingUserMessages::Record(Kind kind, const std::string& text) {
    std::lock_guard lock(mutex_);
    entries_.push_back({kind, text});
    if (echo_ && kind != Kind::FileDialog) std::fprintf(stderr, "%s\n", text.c_str());
}

void RecordingUserMessages::ShowPlain(const std::string& text) { Record(Kind::Plain, text); }

void RecordingUserMessages::ShowInfo(const std::string& text) { Record(Kind::Info, text); }

bool RecordingUserMessages::AskYesNo(const std::string& text) { return Ask(text) == Answer::Yes; }

IUserMessages::Answer RecordingUserMessages::Ask(const std::string& text) {
    Record(Kind::Question, text);
    std::lock_guard lock(mutex_);
    if (answers_.empty()) return Answer::No;
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::optional<std::string> RecordingUserMessages::ChooseFile(const FileDialogRequest& request) {
    Record(Kind::FileDialog, request.initialName);
    std::lock_guard lock(mutex_);
    fileRequests_.push_back(request);
    if (files_.empty()) return std::nullopt;
    auto path = files_.front();
    files_.pop_front();
    return path;
}

void RecordingUserMessages::QueueAnswer(bool yes) {
    std::lock_guard lock(mutex_);
    answers_.push_back(yes ? Answer::Yes : Answer::No);
}

void RecordingUserMessages::QueueEscape() {
    std::lock_guard lock(mutex_);
    answers_.push_back(Answer::Escaped);
}

void RecordingUserMessages::QueueFile(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    files_.push_back(std::move(path));
}

std::vector<RecordingUserMessages::Entry> RecordingUserMessages::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<std::string> RecordingUserMessages::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& e : entries_)
        if (e.kind != Kind::FileDialog) texts.push_back(e.text);
    return texts;
}

std::vector<FileDialogRequest> RecordingUserMessages::FileRequests() const {
    std::lock_guard lock(mutex_);
    return fileRequests_;
}

void RecordingUserMessages::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    fileRequests_.clear();
}

}  // namespace quorl
