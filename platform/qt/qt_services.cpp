#include "platform/qt/qt_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

#include "platform/launch.h"
#include "platform/paths.h"

namespace vekdc::platform {

namespace {

QString from_utf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Boxes and dialogs belong to the window the user is working in.
QWidget* owner_window() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return QApplication::activeWindow();
}

QMessageBox::Icon qt_icon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qt_buttons(Buttons buttons) {
    switch (buttons) {
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// "*.txt;*.doc" -> "*.txt *.doc"; "*.*" matches every name, dotted or not.
QString qt_patterns(const QString& patterns) {
    QStringList result;
    for (const QString& part : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty()) {
            continue;
        }
        result << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    return result.join(QLatin1Char(' '));
}

// The patterns in the last pair of parentheses of a label, or nothing.
QString patterns_in_label(const QString& label) {
    const qsizetype close = label.lastIndexOf(QLatin1Char(')'));
    const qsizetype open = close < 0 ? -1 : label.lastIndexOf(QLatin1Char('('), close);
    if (open < 0) {
        return QString();
    }
    return label.mid(open + 1, close - open - 1);
}

// The label text before its parenthesised patterns.
QString label_without_patterns(const QString& label) {
    const qsizetype close = label.lastIndexOf(QLatin1Char(')'));
    const qsizetype open = close < 0 ? -1 : label.lastIndexOf(QLatin1Char('('), close);
    return (open < 0 ? label : label.left(open)).trimmed();
}

QString qt_filter(const QString& label, const QString& patterns) {
    const QString shown = label_without_patterns(label);
    const QString converted = qt_patterns(patterns);
    if (converted.isEmpty()) {
        return shown.isEmpty() ? QStringLiteral("*") : shown + QStringLiteral(" (*)");
    }
    return shown.isEmpty() ? QStringLiteral("(%1)").arg(converted)
                           : QStringLiteral("%1 (%2)").arg(shown, converted);
}

// Keeps a box at least as wide as its caption needs in a title bar: the
// caption in bold, with room for the window's icon and its buttons. A narrow
// box would otherwise have its caption cut by the window manager.
void make_room_for_caption(QMessageBox& box) {
    QFont title = box.font();
    title.setBold(true);
    const QFontMetrics metrics(title);
    constexpr int kTitleBarButtons = 4;  // the icon, minimise, maximise, close
    const int needed =
        metrics.horizontalAdvance(box.windowTitle()) + kTitleBarButtons * 2 * metrics.height();
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

// A file dialog that takes only what its request's check allows: any other
// choice is explained in a box, and the dialog stays open.
class CheckedFileDialog : public QFileDialog {
public:
    CheckedFileDialog(QWidget* parent, const QString& caption, const QString& folder,
                      std::function<std::string(const std::string&)> check)
        : QFileDialog(parent, caption, folder), m_check(std::move(check)) {}

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (m_check && !chosen.isEmpty()) {
            const std::string problem = m_check(QFile::encodeName(chosen.first()).toStdString());
            if (!problem.empty()) {
                QMessageBox box(QMessageBox::Warning, windowTitle(), from_utf8(problem),
                                QMessageBox::Ok, this);
                box.setTextFormat(Qt::PlainText);
                make_room_for_caption(box);
                box.exec();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    std::function<std::string(const std::string&)> m_check;
};

bool has_wildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

QString dialog_folder(const std::string& folder) {
    if (folder.empty()) {
        return QString();
    }
    const auto host = host_path(folder);
    return host ? QFile::decodeName(host->c_str()) : QString();
}

}  // namespace

QStringList qt_name_filters(const std::string& filter) {
    const QString text = from_utf8(filter);
    QStringList filters;
    if (!text.contains(QLatin1Char('|'))) {
        const QString label = text.trimmed();
        if (!label.isEmpty()) {
            filters << qt_filter(label, patterns_in_label(label));
        }
        return filters;
    }
    const QStringList parts = text.split(QLatin1Char('|'));
    // Pairs of label and patterns; an empty label ends the list ("||").
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        if (label.isEmpty()) {
            break;
        }
        filters << qt_filter(label, parts[i + 1]);
    }
    return filters;
}

Answer QtServices::message_box(const std::string& text, const std::string& caption, Buttons buttons,
                               Icon icon) {
    if (QApplication::instance() == nullptr) {
        return Answer::Failed;
    }
    QMessageBox box(qt_icon(icon), from_utf8(caption), from_utf8(text), qt_buttons(buttons),
                    owner_window());
    box.setTextFormat(Qt::PlainText);
    make_room_for_caption(box);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            break;
    }
    // Closed without a button: the escape button's answer.
    switch (buttons) {
        case Buttons::OkCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::Ok:
            break;
    }
    return Answer::Ok;
}

std::optional<std::string> QtServices::open_file(const FileDialogRequest& request) {
    if (QApplication::instance() == nullptr) {
        return std::nullopt;
    }
    CheckedFileDialog dialog(owner_window(), from_utf8(request.title),
                             dialog_folder(request.initial_dir), request.check);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Without a check a typed name need not exist yet: whoever reads the file
    // reports that. With one, only an existing file is taken.
    dialog.setFileMode(request.check ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList filters = qt_name_filters(request.filter);
    const QString initial = from_utf8(request.initial_name);
    QString selected_filter;
    if (has_wildcard(initial)) {
        // A wildcard name acts as the filter shown first.
        const QString wanted = qt_patterns(initial);
        for (const QString& filter : filters) {
            if (patterns_in_label(filter).split(QLatin1Char(' ')).contains(wanted)) {
                selected_filter = filter;
                break;
            }
        }
        if (selected_filter.isEmpty()) {
            selected_filter = QStringLiteral("(%1)").arg(wanted);
            filters.prepend(selected_filter);
        }
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    if (!selected_filter.isEmpty()) {
        dialog.selectNameFilter(selected_filter);
    } else if (!initial.isEmpty()) {
        dialog.selectFile(initial);
    }
    if (!request.default_ext.empty()) {
        dialog.setDefaultSuffix(from_utf8(request.default_ext));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen.first()).toStdString();
}

void QtServices::run_program(const std::string& command_line) {
    const auto argument = fixed_program_argument(command_line);
    if (!argument) {
        return;  // not a program this system knows how to start
    }
    // A decoded file (its path may be relative) or, for the browser, a web address.
    const QFileInfo file(QFile::decodeName(argument->c_str()));
    if (command_line.rfind(kBrowserProgram, 0) == 0 && !file.exists()) {
        QDesktopServices::openUrl(QUrl::fromUserInput(file.filePath()));
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
    }
}

void QtServices::shell_open(const std::string& path, const std::string& /*working_dir*/) {
    const auto host = host_path(path);
    if (!host || host->empty()) {
        return;
    }
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFileInfo(QFile::decodeName(host->c_str())).absoluteFilePath()));
}

void QtServices::exit_program(int status) {
    if (QCoreApplication::instance() != nullptr &&
        !QCoreApplication::organizationName().isEmpty()) {
        QSettings().sync();
    }
    Services::exit_program(status);
}

}  // namespace vekdc::platform
