#include "browser/MainFrm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>

#include "app/VekDCDoc.h"
#include "app/VekDCView.h"
#include "browser/LeftView.h"
#include "platform/services.h"

namespace vekdc {

namespace {

constexpr int kStatusBarId = 59393;
constexpr int kFirstPaneId = 59648;

const char* const kIdleMessage = "ﾚﾃﾞｨ";
const char* const kAboutPrompt = "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示";
const char* const kAboutShortName = "ﾊﾞｰｼﾞｮﾝ情報";

// The indicator panes after the message pane: kana lock, caps, num and scroll lock.
const char* const kIndicatorTexts[] = {"ｶﾅ", "CAP", "NUM", "SCRL"};

// The Windows virtual-key code of a key, 0 for keys without one.
unsigned int VirtualKeyCode(const QKeyEvent& event) {
    const int key = event.key();
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<unsigned int>(key);  // same codes
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70u + static_cast<unsigned int>(key - Qt::Key_F1);
    }
    switch (key) {
        case Qt::Key_Backspace:
            return 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Shift:
            return 0x10;
        case Qt::Key_Control:
            return 0x11;
        case Qt::Key_Alt:
            return 0x12;
        case Qt::Key_Pause:
            return 0x13;
        case Qt::Key_CapsLock:
            return 0x14;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Space:
            return 0x20;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Left:
            return 0x25;
        case Qt::Key_Up:
            return 0x26;
        case Qt::Key_Right:
            return 0x27;
        case Qt::Key_Down:
            return 0x28;
        case Qt::Key_Print:
            return 0x2C;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        case Qt::Key_Meta:
            return 0x5B;
        case Qt::Key_Menu:
            return 0x5D;
        case Qt::Key_NumLock:
            return 0x90;
        case Qt::Key_ScrollLock:
            return 0x91;
        default:
            return 0;
    }
}

// The high word of the key data: scan code in bits 0-7, extended key in bit
// 8, previous key state in bit 14.
unsigned int KeyFlags(const QKeyEvent& event) {
    unsigned int scan = 0;
    bool extended = true;
    switch (event.key()) {
        case Qt::Key_Up:
            scan = 0x48;
            break;
        case Qt::Key_Down:
            scan = 0x50;
            break;
        case Qt::Key_Left:
            scan = 0x4B;
            break;
        case Qt::Key_Right:
            scan = 0x4D;
            break;
        case Qt::Key_Home:
            scan = 0x47;
            break;
        case Qt::Key_End:
            scan = 0x4F;
            break;
        case Qt::Key_PageUp:
            scan = 0x49;
            break;
        case Qt::Key_PageDown:
            scan = 0x51;
            break;
        case Qt::Key_Insert:
            scan = 0x52;
            break;
        case Qt::Key_Delete:
            scan = 0x53;
            break;
        default:
            extended = false;
            // X11 key codes are the PC scan codes plus 8 for the main keys.
            if (QGuiApplication::platformName() == QLatin1String("xcb") &&
                event.nativeScanCode() > 8) {
                scan = (event.nativeScanCode() - 8) & 0xffu;
            }
            break;
    }
    unsigned int flags = scan;
    if (extended) {
        flags |= 0x100u;
    }
    if (event.isAutoRepeat()) {
        flags |= 0x4000u;
    }
    return flags;
}

}  // namespace

CMainFrame::CMainFrame(CVekDCDoc* document) : m_pDocument(document) {
    setObjectName(QStringLiteral("CMainFrame"));
    // The window system's usual size for a new main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize available = screen->availableGeometry().size();
        resize(available.width() * 3 / 4, available.height() * 3 / 4);
    }
    OnCreateClient();
    OnCreate();
    CreateCommands();
    connect(m_pDocument, &CVekDCDoc::titleChanged, this, &CMainFrame::OnUpdateFrameTitle);
    OnUpdateFrameTitle();
    setAcceptDrops(true);
}

void CMainFrame::RevealDecodePanel() {
    const QList<int> sizes = m_wndSplitter->sizes();
    if (sizes.value(1) > 0) {
        return;
    }
    const int total = m_wndSplitter->width();
    const int tree = std::min(CLeftView::kNarrowWidth, total / 2);
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
    RevealDecodePanel();
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
    m_pDocument->AddView(m_pLeftView);
    m_pDocument->AddView(m_pDecodeView);
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
    m_wndStatusBar->setObjectName(QStringLiteral("AFX_IDW_STATUS_BAR_%1").arg(kStatusBarId));
    setStatusBar(m_wndStatusBar);

    auto* message = new QLabel(QString::fromUtf8(kIdleMessage), m_wndStatusBar);
    message->setObjectName(QStringLiteral("StatusPane0"));
    // Long texts (key paths) must not widen the window.
    message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    message->setMinimumWidth(1);
    m_wndStatusBar->addWidget(message, 1);
    m_panes[0] = message;

    for (int i = 1; i < kStatusPaneCount; ++i) {
        auto* indicator = new QLabel(QString::fromUtf8(kIndicatorTexts[i - 1]), m_wndStatusBar);
        indicator->setObjectName(QStringLiteral("StatusPane%1").arg(i));
        indicator->setAlignment(Qt::AlignCenter);
        indicator->setMinimumWidth(
            indicator->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        m_wndStatusBar->addPermanentWidget(indicator);
        m_panes[static_cast<std::size_t>(i)] = indicator;
    }
    return 0;
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

    QMenu* help = menuBar()->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    QAction* about = help->addAction(QStringLiteral("VekDC のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
    about->setObjectName(QStringLiteral("ID_%1").arg(ID_APP_ABOUT));
    about->setToolTip(QString::fromUtf8(kAboutShortName));
    m_commands[ID_APP_ABOUT] = about;
    // The menu item's prompt while it is highlighted, the idle text afterwards.
    connect(about, &QAction::hovered, this,
            [this] { SetPaneText(0, QString::fromUtf8(kAboutPrompt)); });
    connect(help, &QMenu::aboutToHide, this,
            [this] { SetPaneText(0, QString::fromUtf8(kIdleMessage)); });
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
    pane->setText(text);
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

void CMainFrame::OnUpdateFrameTitle() {
    const QString& title = m_pDocument->GetTitle();
    const QString app = QString::fromUtf8(platform::kAppTitle);
    SetWindowText(title.isEmpty() ? app : title + QStringLiteral(" - ") + app);
}

void CMainFrame::SetWindowText(const QString& text) {
    QString escaped = text;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(escaped);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
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
    if (next == 0) {
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
