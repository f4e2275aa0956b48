#include "window/qt/file_list_model.h"

#include <algorithm>

namespace vekdc {

namespace {

QString Label(const desktop::list_entry& entry) {
    return QString::fromStdString(desktop::file_list::label(entry));
}

}  // namespace

FileListModel::FileListModel(const desktop::file_list& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list), m_widths(list.size(), -1) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_list.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_list.size()) {
        return QVariant();
    }
    const desktop::list_entry& entry = m_list.at(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return Label(entry);
        case Qt::ToolTipRole:
            return QString::fromStdString(entry.shown);
        case kPathRole:
            return QByteArray::fromStdString(entry.path);
        default:
            return QVariant();
    }
}

void FileListModel::Inserted(std::size_t row) {
    const int at = static_cast<int>(row);
    beginInsertRows(QModelIndex(), at, at);
    m_widths.insert(m_widths.begin() + static_cast<std::ptrdiff_t>(row), -1);
    endInsertRows();
}

void FileListModel::Removed(std::size_t row) {
    const int at = static_cast<int>(row);
    beginRemoveRows(QModelIndex(), at, at);
    const int width = m_widths[row];
    m_widths.erase(m_widths.begin() + static_cast<std::ptrdiff_t>(row));
    if (width >= m_widest) {
        m_widest = m_widths.empty() ? 0 : *std::max_element(m_widths.begin(), m_widths.end());
    }
    endRemoveRows();
}

void FileListModel::Cleared() {
    beginResetModel();
    m_widths.clear();
    m_widest = 0;
    endResetModel();
}

int FileListModel::WidestLabel(const QFontMetrics& metrics) const {
    const QString font =
        QStringLiteral("%1/%2").arg(metrics.height()).arg(metrics.averageCharWidth());
    if (font != m_measuredFont) {
        std::fill(m_widths.begin(), m_widths.end(), -1);
        m_measuredFont = font;
        m_widest = 0;
    }
    for (std::size_t row = 0; row < m_widths.size(); ++row) {
        if (m_widths[row] < 0) {
            m_widths[row] = metrics.horizontalAdvance(Label(m_list.at(row)));
            m_widest = std::max(m_widest, m_widths[row]);
        }
    }
    return m_widest;
}

QSize FileListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    const auto* model = dynamic_cast<const FileListModel*>(index.model());
    if (model != nullptr) {
        const int own = option.fontMetrics.horizontalAdvance(index.data().toString());
        hint.setWidth(hint.width() - own + model->WidestLabel(option.fontMetrics));
    }
    return hint;
}

}  // namespace vekdc
