// The drive tree: the left pane, listing drives, their folders and the
// encrypted files (names containing ".vek") one level at a time, and the
// tree's keyboard and mouse commands for the decode panel.
#pragma once

#include <QPixmap>
#include <QTreeWidget>
#include <vector>

#include "browser/colorref.h"
#include "vekdc/version.h"

class QProgressBar;

namespace vekdc {

class CMainFrame;
class CVekDCDoc;

class CLeftView : public QTreeWidget {
    Q_OBJECT

public:
    // Indexes into the image list.
    enum Image : int {
        kImageDrive = 0,
        kImageDriveSelected = 1,
        kImageFolder = 2,
        kImageFolderSelected = 3,
        kImageEncrypted = 4,
        kImageEncryptedSelected = 5,
        kImageRemovable = 6,
        kImageRemovableSelected = 7,
        kImageCdRom = 8,
        kImageCdRomSelected = 9,
    };
    // Item data: bit 0 set once the item's folder has been listed.
    static constexpr int kItemDataRole = Qt::UserRole;
    static constexpr int kRootPathRole = Qt::UserRole + 1;  // drive items: the mount point
    static constexpr int kImageRole = Qt::UserRole + 2;
    static constexpr int kSelectedImageRole = Qt::UserRole + 3;
    // Folder and file items: the name's bytes as the file system gave them.
    static constexpr int kLocalNameRole = Qt::UserRole + 4;
    static constexpr unsigned int kFilledFlag = 1u;

    static constexpr const char* kPlaceholderLabel = "DUMY";
    static constexpr const char* kCaptionPrefix =
        "Orvinta VEK Decoder Version " VEKDC_VERSION "  <<";

    // ToggleTreeWidth: steps of 10 pixels every 3 ms; narrowing stops at 200
    // pixels; the tree widens when the window is more than 12 pixels wider.
    static constexpr int kWidthStep = 10;
    static constexpr int kStepPauseMs = 3;
    static constexpr int kNarrowWidth = 200;
    static constexpr int kWidenThreshold = 12;

    explicit CLeftView(CVekDCDoc* document, QWidget* parent = nullptr);

    CVekDCDoc* GetDocument() const { return m_pDocument; }
    CMainFrame* GetParentFrame() const;

    void OnInitialUpdate();
    void FillDriveList();
    // Lists the folder behind an item, once.
    void FillChildren(QTreeWidgetItem* item);
    // The file-system path of an item as shown: its drive's root path, then
    // the labels below it.
    void GetItemPath(QTreeWidgetItem* item, QString& path) const;
    // The same path as the bytes that name the file (names need not be UTF-8).
    QByteArray GetItemLocalPath(QTreeWidgetItem* item) const;
    QTreeWidgetItem* GetSelectedItem() const;
    // The rectangle of an item's label text, in viewport coordinates.
    QRect GetItemTextRect(QTreeWidgetItem* item) const;

    void SetBkColor(COLORREF color);
    void SetTextColor(COLORREF color);

    // The progress bar in the status bar, created at the first decode request.
    void ShowStatusProgress();

    // Tree commands.
    void DecodeSelection();
    void ToggleTreeWidth();
    void OnRButtonDblClk(Qt::KeyboardModifiers flags, const QPoint& point);

    // True for a path that contains ".vek" anywhere.
    static bool IsEncryptedPath(const QString& path);

    int m_bStatusProgressCreated = 0;
    QProgressBar* m_statusProgress = nullptr;
    std::vector<QPixmap> m_imageList;
    int m_bDrivesListed = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const QString& label, int image,
                                int selectedImage);
    // Adds the item's path to the decode panel's list when it names an encrypted file.
    void AddEncryptedToList(QTreeWidgetItem* item);
    void InsertPlaceholder(QTreeWidgetItem* parent);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnSelChanged();
    // The tree's own key commands, before the control handles the key.
    void OnKeyDown(int key);
    // Space: the selected encrypted file joins the panel's input list.
    void AddSelectionToList();
    // F5: the panel's decode, as its button starts it.
    void StartPanelDecode();

    CVekDCDoc* m_pDocument;
};

}  // namespace vekdc
