// The version dialog of the Help menu: the program icon, name and version, the
// maker's notice and a button that opens the maker's web page in the browser.
// Its OK button is hidden; Return, Esc or the close box closes it.
#pragma once

#include <QDialog>
#include <memory>

#include "desktop/dialogs.h"

class QPushButton;

namespace vekdc {

class DialogControls;

class CVersionDlg : public QDialog {
    Q_OBJECT

public:
    enum : int {
        IDOK = desktop::version_dialog_ids::IDC_OK,
        IDC_WEB_PAGE = desktop::version_dialog_ids::IDC_WEB_PAGE
    };

    explicit CVersionDlg(QWidget* parent = nullptr);
    ~CVersionDlg() override;

    QPushButton* GetOkButton() const { return m_ok; }
    QPushButton* GetWebButton() const { return m_web; }

    // Starts the browser on the maker's page; the dialog stays open.
    void OnVisitWebPage();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<DialogControls> m_dialog;
    QPushButton* m_ok = nullptr;
    QPushButton* m_web = nullptr;
};

}  // namespace vekdc
