#include "browser/LeftView.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressBar>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/Profile.h"
#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/FileNames.h"
#include "browser/MainFrm.h"
#include "browser/drives.h"

namespace vekdc {

namespace {

// The pictures of the image list, in index order.
const char* const kImageFiles[] = {":/tree/drive.png",     ":/tree/drive_selected.png",
                                   ":/tree/folder.png",    ":/tree/folder_selected.png",
                                   ":/tree/encrypted.png", ":/tree/encrypted_selected.png",
                                   ":/tree/removable.png", ":/tree/removable_selected.png",
                                   ":/tree/cdrom.png",     ":/tree/cdrom_selected.png"};

const char* const kColorSection = "CLeftView";
const char* const kBackColorEntry = "PaneColorLBack";
const char* const kTextColorEntry = "PaneColorLText";
const char* const kDefaultBackColor = "00ffffff";
const char* const kDefaultTextColor = "00000000";

// Labels sort together, letter case ignored first, then respected.
bool LabelLess(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

// The tree's connecting lines and expand buttons as the original platform's
// tree control draws them (dotted lines, boxed plus and minus); everything
// else in the style of the application.
class TreeLineStyle : public QProxyStyle {
public:
    TreeLineStyle() : m_lines(QStyleFactory::create(QStringLiteral("Windows"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch && m_lines) {
            m_lines->drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    std::unique_ptr<QStyle> m_lines;
};

// Labels can be edited, but no edit is ever taken over.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setModelData(QWidget* /*editor*/, QAbstractItemModel* /*model*/,
                      const QModelIndex& /*index*/) const override {}
};

int DriveImage(DriveKind kind) {
    switch (kind) {
        case DriveKind::Removable:
        case DriveKind::Remote:
            return CLeftView::kImageRemovable;
        case DriveKind::CdRom:
            return CLeftView::kImageCdRom;
        case DriveKind::HardDisk:
        case DriveKind::Other:
            break;
    }
    return CLeftView::kImageDrive;
}

// A colour value from the settings, written back with its default when missing or empty.
COLORREF ProfileColor(const char* entry, const char* fallbackText, COLORREF initial) {
    const QString section = QString::fromLatin1(kColorSection);
    const QString name = QString::fromLatin1(entry);
    QString text = GetProfileString(section, name, QString());
    if (text.isEmpty()) {
        text = QString::fromLatin1(fallbackText);
        WriteProfileString(section, name, text);
    }
    return ScanHexColor(text).value_or(initial);
}

}  // namespace

CLeftView::CLeftView(CVekDCDoc* document, QWidget* parent)
    : QTreeWidget(parent), m_pDocument(document) {
    setObjectName(QStringLiteral("CLeftView"));
    for (const char* file : kImageFiles) {
        m_imageList.emplace_back(QString::fromLatin1(file));
    }
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setItemDelegate(new LabelEditDelegate(this));
    setFrameShape(QFrame::Box);
    auto* lines = new TreeLineStyle;
    lines->setParent(this);
    setStyle(lines);

    connect(this, &QTreeWidget::itemExpanded, this, &CLeftView::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CLeftView::OnItemExpanded);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::OnSelChanged);
}

CMainFrame* CLeftView::GetParentFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

void CLeftView::OnInitialUpdate() {
    if (m_bDrivesListed == 0) {
        FillDriveList();
        m_bDrivesListed = 1;
    }
    // Applied again at every new document.
    SetBkColor(ProfileColor(kBackColorEntry, kDefaultBackColor, 0x00FFFFFFu));
    SetTextColor(ProfileColor(kTextColorEntry, kDefaultTextColor, 0x00000000u));
}

QTreeWidgetItem* CLeftView::InsertItem(QTreeWidgetItem* parent, const QString& label, int image,
                                       int selectedImage) {
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    item->setData(0, kItemDataRole, 0u);
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
    QIcon icon;
    icon.addPixmap(m_imageList[static_cast<std::size_t>(image)], QIcon::Normal);
    icon.addPixmap(m_imageList[static_cast<std::size_t>(selectedImage)], QIcon::Selected);
    item->setIcon(0, icon);
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        addTopLevelItem(item);
    }
    return item;
}

void CLeftView::InsertPlaceholder(QTreeWidgetItem* parent) {
    InsertItem(parent, QString::fromLatin1(kPlaceholderLabel), kImageDrive, kImageDrive);
}

void CLeftView::FillDriveList() {
    clear();
    std::vector<DriveEntry> drives = list_drives();
    std::sort(drives.begin(), drives.end(), [](const DriveEntry& a, const DriveEntry& b) {
        return LabelLess(QString::fromStdString(drive_label(a)),
                         QString::fromStdString(drive_label(b)));
    });
    for (const DriveEntry& drive : drives) {
        const int image = DriveImage(drive.kind);
        QTreeWidgetItem* item =
            InsertItem(nullptr, QString::fromStdString(drive_label(drive)), image, image + 1);
        item->setData(0, kRootPathRole, QFile::decodeName(drive.root.c_str()));
        InsertPlaceholder(item);
    }
}

void CLeftView::FillChildren(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const unsigned int data = item->data(0, kItemDataRole).toUInt();
    if ((data & kFilledFlag) != 0) {
        return;
    }
    item->setData(0, kItemDataRole, data | kFilledFlag);
    if (item->childCount() > 0) {
        delete item->takeChild(0);  // the placeholder
    }

    namespace fs = std::filesystem;
    struct Entry {
        QByteArray bytes;
        QString name;
        bool folder;
    };
    std::vector<Entry> entries;
    // Names are read as bytes: one that is not UTF-8 is listed all the same.
    // A file, or a folder that cannot be read, yields no entries.
    std::error_code error;
    fs::directory_iterator it(GetItemLocalPath(item).toStdString(), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string native = it->path().filename().native();
        const QByteArray bytes(native.data(), static_cast<qsizetype>(native.size()));
        if (bytes.startsWith('.')) {
            continue;
        }
        std::error_code kindError;
        const bool folder = it->is_directory(kindError);
        if (folder || bytes.contains(".vek")) {
            entries.push_back(Entry{bytes, DisplayName(bytes), folder});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return LabelLess(a.name, b.name); });
    for (const Entry& entry : entries) {
        QTreeWidgetItem* child =
            entry.folder ? InsertItem(item, entry.name, kImageFolder, kImageFolderSelected)
                         : InsertItem(item, entry.name, kImageEncrypted, kImageEncryptedSelected);
        child->setData(0, kLocalNameRole, entry.bytes);
        InsertPlaceholder(child);
    }
}

void CLeftView::GetItemPath(QTreeWidgetItem* item, QString& path) const {
    path = DisplayName(GetItemLocalPath(item));
}

QByteArray CLeftView::GetItemLocalPath(QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return QByteArray();
    }
    QList<QByteArray> names;
    const QTreeWidgetItem* node = item;
    while (node->parent() != nullptr) {
        const QVariant bytes = node->data(0, kLocalNameRole);
        names.prepend(bytes.isValid() ? bytes.toByteArray() : QFile::encodeName(node->text(0)));
        node = node->parent();
    }
    QByteArray path = QFile::encodeName(node->data(0, kRootPathRole).toString());
    for (const QByteArray& name : names) {
        if (!path.endsWith('/')) {
            path += '/';
        }
        path += name;
    }
    return path;
}

void CLeftView::AddEncryptedToList(QTreeWidgetItem* item) {
    const QByteArray path = GetItemLocalPath(item);
    if (item != nullptr && path.contains(".vek") && m_pDocument->m_pDecodeView != nullptr) {
        m_pDocument->m_pDecodeView->AddLocalFileToList(path);
    }
}

QTreeWidgetItem* CLeftView::GetSelectedItem() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

bool CLeftView::IsEncryptedPath(const QString& path) {
    return path.contains(QLatin1String(".vek"), Qt::CaseSensitive);
}

void CLeftView::SetBkColor(COLORREF color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, color == kDefaultColor
                                         ? QApplication::palette(this).color(QPalette::Base)
                                         : ColorFromColorRef(color));
    setPalette(palette);
}

void CLeftView::SetTextColor(COLORREF color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, color == kDefaultColor
                                         ? QApplication::palette(this).color(QPalette::Text)
                                         : ColorFromColorRef(color));
    setPalette(palette);
}

void CLeftView::OnItemExpanded(QTreeWidgetItem* item) {
    FillChildren(item);
}

void CLeftView::OnSelChanged() {
    QTreeWidgetItem* item = GetSelectedItem();
    if (item != nullptr) {
        if (CMainFrame* frame = GetParentFrame()) {
            frame->SetWindowText(QString::fromLatin1(kCaptionPrefix) + item->text(0) +
                                 QStringLiteral(">>"));
        }
    }
    m_pDocument->m_selectedLocalPath = GetItemLocalPath(item);
    m_pDocument->m_strSelectedPath = DisplayName(m_pDocument->m_selectedLocalPath);
}

void CLeftView::ShowStatusProgress() {
    if (m_bStatusProgressCreated != 0) {
        return;
    }
    m_bStatusProgressCreated = 1;
    CMainFrame* frame = GetParentFrame();
    if (frame == nullptr) {
        return;
    }
    // Pane 0's left edge + 300 to + 600, as tall as the pane; fixed from now on.
    const QRect pane = frame->GetItemRect(0);
    m_statusProgress = new QProgressBar(frame->m_wndStatusBar);
    m_statusProgress->setObjectName(QStringLiteral("StatusProgress"));
    m_statusProgress->setTextVisible(false);
    m_statusProgress->setGeometry(pane.left() + 300, pane.top(), 300, pane.height());
    m_statusProgress->setRange(0, 100);
    m_statusProgress->setValue(0);
    m_statusProgress->show();
    m_statusProgress->raise();
    // The status text ends where the bar begins.
    frame->EndMessagePaneAt(m_statusProgress->geometry().left());
    frame->SetPaneText(0, QStringLiteral("Start!"));
    frame->m_wndStatusBar->repaint();
}

}  // namespace vekdc
