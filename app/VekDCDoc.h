// The one document: the state that the drive tree, the decode panel and the
// decode job share. It carries no file content; a file "opened" as the
// document only gives it its title.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace vekdc {

class CLeftView;
class CVekDCView;

class CVekDCDoc : public QObject {
    Q_OBJECT

public:
    CVekDCDoc();

    QString m_strSelectedPath;       // path of the item last selected in the tree, as shown
    QByteArray m_selectedLocalPath;  // the same path as the file system's bytes
    QString m_strKeyPath;            // key file chosen with "キーの設定"
    QString m_strOutDir;             // output folder of the current or last run
    QStringList m_fileList;          // input files of the current run
    CLeftView* m_pLeftView = nullptr;
    CVekDCView* m_pDecodeView = nullptr;
    int m_bDecoding = 0;  // 1 while a decode job runs in the engine

    // A new document (start-up and Ctrl+N): records the views and asks for the key file.
    bool OnNewDocument();
    // A file opened as the document: it must be readable; nothing is read from it.
    bool OnOpenDocument(const QString& path);

    // The views in creation order: the tree first, the panel second.
    void AddView(QWidget* view);
    const std::vector<QWidget*>& GetViews() const { return m_views; }

    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);
    const QString& GetPathName() const { return m_strPathName; }
    // Sets the full path and takes the file name as the title.
    void SetPathName(const QString& path);

signals:
    void titleChanged(const QString& title);

private:
    void RecordViews();

    std::vector<QWidget*> m_views;
    QString m_strTitle;
    QString m_strPathName;
};

}  // namespace vekdc
