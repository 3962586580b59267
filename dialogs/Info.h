#pragma once
// CInfo: what is stored for the survey point the survey data has selected
// (FindNearestPoint): its plan position and the access points recorded
// there, or that it marks a dynamic access point. The user keeps the point
// or asks for it to be deleted; the dialog itself changes nothing, the
// caller deletes on kDelete:
//
//   if (CInfo::Run(data, messages, this) == CInfo::kDelete) data.DeleteSelectedPoint();

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace quorl {

class CSiteData;
class IUserMessages;

class CInfo : public QDialog {
    Q_OBJECT
public:
    static constexpr int kKeep = 0;
    static constexpr int kDelete = 2;

    static constexpr const char* kCaption = "Survey Point Information";
    static constexpr const char* kHeading = "CH   MAC/SSID                                 RSSI";
    static constexpr const char* kDynamicApText = "THIS POINT IS A DYNAMIC AP";
    static constexpr const char* kDeleteQuestion = "Delete?";

    CInfo(CSiteData& data, IUserMessages& messages, QWidget* parent = nullptr);

    // Shows the dialog for the selected point modally: kDelete or kKeep.
    static int Run(CSiteData& data, IUserMessages& messages, QWidget* parent = nullptr);

    // The lines the list shows, for the selected point.
    static QStringList Lines(CSiteData& data);

    QListWidget* List() const { return list_; }
    QPushButton* KeepButton() const { return keep_; }
    QPushButton* DeleteButton() const { return delete_; }

protected:
    // Escape and the close box keep the point, without asking.
    void reject() override;

private:
    // A view-only file refuses before the question: no "Delete?" for a
    // point that cannot be deleted.
    void AskDelete();

    CSiteData& data_;
    IUserMessages& messages_;
    QListWidget* list_ = nullptr;
    QPushButton* keep_ = nullptr;
    QPushButton* delete_ = nullptr;
};

}  // namespace quorl
