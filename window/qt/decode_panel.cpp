#include "window/qt/decode_panel.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>

#include "desktop/contrast.h"
#include "desktop/document.h"
#include "platform/qt/ui_thread_services.h"
#include "platform/services.h"
#include "window/qt/dialog_controls.h"
#include "window/qt/file_list_model.h"
#include "window/qt/fonts.h"
#include "window/qt/main_window.h"
#include "window/qt/texts.h"

namespace vekdc {

namespace {

// The services of a run's worker, installed for the run: the worker's boxes,
// dialogs and the end of the process are carried out on the window's thread.
class MarshalledServices {
public:
    MarshalledServices()
        : marshalled_(platform::services()), previous_(platform::install(&marshalled_)) {}
    ~MarshalledServices() { platform::install(previous_); }
    MarshalledServices(const MarshalledServices&) = delete;
    MarshalledServices& operator=(const MarshalledServices&) = delete;

private:
    platform::UiThreadServices marshalled_;
    platform::Services* previous_;
};

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

CVekDCView::CVekDCView(desktop::CVekDCDoc* document, QWidget* parent)
    : QScrollArea(parent), m_panel(*document, *this) {
    setObjectName(QStringLiteral("CVekDCView"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    CreateControls();
    // Until the first initial update the panel has the system's button face.
    const QColor face = palette().color(QPalette::Button);
    set_panel_colour(desktop::rgb{face.red(), face.green(), face.blue()});
    ConnectButtons();
}

CVekDCView::~CVekDCView() = default;

void CVekDCView::CreateControls() {
    m_form = new QWidget;
    m_form->setObjectName(QStringLiteral("DecodeForm"));
    m_form->setFont(JapaneseUiFont());
    m_form->setAutoFillBackground(true);
    m_dialog = std::make_unique<DialogControls>(desktop::decode_form(), m_form);

    m_fileList = qobject_cast<QListView*>(m_dialog->Item(IDC_FILE_LIST));
    m_model = new FileListModel(m_panel.GetDocument().m_fileList, this);
    m_fileList->setModel(m_model);
    m_fileList->setItemDelegate(new FileListDelegate(m_fileList));
    m_fileList->setSelectionMode(QAbstractItemView::MultiSelection);
    m_fileList->setFlow(QListView::TopToBottom);  // entries fill columns
    m_fileList->setWrapping(true);
    // Every entry as wide as the widest: tens of thousands laid out at once.
    m_fileList->setUniformItemSizes(true);
    m_fileList->setResizeMode(QListView::Adjust);
    m_fileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_fileList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_progress = qobject_cast<QProgressBar*>(m_dialog->Item(IDC_PROGRESS));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_outDir = qobject_cast<QLineEdit*>(m_dialog->Item(IDC_OUT_DIR));
    m_keyPath = qobject_cast<QLineEdit*>(m_dialog->Item(IDC_KEY_PATH));
    // The key is chosen with キーの設定 only: the box shows it (and can be
    // read and copied), but takes no typing.
    m_keyPath->setReadOnly(true);
    m_decode = qobject_cast<QPushButton*>(m_dialog->Item(IDC_DECODE));
    m_cancel = qobject_cast<QPushButton*>(m_dialog->Item(IDC_CANCEL));
    m_cancel->hide();
    m_dialog->LayOut();
    setWidget(m_form);
}

void CVekDCView::ConnectButtons() {
    // A control that gets the focus scrolls into sight (a panel smaller than
    // its form scrolls).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* /*old*/, QWidget* now) {
        if (now != nullptr && m_form->isAncestorOf(now)) {
            ensureWidgetVisible(now);
        }
    });
    auto clicked = [this](int id, auto handler) {
        connect(qobject_cast<QPushButton*>(m_dialog->Item(id)), &QPushButton::clicked, this,
                handler);
    };
    clicked(IDC_DECODE, [this] { StartDecode(); });
    clicked(IDC_ADD_TO_LIST, [this] { m_panel.AddSelectionToList(); });
    clicked(IDC_SET_OUT_DIR, [this] { m_panel.SetOutDirFromSelection(); });
    clicked(IDC_CLEAR_LIST, [this] { m_panel.ClearFileList(); });
    clicked(IDC_DELETE_ITEMS, [this] { m_panel.DeleteSelectedFiles(); });
    clicked(IDC_SET_KEY, [this] { m_panel.ChooseKeyFile(); });
    clicked(IDC_CANCEL, [this] { m_panel.CancelDecode(); });
    m_cancelAction = new QAction(this);
    m_cancelAction->setObjectName(QStringLiteral("CancelDecode"));
    m_cancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_cancelAction->setShortcutContext(Qt::WindowShortcut);
    m_cancelAction->setEnabled(false);
    connect(m_cancelAction, &QAction::triggered, this, [this] { m_panel.CancelDecode(); });

    // Return presses the focused button, or else the panel's default button,
    // ！デコード実行; Delete in the list removes the selected entries.
    auto* defaultButton = new QAction(m_form);
    defaultButton->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    defaultButton->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_form->addAction(defaultButton);
    connect(defaultButton, &QAction::triggered, this, [this] {
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        QPushButton* button =
            focused != nullptr && m_form->isAncestorOf(focused) ? focused : m_decode;
        if (button->isVisible() && button->isEnabled()) {
            button->click();
        }
    });
    auto* deleteEntries = new QAction(m_fileList);
    deleteEntries->setShortcut(QKeySequence(QKeySequence::Delete));
    deleteEntries->setShortcutContext(Qt::WidgetShortcut);
    m_fileList->addAction(deleteEntries);
    connect(deleteEntries, &QAction::triggered, this, [this] { m_panel.DeleteSelectedFiles(); });
}

void CVekDCView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    // A collapsed panel shows nothing, so none of its controls may take the
    // focus (F6, Tab) or a key.
    m_form->setEnabled(width() > 0);
}

CMainFrame* CVekDCView::GetParentFrame() const {
    return qobject_cast<CMainFrame*>(window());
}

QWidget* CVekDCView::GetDlgItem(int id) const {
    return id == IDC_STATIC ? nullptr : m_dialog->Item(id);
}

int CVekDCView::AddFileToList(const QString& path) {
    return m_panel.AddFileToList(QFile::encodeName(path).toStdString());
}

int CVekDCView::AddLocalPaths(const QList<QByteArray>& paths) {
    std::vector<std::string> given;
    for (const QByteArray& path : paths) {
        given.push_back(path.toStdString());
    }
    return static_cast<int>(m_panel.AddLocalPaths(given).ignored);
}

int CVekDCView::GetDesktopFolder(QString& path) {
    std::string folder;
    const int result = m_panel.GetDesktopFolder(folder);
    if (result == 0) {
        path = QFile::decodeName(folder.c_str());
    }
    return result;
}

int CVekDCView::StartDecode() {
    WaitCursor wait;
    return m_panel.StartDecode();
}

QColor CVekDCView::PanelColor() const {
    const desktop::rgb colour = m_panel.GetPanelColor();
    return QColor(colour.red, colour.green, colour.blue);
}

QStringList CVekDCView::GetFileListEntries() const {
    QStringList entries;
    for (const desktop::list_entry& entry : m_panel.GetDocument().m_fileList.entries()) {
        entries << QString::fromStdString(entry.shown);
    }
    return entries;
}

QList<QByteArray> CVekDCView::GetFileListPaths() const {
    QList<QByteArray> paths;
    for (const desktop::list_entry& entry : m_panel.GetDocument().m_fileList.entries()) {
        paths << QByteArray::fromStdString(entry.path);
    }
    return paths;
}

std::string CVekDCView::output_folder() const {
    return m_outDir->text().toStdString();
}

void CVekDCView::set_output_folder(const std::string& folder) {
    m_outDir->setText(QString::fromStdString(folder));
}

void CVekDCView::show_key_path(const std::string& path) {
    m_keyPath->setText(QString::fromStdString(path));
}

std::vector<std::size_t> CVekDCView::selected_entries() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : m_fileList->selectionModel()->selectedIndexes()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    return rows;
}

void CVekDCView::set_panel_colour(desktop::rgb colour) {
    // The panel and the surroundings of its buttons and label; edit boxes and
    // the list keep the system colours.
    const QBrush brush(QColor(colour.red, colour.green, colour.blue));
    // Text straight on the panel (the list's label) is black or white, as the
    // colour needs, whatever the system's palette says.
    const desktop::rgb text = desktop::text_colour_on(colour);
    const QColor textColour(text.red, text.green, text.blue);
    for (QWidget* surface : {static_cast<QWidget*>(viewport()), m_form}) {
        QPalette palette = surface->palette();
        palette.setBrush(QPalette::Window, brush);
        for (const QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::WindowText, textColour);
        }
        surface->setPalette(palette);
    }
    update();
    viewport()->update();
}

void CVekDCView::set_progress(int percent) {
    m_progress->setRange(0, 100);
    m_progress->setValue(percent);
    emit progressChanged(percent);
}

void CVekDCView::set_running(bool running) {
    if (running) {
        m_runStartedFrom = QApplication::focusWidget();
        // The focus goes straight to 中止 (or, with the panel collapsed, to
        // the splitter, which takes no keys), not through the controls as
        // they are disabled one by one.
        m_decode->hide();
        m_cancel->show();
        m_cancel->setEnabled(true);
        CMainFrame* frame = GetParentFrame();
        if (width() > 0 || frame == nullptr) {
            m_cancel->setFocus(Qt::OtherFocusReason);
        } else {
            frame->m_wndSplitter->setFocus(Qt::OtherFocusReason);
        }
        if (frame != nullptr) {
            frame->addAction(m_cancelAction);
        }
    }
    for (std::size_t i = 0; i < m_dialog->Count(); ++i) {
        QWidget* control = m_dialog->At(i);
        if (control != m_cancel && control != m_progress) {
            control->setEnabled(!running);
        }
    }
    m_cancelAction->setEnabled(running);
    if (!running) {
        m_cancel->hide();
        m_decode->show();
        // Back to where the run was started (the tree or the panel).
        const QPointer<QWidget> origin = m_runStartedFrom;
        m_runStartedFrom.clear();
        if (origin != nullptr && origin->isEnabled() && origin->isVisible()) {
            origin->setFocus(Qt::OtherFocusReason);
        }
    }
}

void CVekDCView::wait_for_run(desktop::decode_run& run) {
    // The engine runs on a worker; this thread keeps the window alive and
    // carries out the worker's boxes, dialogs and the end of the process.
    MarshalledServices marshalled;
    QEventLoop loop;
    QTimer refresh;
    refresh.setInterval(m_refreshIntervalMs);
    connect(&refresh, &QTimer::timeout, this,
            [this, &run] { m_panel.ShowRunProgress(run.progress()); });
    refresh.start();
    run.start(
        [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
    run.join();
    refresh.stop();
}

void CVekDCView::entry_inserted(std::size_t index) {
    m_model->Inserted(index);
}

void CVekDCView::entry_removed(std::size_t index) {
    m_model->Removed(index);
}

void CVekDCView::list_cleared() {
    m_model->Cleared();
}

}  // namespace vekdc
