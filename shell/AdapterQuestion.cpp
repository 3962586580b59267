#include "shell/AdapterQuestion.h"

#include <QInputDialog>
#include <QStringList>

#include "link/UsbSerialPorts.h"

namespace quorl {

std::optional<std::string> AskWhichAdapter(const std::vector<std::string>& ports) {
    QStringList items;
    for (const std::string& port : ports) {
        const std::string serial = UsbSerialNumber(port);
        items << QString::fromStdString(port + (serial.empty() ? std::string() : "  (serial " + serial + ")"));
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        nullptr, QObject::tr("Which adapter is the survey unit?"),
        QObject::tr("Several USB serial adapters with the unit's bridge chip are attached.\n"
                    "Choose the survey unit (to be asked no more: quorl unit remember PORT):"),
        items, 0, false, &ok);
    if (!ok) return std::nullopt;
    const qsizetype index = items.indexOf(chosen);
    if (index < 0) return std::nullopt;
    return ports[static_cast<std::size_t>(index)];
}

}  // namespace quorl
