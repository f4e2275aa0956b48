#include "app/VekDCView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/DialogTemplate.h"
#include "app/UiMetrics.h"
#include "app/VekDCDoc.h"
#include "browser/FileNames.h"
#include "browser/LeftView.h"
#include "browser/MainFrm.h"
#include "platform/language.h"
#include "platform/services.h"

namespace vekdc {

namespace {

constexpr const char* kContext = "vekdc::CVekDCView";

// Dialog 130: the form, 233 x 331 dialog units, font "ＭＳ Ｐゴシック" 9 pt.
// Template order is the tab order.
// clang-format off
constexpr DialogItem kDecodeFormItems[] = {
//   id                            kind                     text                                                     x    y   cx   cy
    {CVekDCView::IDC_SET_OUT_DIR,  ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "→出力先に指定"),       7,  15,  66, 14},
    {CVekDCView::IDC_DELETE_ITEMS, ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "－項目を削除"),      125, 175, 101, 14},
    {CVekDCView::IDC_FILE_LIST,    ControlKind::ListBox,    nullptr,                                                 27,  97, 199, 70},
    {CVekDCView::IDC_PROGRESS,     ControlKind::Progress,   nullptr,                                                 29, 232, 197, 14},
    {CVekDCView::IDC_OUT_DIR,      ControlKind::Edit,       nullptr,                                                 30,  39, 196, 14},
    {CVekDCView::IDC_DECODE,       ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "！デコード実行"),      7, 209,  67, 14},
    // Shown in the decode button's place while a run is active.
    {CVekDCView::IDC_CANCEL,       ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "中止"),                7, 209,  67, 14},
    {IDC_STATIC,                   ControlKind::Static,     QT_TRANSLATE_NOOP("vekdc::CVekDCView", "入力ファイルリスト"), 167,  80,  59,  8, "ListLabel"},
    {CVekDCView::IDC_ADD_TO_LIST,  ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "→リストに追加"),       7,  75,  66, 14},
    {CVekDCView::IDC_CLEAR_LIST,   ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "×初期化"),           17, 175,  97, 14},
    {CVekDCView::IDC_SET_KEY,      ControlKind::PushButton, QT_TRANSLATE_NOOP("vekdc::CVekDCView", "キーの設定"),          7, 260,  67, 14},
    {CVekDCView::IDC_KEY_PATH,     ControlKind::Edit,       nullptr,                                                 31, 280, 195, 14},
};
// clang-format on
constexpr DialogTemplate kDecodeForm{kContext, 233, 331, kDecodeFormItems};

// Sorted order of the input list: letter case ignored first, then respected.
bool ListsBefore(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

}  // namespace

CVekDCView::CVekDCView(CVekDCDoc* document, QWidget* parent)
    : QScrollArea(parent), m_pDocument(document) {
    setObjectName(QStringLiteral("CVekDCView"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    // Until the first initial update the panel has the system's button face.
    m_crBack = palette().color(QPalette::Button);
    m_brBack = QBrush(m_crBack);
    CreateControls();
    OnCtlColor();
}

CVekDCView::~CVekDCView() = default;

void CVekDCView::CreateControls() {
    m_form = new QWidget;
    m_form->setObjectName(QStringLiteral("DecodeForm"));
    m_form->setFont(JapaneseUiFont());
    m_form->setAutoFillBackground(true);
    m_dialog = std::make_unique<DialogControls>(kDecodeForm, m_form);

    m_fileList = qobject_cast<QListWidget*>(m_dialog->Item(IDC_FILE_LIST));
    m_fileList->setSelectionMode(QAbstractItemView::MultiSelection);
    m_fileList->setFlow(QListView::TopToBottom);  // entries fill columns
    m_fileList->setWrapping(true);
    m_fileList->setUniformItemSizes(true);  // lays out tens of thousands of entries at once
    m_fileList->setResizeMode(QListView::Adjust);
    m_fileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_fileList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_progress = qobject_cast<QProgressBar*>(m_dialog->Item(IDC_PROGRESS));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_outDir = qobject_cast<QLineEdit*>(m_dialog->Item(IDC_OUT_DIR));
    m_keyPath = qobject_cast<QLineEdit*>(m_dialog->Item(IDC_KEY_PATH));
    m_decode = qobject_cast<QPushButton*>(m_dialog->Item(IDC_DECODE));
    m_cancel = qobject_cast<QPushButton*>(m_dialog->Item(IDC_CANCEL));
    m_cancel->hide();
    m_dialog->LayOut();
    setWidget(m_form);

    auto clicked = [this](int id, auto handler) {
        connect(qobject_cast<QPushButton*>(m_dialog->Item(id)), &QPushButton::clicked, this,
                handler);
    };
    clicked(IDC_DECODE, [this] { StartDecode(); });
    clicked(IDC_ADD_TO_LIST, [this] { AddLocalFileToList(SelectedLocalPath()); });
    clicked(IDC_SET_OUT_DIR, [this] { SetOutDirFromSelection(); });
    clicked(IDC_CLEAR_LIST, [this] { ClearFileList(); });
    clicked(IDC_DELETE_ITEMS, [this] { DeleteSelectedFiles(); });
    clicked(IDC_SET_KEY, [this] { ChooseKeyFile(); });
    clicked(IDC_CANCEL, [this] { CancelDecode(); });
    m_cancelAction = new QAction(this);
    m_cancelAction->setObjectName(QStringLiteral("CancelDecode"));
    m_cancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelAction->setShortcutContext(Qt::WindowShortcut);
    m_cancelAction->setEnabled(false);
    connect(m_cancelAction, &QAction::triggered, this, &CVekDCView::CancelDecode);
}

CMainFrame* CVekDCView::GetParentFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

QWidget* CVekDCView::GetDlgItem(int id) const {
    return id == IDC_STATIC ? nullptr : m_dialog->Item(id);
}

void CVekDCView::OnInitialUpdate() {
    SetPanelColor(kIdleRed, kIdleGreen, kIdleBlue);
    QString desktop;
    GetDesktopFolder(desktop);
    m_outDir->setText(desktop);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
}

int CVekDCView::AddFileToList(const QString& path) {
    return AddLocalFileToList(QFile::encodeName(path));
}

QString CVekDCView::IndexKey(const QByteArray& path) {
    // A name that is not UTF-8 is only ever equal to its own bytes.
    return IsUtf8(path) ? QString::fromUtf8(path).toCaseFolded()
                        : QStringLiteral("\u0001") + QString::fromLatin1(path);
}

int CVekDCView::AddLocalFileToList(const QByteArray& path) {
    if (!m_listIndex.insert(IndexKey(path)).second) {
        return 0;
    }
    const QString shown = DisplayName(path);
    // The list is kept sorted: the first entry that sorts after the path.
    int low = 0;
    int high = m_fileList->count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (ListsBefore(shown, m_fileList->item(middle)->text())) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    auto* item = new QListWidgetItem(shown);
    item->setData(Qt::UserRole, path);
    m_fileList->insertItem(low, item);
    return 0;
}

int CVekDCView::AddLocalPaths(const QList<QByteArray>& paths) {
    namespace fs = std::filesystem;
    if (m_pDocument->m_bDecoding != 0) {
        SetStatusText(tr("現在、デコード実行中です。"));
        return static_cast<int>(paths.size());
    }
    int ignored = 0;
    for (const QByteArray& path : paths) {
        std::error_code error;
        const fs::path target =
            path.isEmpty() ? fs::path() : fs::absolute(path.toStdString(), error);
        const fs::file_status status = fs::status(target, error);
        if (path.isEmpty() || error) {
            ++ignored;
        } else if (fs::is_directory(status)) {
            // As Enter on a folder in the tree: its own encrypted files.
            for (fs::directory_iterator it(target, error), end; !error && it != end;
                 it.increment(error)) {
                const std::string name = it->path().filename().native();
                std::error_code kindError;
                if (name.front() != '.' && it->is_regular_file(kindError)) {
                    const QByteArray file = QByteArray::fromStdString(it->path().native());
                    if (file.contains(".vek")) {
                        AddLocalFileToList(file);
                    }
                }
            }
        } else if (fs::is_regular_file(status)) {
            AddLocalFileToList(QByteArray::fromStdString(target.native()));
        } else {
            ++ignored;
        }
    }
    if (ignored > 0) {
        SetStatusText(tr("ファイルでもフォルダでもないもの %1 個を無視しました。").arg(ignored));
    }
    return ignored;
}

QByteArray CVekDCView::SelectedLocalPath() const {
    // The bytes of the tree's selection, unless the shown path was set apart from them.
    const QByteArray& local = m_pDocument->m_selectedLocalPath;
    return DisplayName(local) == m_pDocument->m_strSelectedPath
               ? local
               : QFile::encodeName(m_pDocument->m_strSelectedPath);
}

void CVekDCView::SetOutDirFromSelection() {
    m_outDir->setText(m_pDocument->m_strSelectedPath);
}

int CVekDCView::ClearFileList() {
    m_fileList->clear();
    m_listIndex.clear();
    m_pDocument->m_fileList.clear();
    return 0;
}

void CVekDCView::DeleteSelectedFiles() {
    std::vector<int> rows;
    for (const QModelIndex& index : m_fileList->selectionModel()->selectedIndexes()) {
        rows.push_back(index.row());
    }
    // From the last to the first, so that the remaining rows stay valid.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : rows) {
        QListWidgetItem* item = m_fileList->takeItem(row);
        m_listIndex.erase(IndexKey(item->data(Qt::UserRole).toByteArray()));
        delete item;
    }
}

void CVekDCView::ChooseKeyFile() {
    platform::FileDialogRequest request;
    request.filter = tr("Vekキーファイル|*.key|すべて|*.*||").toStdString();
    request.default_ext = "key";
    const auto chosen = platform::services().open_file(request);
    QString status;
    if (chosen) {
        m_pDocument->m_strKeyPath = QFile::decodeName(chosen->c_str());
        status = tr("キー「%1」が設定されました。").arg(m_pDocument->m_strKeyPath);
    } else {
        status = tr("キーは設定されませんでした。");
    }
    m_keyPath->setText(m_pDocument->m_strKeyPath);
    SetStatusText(status);
}

void CVekDCView::SetPanelColor(int red, int green, int blue) {
    m_crBack = QColor(red, green, blue);
    m_brBack = QBrush(m_crBack);
    OnCtlColor();
    update();
    viewport()->update();
}

void CVekDCView::OnCtlColor() {
    for (QWidget* surface : {static_cast<QWidget*>(viewport()), m_form}) {
        QPalette palette = surface->palette();
        palette.setBrush(QPalette::Window, m_brBack);
        surface->setPalette(palette);
    }
}

int CVekDCView::GetDesktopFolder(QString& path) {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty()) {
        platform::app_message("err : 1");
        return -1;
    }
    if (QDir(desktop).exists()) {
        path = desktop;
        return 0;
    }
    // Many Linux desktops have no desktop folder; the home folder always exists.
    const QString home = QDir::homePath();
    if (home.isEmpty() || !QDir(home).exists()) {
        platform::app_message("err : 2");
        return -2;
    }
    path = home;
    return 0;
}

QStringList CVekDCView::GetFileListEntries() const {
    QStringList entries;
    entries.reserve(m_fileList->count());
    for (int row = 0; row < m_fileList->count(); ++row) {
        entries << m_fileList->item(row)->text();
    }
    return entries;
}

QList<QByteArray> CVekDCView::GetFileListPaths() const {
    QList<QByteArray> paths;
    paths.reserve(m_fileList->count());
    for (int row = 0; row < m_fileList->count(); ++row) {
        paths << m_fileList->item(row)->data(Qt::UserRole).toByteArray();
    }
    return paths;
}

void CVekDCView::SetStatusText(const QString& text) {
    if (CMainFrame* frame = GetParentFrame()) {
        frame->SetPaneText(0, text);
    }
}

void CVekDCView::ShowNotice(const QString& text) {
    platform::services().message_box(text.toStdString(),
                                     platform::notice(platform::kDecoderCaption),
                                     platform::Buttons::Ok, platform::Icon::Information);
}

}  // namespace vekdc
