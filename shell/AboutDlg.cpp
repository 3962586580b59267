#include "shell/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/UserMessages.h"
#include "shell/AppIcons.h"

namespace quorl {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const QString title = QString::fromLatin1(kApplicationTitle);
    setWindowTitle(QStringLiteral("About %1").arg(title));
    setObjectName(QStringLiteral("dialog100"));

    auto* icon = new QLabel(this);
    icon->setPixmap(MainIcon().pixmap(QSize(32, 32)));
    auto* name = new QLabel(QStringLiteral("%1 Version %2").arg(title, QStringLiteral(QUORL_VERSION)), this);
    name->setObjectName(QStringLiteral("versionText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(name, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace quorl
