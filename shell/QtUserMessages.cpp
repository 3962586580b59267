#include "shell/QtUserMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>

#include "shell/FileFilter.h"

namespace quorl {

QtUserMessages::QtUserMessages(QObject* parent) : QObject(parent) {}

void QtUserMessages::SetParentWindow(QWidget* window) { parentWindow_ = window; }

void QtUserMessages::Close() { closed_.store(true); }

QWidget* QtUserMessages::ParentWindow() const {
    return parentWindow_ ? parentWindow_.data() : QApplication::activeWindow();
}

template <typename Work>
void QtUserMessages::OnUiThread(Work&& work) {
    if (closed_.load()) return;
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    // Closed may have been set while the call waited in the queue.
    QMetaObject::invokeMethod(
        this,
        [this, &work] {
            if (!closed_.load()) work();
        },
        Qt::BlockingQueuedConnection);
}

void QtUserMessages::ShowPlain(const std::string& text) {
    OnUiThread([&] { PresentPlain(QString::fromStdString(text)); });
}

bool QtUserMessages::AskYesNo(const std::string& text) {
    bool yes = false;
    OnUiThread([&] { yes = PresentQuestion(QString::fromStdString(text)); });
    return yes;
}

IUserMessages::Answer QtUserMessages::Ask(const std::string& text) {
    Answer answer = Answer::Escaped;
    OnUiThread([&] { answer = PresentEscapableQuestion(QString::fromStdString(text)); });
    return answer;
}

void QtUserMessages::ShowInfo(const std::string& text) {
    OnUiThread([&] { PresentInfo(QString::fromStdString(text)); });
}

std::optional<std::string> QtUserMessages::ChooseFile(const FileDialogRequest& request) {
    std::optional<std::string> chosen;
    OnUiThread([&] { chosen = PresentFileDialog(request); });
    return chosen;
}

namespace {

int Box(QWidget* parent, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), text, buttons, parent);
    return box.exec();
}

// A Yes/No box would take Escape for No; this one tells the two apart.
class EscapableQuestion : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool Escaped() const { return escaped_; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            escaped_ = true;
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        // Not QMessageBox's own, which would count it as No.
        escaped_ = true;
        QDialog::closeEvent(event);
    }

private:
    bool escaped_ = false;
};

}  // namespace

void QtUserMessages::PresentPlain(const QString& text) {
    Box(ParentWindow(), QMessageBox::Warning, text, QMessageBox::Ok);
}

bool QtUserMessages::PresentQuestion(const QString& text) {
    return Box(ParentWindow(), QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

IUserMessages::Answer QtUserMessages::PresentEscapableQuestion(const QString& text) {
    EscapableQuestion box(QMessageBox::Question, QString::fromLatin1(kApplicationTitle), text,
                          QMessageBox::Yes | QMessageBox::No, ParentWindow());
    const int result = box.exec();
    if (box.Escaped()) return Answer::Escaped;
    return result == QMessageBox::Yes ? Answer::Yes : result == QMessageBox::No ? Answer::No : Answer::Escaped;
}

void QtUserMessages::PresentInfo(const QString& text) {
    Box(ParentWindow(), QMessageBox::Information, text, QMessageBox::Ok);
}

std::optional<std::string> QtUserMessages::PresentFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(ParentWindow(), QString::fromLatin1(kApplicationTitle));
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (request.open)
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    const QString filter = QString::fromStdString(ToQtFileFilter(request.filter));
    if (!filter.isEmpty()) dialog.setNameFilter(filter);
    if (!request.defaultExtension.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension).toLower());
    if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front().toStdString();
}

}  // namespace quorl
