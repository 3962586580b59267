#pragma once
// CAboutDlg (dialog 100): the program's name and version and an OK button;
// OK and Escape close it.

#include <QDialog>

namespace quorl {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quorl
