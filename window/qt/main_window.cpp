#include "window/qt/main_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>

#include "desktop/application.h"
#include "desktop/dialogs.h"
#include "desktop/texts.h"
#include "platform/services.h"
#include "window/qt/decode_panel.h"
#include "window/qt/drive_tree.h"
#include "window/qt/status_panes.h"
#include "window/qt/texts.h"

namespace vekdc {

namespace {

constexpr int kStatusBarId = 59393;
constexpr int kFirstPaneId = 59648;

using desktop::text_id;

// The status bar's progress bar: at most this wide, and never more than this
// share of the status bar.
constexpr int kStatusProgressWidth = 300;
constexpr int kStatusProgressShare = 3;

// A key as the original platform names it: its virtual-key code and, in the
// high word of the key data, its scan code and whether it is an extended key.
struct KeyCode {
    int key;  // Qt::Key
    unsigned int virtualKey;
    unsigned int scanCode;  // 0: from the window system where it tells
    bool extended;
};

// Keys outside the digit, letter and function-key ranges (those follow from
// their Qt codes).
// clang-format off
constexpr KeyCode kKeyCodes[] = {
    // Qt key            VK     scan  extended
    {Qt::Key_Backspace,  0x08,  0,    false},
    {Qt::Key_Tab,        0x09,  0,    false},
    {Qt::Key_Backtab,    0x09,  0,    false},
    {Qt::Key_Return,     0x0D,  0,    false},
    {Qt::Key_Enter,      0x0D,  0,    false},
    {Qt::Key_Shift,      0x10,  0,    false},
    {Qt::Key_Control,    0x11,  0,    false},
    {Qt::Key_Alt,        0x12,  0,    false},
    {Qt::Key_Pause,      0x13,  0,    false},
    {Qt::Key_CapsLock,   0x14,  0,    false},
    {Qt::Key_Escape,     0x1B,  0,    false},
    {Qt::Key_Space,      0x20,  0,    false},
    {Qt::Key_PageUp,     0x21,  0x49, true},
    {Qt::Key_PageDown,   0x22,  0x51, true},
    {Qt::Key_End,        0x23,  0x4F, true},
    {Qt::Key_Home,       0x24,  0x47, true},
    {Qt::Key_Left,       0x25,  0x4B, true},
    {Qt::Key_Up,         0x26,  0x48, true},
    {Qt::Key_Right,      0x27,  0x4D, true},
    {Qt::Key_Down,       0x28,  0x50, true},
    {Qt::Key_Print,      0x2C,  0,    false},
    {Qt::Key_Insert,     0x2D,  0x52, true},
    {Qt::Key_Delete,     0x2E,  0x53, true},
    {Qt::Key_Meta,       0x5B,  0,    false},
    {Qt::Key_Menu,       0x5D,  0,    false},
    {Qt::Key_NumLock,    0x90,  0,    false},
    {Qt::Key_ScrollLock, 0x91,  0,    false},
};
// clang-format on

const KeyCode* FindKeyCode(int key) {
    for (const KeyCode& code : kKeyCodes) {
        if (code.key == key) {
            return &code;
        }
    }
    return nullptr;
}

// The Windows virtual-key code of a key, 0 for keys without one.
unsigned int VirtualKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<unsigned int>(key);  // same codes
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70u + static_cast<unsigned int>(key - Qt::Key_F1);
    }
    const KeyCode* code = FindKeyCode(key);
    return code != nullptr ? code->virtualKey : 0;
}

// The high word of the key data: scan code in bits 0-7, extended key in bit
// 8, previous key state in bit 14.
unsigned int KeyFlags(const QKeyEvent& event) {
    const KeyCode* code = FindKeyCode(event.key());
    const bool extended = code != nullptr && code->extended;
    unsigned int flags = 0;
    if (extended) {
        flags = code->scanCode | 0x100u;
    } else if (QGuiApplication::platformName() == QLatin1String("xcb") &&
               event.nativeScanCode() > 8) {
        // X11 key codes are the PC scan codes plus 8 for the main keys.
        flags = (event.nativeScanCode() - 8) & 0xffu;
    }
    if (event.isAutoRepeat()) {
        flags |= 0x4000u;
    }
    return flags;
}

}  // namespace

CMainFrame::CMainFrame(desktop::CVekDCDoc* document) : m_pDocument(document) {
    setObjectName(QStringLiteral("CMainFrame"));
    // The focus shows from the first focus on, not only after a key is typed.
    setAttribute(Qt::WA_KeyboardFocusChange);
    // The window system's usual size for a new main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize available = screen->availableGeometry().size();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    OnCreateClient();
    OnCreate();
    CreateCommands();
    m_pDocument->SetFrame(this);
    set_caption(desktop::frame_caption(m_pDocument->GetTitle()));
    setAcceptDrops(true);
    resize(InitialSize());
}

QSize CMainFrame::InitialSize() {
    const QWidget* form = m_pDecodeView->widget();
    // The tree at its narrow width beside the whole form, with what the
    // window puts around the splitter (menu, status bar, margins).
    layout()->activate();
    const QSize around = size() - m_wndSplitter->size();
    // The tree as narrow as F2 makes it: wide enough for its names.
    const int tree = std::max(desktop::drive_tree::kNarrowWidth, m_pLeftView->narrow_width());
    const QSize needed =
        QSize(tree + m_wndSplitter->handleWidth() + form->width(), form->height()) + around;
    QSize size = this->size().expandedTo(needed);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size());
    }
    return size;
}

void CMainFrame::RevealDecodePanel() {
    const QList<int> sizes = m_wndSplitter->sizes();
    if (sizes.value(1) > 0) {
        return;
    }
    const int total = m_wndSplitter->width();
    const int tree = std::min(desktop::drive_tree::kNarrowWidth, total / 2);
    m_wndSplitter->setSizes({tree, std::max(0, total - tree - m_wndSplitter->handleWidth())});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_pDocument->m_bDecoding != 0) {
        event->ignore();
        m_pDecodeView->CloseAfterRun();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QList<QByteArray> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        // Anything but a local file counts as neither file nor folder. The
        // path's bytes are taken as given: a name need not be UTF-8.
        paths << (url.isLocalFile()
                      ? QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())
                      : QByteArray());
    }
    event->acceptProposedAction();
    m_pDecodeView->AddLocalPaths(paths);
}

bool CMainFrame::OnCreateClient() {
    const int clientWidth = width();
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setObjectName(QStringLiteral("AFX_IDW_PANE_FIRST_%1").arg(kFirstPaneId));
    m_wndSplitter->setChildrenCollapsible(true);
    m_wndSplitter->setOpaqueResize(true);

    // The tree pane first, the panel second: the document's views follow this order.
    m_pLeftView = new CLeftView(m_pDocument, m_wndSplitter);
    m_pDecodeView = new CVekDCView(m_pDocument, m_wndSplitter);
    m_wndSplitter->addWidget(m_pLeftView);
    m_wndSplitter->addWidget(m_pDecodeView);
    m_pDocument->AddView(&m_pLeftView->Core());
    m_pDocument->AddView(&m_pDecodeView->Core());
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);

    // The tree's column starts as wide as the window: the panel stays
    // collapsed at the right edge until the bar is dragged or F2 is pressed.
    m_wndSplitter->setSizes({clientWidth, 0});
    setCentralWidget(m_wndSplitter);
    // Keys that the panes leave unhandled end at the splitter.
    m_wndSplitter->installEventFilter(this);
    return true;
}

int CMainFrame::OnCreate() {
    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setAccessibleName(Text(text_id::status_bar_name));
    m_wndStatusBar->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR_%1").arg(kStatusBarId));
    setStatusBar(m_wndStatusBar);

    m_messagePane = new MessagePane(m_wndStatusBar);
    m_messagePane->setObjectName(QStringLiteral("StatusPane0"));
    m_messagePane->SetMessage(Text(text_id::ready));
    m_wndStatusBar->addWidget(m_messagePane, 1);
    m_panes[0] = m_messagePane;

    for (std::size_t i = 0; i < platform::kLockKeyCount; ++i) {
        const desktop::lock_pane& pane = desktop::kLockPanes[i];
        auto* indicator = new IndicatorPane(Text(pane.lit_text), Text(pane.name), m_wndStatusBar);
        indicator->setObjectName(QStringLiteral("StatusPane%1").arg(i + 1));
        m_wndStatusBar->addPermanentWidget(indicator);
        m_panes[i + 1] = indicator;
    }
    // Lit only while their lock is on, where the window system tells it.
    m_lockKeys = std::make_unique<platform::LockKeyWatcher>(
        [this](const platform::LockKeyLights& lights) { ShowLockKeys(lights); });
    ShowLockKeys(m_lockKeys->lights());
    m_wndStatusBar->installEventFilter(this);
    return 0;
}

void CMainFrame::ShowLockKeys(const platform::LockKeyLights& lights) {
    for (std::size_t i = 0; i < platform::kLockKeyCount; ++i) {
        static_cast<IndicatorPane*>(m_panes[i + 1])->SetLit(lights[i]);
    }
}

void CMainFrame::AttachStatusProgress(QWidget* bar) {
    m_statusProgress = bar;
    // No taller than the text beside it: the status bar keeps its height
    // when the bar shows.
    bar->setMaximumHeight(m_messagePane->sizeHint().height());
    m_wndStatusBar->insertWidget(1, bar, 0);
    bar->hide();
    FitStatusProgress();
}

void CMainFrame::ShowStatusProgressBar(bool shown) {
    if (m_statusProgress != nullptr) {
        m_statusProgress->setVisible(shown);
        m_wndStatusBar->repaint();
    }
}

void CMainFrame::FitStatusProgress() {
    if (m_statusProgress != nullptr) {
        m_statusProgress->setFixedWidth(
            std::min(kStatusProgressWidth, m_wndStatusBar->width() / kStatusProgressShare));
    }
}

void CMainFrame::CreateCommands() {
    auto command = [this](int id, const QList<QKeySequence>& keys) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("ID_%1").arg(id));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_commands[id] = action;
        return action;
    };
    // The accelerator table. Save and the edit commands have no handler, so
    // their keys do nothing (edit boxes still handle their own keys).
    command(ID_FILE_NEW, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    command(ID_FILE_OPEN, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    command(ID_FILE_SAVE, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    command(ID_EDIT_UNDO,
            {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    command(ID_EDIT_CUT,
            {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    command(ID_EDIT_COPY,
            {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    command(ID_EDIT_PASTE,
            {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    connect(command(ID_NEXT_PANE, {QKeySequence(Qt::Key_F6)}), &QAction::triggered, this,
            [this] { ActivatePane(1); });
    connect(command(ID_PREV_PANE, {QKeySequence(Qt::SHIFT | Qt::Key_F6)}), &QAction::triggered,
            this, [this] { ActivatePane(-1); });

    QMenu* help = menuBar()->addMenu(Text(text_id::help_menu));
    // The window's keys, for whoever looks for them in the program.
    QAction* keys = help->addAction(Text(text_id::keys_item));
    keys->setObjectName(QStringLiteral("ShowKeys"));
    connect(keys, &QAction::triggered, this, [] { desktop::show_keys(); });
    QAction* about = help->addAction(Text(text_id::about_item));
    about->setObjectName(QStringLiteral("ID_%1").arg(ID_APP_ABOUT));
    about->setToolTip(Text(text_id::about_short));
    m_commands[ID_APP_ABOUT] = about;
    // The menu item's prompt while it is highlighted, the idle text afterwards.
    connect(about, &QAction::hovered, this,
            [this] { SetPaneText(0, Text(text_id::about_prompt)); });
    connect(help, &QMenu::aboutToHide, this, [this] { SetPaneText(0, Text(text_id::ready)); });
}

QAction* CMainFrame::GetCommand(int id) const {
    const auto found = m_commands.find(id);
    return found != m_commands.end() ? found->second : nullptr;
}

void CMainFrame::SetPaneText(int index, const QString& text, bool update) {
    if (index < 0 || index >= kStatusPaneCount) {
        return;
    }
    QLabel* pane = m_panes[static_cast<std::size_t>(index)];
    if (index == 0) {
        m_messagePane->SetMessage(text);
    } else {
        pane->setText(text);
    }
    if (update) {
        pane->repaint();
    }
}

QString CMainFrame::GetPaneText(int index) const {
    if (index < 0 || index >= kStatusPaneCount) {
        return QString();
    }
    return m_panes[static_cast<std::size_t>(index)]->text();
}

QRect CMainFrame::GetItemRect(int index) const {
    if (index < 0 || index >= kStatusPaneCount) {
        return QRect();
    }
    return m_panes[static_cast<std::size_t>(index)]->geometry();
}

void CMainFrame::set_caption(const std::string& text) {
    SetWindowText(QString::fromStdString(text));
}

void CMainFrame::set_status_text(const std::string& text) {
    SetPaneText(0, QString::fromStdString(text));
}

void CMainFrame::announce(const std::string& text) {
    // Heard, not seen: the message pane's description changes and a screen
    // reader is alerted to it.
    m_messagePane->setAccessibleDescription(QString::fromStdString(text));
    QAccessibleEvent event(m_messagePane, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

void CMainFrame::set_document_commands_enabled(bool enabled) {
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN}) {
        if (QAction* command = GetCommand(id)) {
            command->setEnabled(enabled);
        }
    }
}

void CMainFrame::SetWindowText(const QString& text) {
    QString escaped = text;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(escaped);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_wndStatusBar && event->type() == QEvent::Resize) {
        FitStatusProgress();
    }
    // A key typed in the tree or the panel never reaches the frame.
    if (watched == m_wndSplitter && event->type() == QEvent::KeyPress) {
        event->accept();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus == this) {
        OnKeyDown(VirtualKeyCode(*event), 1, KeyFlags(*event));
    }
    QMainWindow::keyPressEvent(event);
}

void CMainFrame::OnKeyDown(unsigned int virtualKey, unsigned int /*repeatCount*/,
                           unsigned int flags) {
    const QString text = QStringLiteral("char [%1] flg[%2]")
                             .arg(virtualKey, 2, 16, QLatin1Char('0'))
                             .arg(flags, 8, 16, QLatin1Char('0'));
    platform::services().message_box(text.toStdString(), platform::kAppTitle, platform::Buttons::Ok,
                                     platform::Icon::None);
}

void CMainFrame::ActivatePane(int step) {
    QWidget* panes[] = {m_pLeftView, m_pDecodeView};
    int current = -1;
    const QWidget* focus = QApplication::focusWidget();
    for (int i = 0; i < 2; ++i) {
        if (focus != nullptr && (focus == panes[i] || panes[i]->isAncestorOf(focus))) {
            current = i;
        }
    }
    const int next = current < 0 ? (step > 0 ? 0 : 1) : (current + step + 2) % 2;
    // Only a pane that shows takes the focus: while the panel is collapsed,
    // the tree.
    if (next == 0 || m_pDecodeView->width() == 0) {
        m_pLeftView->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The panel gives the focus back to the control that had it last.
    QWidget* form = m_pDecodeView->widget();
    QWidget* control = form->focusWidget();
    if (control == nullptr) {
        control = m_pDecodeView->GetDlgItem(CVekDCView::IDC_SET_OUT_DIR);
    }
    control->setFocus(Qt::OtherFocusReason);
}

}  // namespace vekdc
