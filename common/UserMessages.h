#pragma once
// The one way the core talks to the user. The windowed program implements it
// with message boxes and file dialogs; tests and the command-line companion
// implement it with scripted answers. Any thread may call it: an
// implementation that needs its own thread marshals the call and blocks until
// the user has answered.

#include <optional>
#include <string>

namespace quorl {

// What a file dialog shows; the filter uses the "Name (*.ext)|*.ext|...||"
// form, which the windowed program turns into its own.
struct FileDialogRequest {
    bool open = true;                 // open (existing file) or save
    std::string defaultExtension;     // without the dot, e.g. "LPF"
    std::string initialName;          // e.g. "DEFAULT"
    std::string filter;
    bool mustExist = true;            // open: only existing files
    bool confirmOverwrite = true;     // save: ask before replacing
};

class IUserMessages {
public:
    virtual ~IUserMessages() = default;

    // Plain box: OK button, exclamation icon, captioned with the program title.
    virtual void ShowPlain(const std::string& text) = 0;
    // Question: Yes and No, question icon; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The same question where Escape (or the close box) is an answer of its
    // own, for a choice the user may want to back out of. Answers Yes or No
    // where there is no way to escape.
    enum class Answer { Yes, No, Escaped };
    virtual Answer Ask(const std::string& text) { return AskYesNo(text) ? Answer::Yes : Answer::No; }
    // Information box (the ShowMessage form): OK button, information icon.
    virtual void ShowInfo(const std::string& text) = 0;
    // File dialog; nothing when the user cancels.
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;
};

// The program title: caption of every message box and the settings profile name.
inline constexpr const char* kApplicationTitle = "QuorlCollectorTablet";

// Formats printf-style into a 120-byte buffer (at most 119 characters) and
// shows it as an information box.
void ShowMessage(IUserMessages& messages, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The operating system's description of an error number, at most 1024
// characters, as file errors are reported to the user.
std::string SystemErrorText(int errorNumber);

}  // namespace quorl
