#pragma once
// IUserMessages with Qt message boxes and file dialogs, all captioned with
// the program title. Calls from other threads (the reader thread's
// battery-low boxes) are carried to the UI thread and the caller waits there
// until the user has answered.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>

#include "common/UserMessages.h"

namespace quorl {

class QtUserMessages : public QObject, public IUserMessages {
    Q_OBJECT
public:
    // Lives on the thread that makes it, which must be the UI thread.
    explicit QtUserMessages(QObject* parent = nullptr);

    void ShowPlain(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    Answer Ask(const std::string& text) override;
    void ShowInfo(const std::string& text) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;

    // The window the boxes belong to (the main window); the active window
    // when unset.
    void SetParentWindow(QWidget* window);

    // From now on nothing is shown: boxes return at once, questions answer
    // No, file dialogs are cancelled. Used while the program shuts down, so
    // that the reader thread never waits for a box nobody will see.
    void Close();
    bool Closed() const { return closed_.load(); }

protected:
    // The boxes themselves, always on the UI thread.
    virtual void PresentPlain(const QString& text);
    virtual bool PresentQuestion(const QString& text);
    // Yes and No only on show; Escape and the close box answer Escaped.
    virtual Answer PresentEscapableQuestion(const QString& text);
    virtual void PresentInfo(const QString& text);
    virtual std::optional<std::string> PresentFileDialog(const FileDialogRequest& request);

    QWidget* ParentWindow() const;

private:
    // Runs `work` on the UI thread; blocks a calling thread until it is done.
    template <typename Work>
    void OnUiThread(Work&& work);

    QPointer<QWidget> parentWindow_;
    std::atomic<bool> closed_{false};
};

}  // namespace quorl
