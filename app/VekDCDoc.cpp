#include "app/VekDCDoc.h"

#include <QFile>
#include <QFileInfo>

#include "app/Profile.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"

namespace vekdc {

CVekDCDoc::CVekDCDoc() = default;

bool CVekDCDoc::OnNewDocument() {
    WriteProfileString(QStringLiteral("VekDCDoc"), QStringLiteral("HomeDir"),
                       QStringLiteral("xxx"));
    RecordViews();
    m_bDecoding = 0;
    if (m_pDecodeView != nullptr) {
        m_pDecodeView->ChooseKeyFile();
    }
    return true;
}

bool CVekDCDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // The tree's commands and the decode job reach the views through these
    // links, also when the first document came from the command line.
    RecordViews();
    return true;
}

void CVekDCDoc::AddView(QWidget* view) {
    m_views.push_back(view);
}

void CVekDCDoc::SetTitle(const QString& title) {
    m_strTitle = title;
    emit titleChanged(m_strTitle);
}

void CVekDCDoc::SetPathName(const QString& path) {
    m_strPathName = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    if (!m_strPathName.isEmpty()) {
        SetTitle(QFileInfo(m_strPathName).fileName());
    }
}

void CVekDCDoc::RecordViews() {
    m_pLeftView = m_views.size() > 0 ? qobject_cast<CLeftView*>(m_views[0]) : nullptr;
    m_pDecodeView = m_views.size() > 1 ? qobject_cast<CVekDCView*>(m_views[1]) : nullptr;
}

}  // namespace vekdc
